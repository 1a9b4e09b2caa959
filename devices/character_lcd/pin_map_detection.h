// SPDX-License-Identifier: MIT
#pragma once
// Which of the two common PCF8574 pin maps an HD44780 backpack is wired with, found by reading the
// controller back: with RW high and E pulsed, the controller puts its busy flag and address
// counter on D4-D7. A known DDRAM address is set through each candidate map and read back through
// it; the map whose read-back matches is the one. A backpack whose RW line is not wired reads back
// only what was written, for both maps: then the map cannot be told.

#include "expander_port.h"
#include "hd44780_i2c_protocol.h"

#include <cstdint>
#include <optional>

namespace pixtera::lcd {

enum class PinMapFound { A, B, Unknown };

// Leaves the controller in 4-bit mode with the map found (or the last tried); the caller
// initialises it as usual afterwards.
PinMapFound DetectPinMap(ExpanderPort& port, const Sleeper& sleep);
// Whether the module reads back through `backpack`'s wiring: its RW line is wired and the map is
// right (`port` is the backpack's expander).
bool ReadsBackThrough(ExpanderPort& port, const Backpack& backpack, const Sleeper& sleep);

const char* PinMapName(PinMapFound found);

} // namespace pixtera::lcd
