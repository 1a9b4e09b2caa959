// SPDX-License-Identifier: MIT
#pragma once
// When a showing renders next. Renderings fall on a grid of update ticks that starts at the last
// rendering; of those ticks only the first at which the frame can differ is used: the next scroll
// step, the next tick for values that may differ at any reading, the first tick after a stored
// value changed. With none of these the entry still renders about every twelve days, which
// keeps the grid's distances within the tick count's range.

#include <pixtera/frame_composer.h>
#include <pixtera/platform/types.h>

#include <optional>

namespace pixtera {

class RefreshSchedule {
public:
    // `period` is the update period in ms, 1 to 2^31-2.
    explicit RefreshSchedule(DWORD period) : period_(period) {}

    // Before the first rendering a rendering is always due.
    bool Due(DWORD now) const;
    // The time of the next rendering; valid after the first.
    DWORD next() const { return next_; }
    // Whether a change of a stored value can change the frame last rendered.
    bool watchesValues() const { return watchesValues_; }

    void Rendered(DWORD now, const FrameOutlook& outlook);
    // A stored value changed at `now`: it is shown at the first tick after that.
    void ValueChanged(DWORD now);
    // Forgets the last rendering: one is due at once (a display that was blanked).
    void Restart() { anchor_.reset(); }

private:
    // The first grid tick after the last rendering that is not before `time`.
    DWORD TickAtOrAfter(DWORD time) const;
    void Consider(DWORD candidate);

    const DWORD period_;
    std::optional<DWORD> anchor_; // the last rendering's time
    DWORD next_ = 0;
    bool watchesValues_ = false;
};

} // namespace pixtera
