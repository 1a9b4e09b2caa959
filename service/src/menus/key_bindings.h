// SPDX-License-Identifier: MIT
#pragma once
// What a display's keys do while no menu shows: show the previous or next design, open the
// menu, or nothing (the key is still pressed on the bus, for scripts and designs).

#include <pixtera/platform/types.h>

#include <pugixml.hpp>

#include <string>
#include <utility>
#include <vector>

namespace pixtera {

enum class KeyRole { Nothing, PreviousDesign, NextDesign, OpenMenu };

class KeyBindings {
public:
    // Left and Right step through the queue, Enter opens the menu; the others do nothing.
    KeyBindings();

    KeyRole RoleOf(LONG key) const;
    void Bind(LONG key, KeyRole role);

private:
    std::vector<std::pair<LONG, KeyRole>> roles_; // a few keys: a list is enough
};

// The defaults changed by a keys element (`Left="NextDesign"`); a key or role it does not know
// is left out with a line in `problems`.
KeyBindings ReadKeyBindings(const pugi::xml_node& keys, std::vector<std::string>& problems);

} // namespace pixtera
