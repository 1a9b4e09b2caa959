// SPDX-License-Identifier: MIT
#pragma once
// A display's screen sources (drivers with IScreenSource that serve it): their screen lists,
// their renderings, the event that says their screens changed, and the keys for them. Calls go
// through each source's fault guard. Sources are added while the display is set up, before its
// output runs; afterwards the refresh thread uses this, the event is set from the sources'
// threads, and keys come from the screen key thread (which reads what shows under shownMutex_).

#include "plugin_fault.h"
#include "screen_rotation.h"

#include <pixtera/platform/event.h>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera {

using CharacterRows = std::array<BYTE, 8>;

struct ScreenRendering {
    std::u32string frame; // one code point a cell
    std::vector<CharacterRows> characters; // user characters 0, 1, ... that the frame uses
};

class ClientScreens {
public:
    ClientScreens();

    // `advised`: the source calls the sink of changed(); else its list is read every eighth.
    void Add(ComPtr<IScreenSource> source, std::shared_ptr<PluginFault> fault, bool advised);
    bool empty() const { return sources_.empty(); }
    bool polled() const { return polled_; }
    // Set when a source's screens changed (shared with the sinks that set it).
    const std::shared_ptr<Event>& changed() const { return changed_; }

    std::vector<ClientScreen> Read(LONG display) const;
    // Nothing when the screen is gone or its source failed.
    std::optional<ScreenRendering> Render(const ClientScreen& screen, LONG display, LONG timer,
                                          std::size_t cells) const;
    void Shown(std::size_t source, LONG display, LONG screen, LONG timer);
    // Offers the key to the sources with IScreenKeys, the one whose screen shows first (with that
    // screen), the others with none; true when one took it.
    bool Key(LONG display, LONG key) const;

private:
    struct Source {
        ComPtr<IScreenSource> object;
        std::shared_ptr<PluginFault> fault;
        ComPtr<IScreenKeys> keys; // when it takes keys
    };
    std::vector<Source> sources_;
    bool polled_ = false;
    std::shared_ptr<Event> changed_;
    mutable std::mutex shownMutex_; // guards shownSource_ and shownScreen_
    std::size_t shownSource_ = SIZE_MAX; // none
    LONG shownScreen_ = -1;
};

// The sink a source calls: it wakes the displays it serves.
ComPtr<IScreenSink> MakeScreenSink(std::vector<std::pair<LONG, std::shared_ptr<Event>>> displays);

} // namespace pixtera
