// SPDX-License-Identifier: MIT
#pragma once
// Text that must be UTF-8 before it goes anywhere: an error on the bus whose text is not is never
// sent, and its caller waits as on a dead server.

#include <pixtera/platform/codepage.h>

#include <string>
#include <string_view>

namespace pixtera {

// `text` with each byte that is not part of valid UTF-8 made '?'.
inline std::string Utf8Only(std::string_view text)
{
    std::string valid;
    for (std::size_t bad = FindInvalidUtf8(text); bad != std::string_view::npos; bad = FindInvalidUtf8(text)) {
        valid.append(text.substr(0, bad)).push_back('?');
        text.remove_prefix(bad + 1);
    }
    return valid.append(text);
}

} // namespace pixtera
