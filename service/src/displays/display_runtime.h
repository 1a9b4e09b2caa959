// SPDX-License-Identifier: MIT
#pragma once
// What every managed display renders with: the data values and the clock.

#include <pixtera/platform/tick_count.h>
#include <pixtera/value_source.h>

namespace pixtera {

struct DisplayRuntime {
    ValueSource& values;
    const TickClock& clock;
};

} // namespace pixtera
