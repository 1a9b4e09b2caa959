// SPDX-License-Identifier: MIT
#pragma once
// Whose turn it is on a display: the designs of its queue, which rank as info screens, and the
// screens of screen sources (IScreenSource), ranked as LCDd ranks its clients' screens. The
// highest class present is shown: foreground, alert and input screens before anything else,
// info screens taking turns with the queue, background screens only when nothing else is there,
// hidden ones never. Pure: it decides, the display shows.

#include <pixtera/sdk/screen_source.h>

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace pixtera {

struct ClientScreen {
    std::size_t source = 0; // which of the display's screen sources
    LONG id = 0;
    LONG priority = kScreenInfo;
    LONG duration = 32; // eighths of a second
    LONG backlight = kScreenBacklightOpen; // a ScreenBacklight
    bool operator==(const ClientScreen&) const = default;
};

struct Turn {
    enum class Kind { Idle, Queue, Client };
    Kind kind = Kind::Idle;
    std::size_t queueIndex = 0;
    ClientScreen screen;
};

class ScreenRotation {
public:
    // The turn after the last one. `lastHeld`: the last turn was a queue entry held for good,
    // which stays while no client screen of its class or higher waits.
    Turn Next(std::size_t queueSize, const std::vector<ClientScreen>& screens, bool lastHeld = false);

    // Queue entry `index` now, out of turn; Next() goes on after it.
    Turn JumpTo(std::size_t index);

    // True when the showing of `current` ends now: its screen is gone or ranked anew, or a
    // screen of a higher class waits (for a held entry: any screen of its class too).
    static bool Interrupted(const Turn& current, const std::vector<ClientScreen>& screens, bool held = false);

private:
    std::optional<Turn> last_;
};

// The screens of a source's list ("<id> <priority> <duration>" lines), at most `limit` of them;
// lines that do not read so are left out.
std::vector<ClientScreen> ReadScreenList(std::string_view list, std::size_t source, std::size_t limit = 1024);

} // namespace pixtera
