// SPDX-License-Identifier: MIT
#pragma once
// The RGB LCD plate's five buttons as keys: Select (A0) is Enter, then Right, Down, Up and Left
// on A1-A4. Port A is read on the writer's link while the display is in use; a state counts
// once two reads running agree, so a contact that bounces across one read makes no key.

#include "hd44780_i2c_protocol.h"

#include <pixtera/platform/com.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace pixtera::lcd {

struct ButtonEvent {
    LONG key = 0;
    LONG action = 0;
    bool operator==(const ButtonEvent&) const = default;
};

// The presses and releases in a run of reads of port A.
class PlateButtons {
public:
    // `pressed`: the lines held down now (ReadButtons). What changed since the last state both
    // this read and the one before agree on, pressed keys before released ones.
    std::vector<ButtonEvent> Sample(std::uint8_t pressed);

private:
    std::optional<std::uint8_t> lastRead_;
    std::uint8_t settled_ = 0;
};

// The writer's poll for a plate behind `protocol`: each key pressed or released goes to
// `deliver`, on the writer's thread. Nothing is read from any other backpack.
std::function<void(DeviceLink&)> PlateButtonPoll(std::shared_ptr<const Hd44780I2cProtocol> protocol,
                                                 std::function<void(LONG key, LONG action)> deliver);

} // namespace pixtera::lcd
