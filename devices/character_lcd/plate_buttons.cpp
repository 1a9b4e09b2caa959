// SPDX-License-Identifier: MIT
#include "plate_buttons.h"

#include <pixtera/sdk/display_input.h>

#include <array>

namespace pixtera::lcd {
namespace {

constexpr std::array<LONG, 5> kPlateKeys{kKeyEnter, kKeyRight, kKeyDown, kKeyUp, kKeyLeft};

} // namespace

std::vector<ButtonEvent> PlateButtons::Sample(std::uint8_t pressed)
{
    const bool agreed = lastRead_ == pressed;
    lastRead_ = pressed;
    std::vector<ButtonEvent> events;
    if (!agreed || pressed == settled_)
        return events;
    for (const bool press : {true, false}) {
        for (std::size_t line = 0; line < kPlateKeys.size(); ++line) {
            const auto bit = static_cast<std::uint8_t>(1u << line);
            if ((pressed & bit) != (settled_ & bit) && ((pressed & bit) != 0) == press)
                events.push_back({kPlateKeys[line], press ? kKeyPressed : kKeyReleased});
        }
    }
    settled_ = pressed;
    return events;
}

std::function<void(DeviceLink&)> PlateButtonPoll(std::shared_ptr<const Hd44780I2cProtocol> protocol,
                                                 std::function<void(LONG key, LONG action)> deliver)
{
    // The writer's thread alone calls the poll, so the state needs no guard.
    auto buttons = std::make_shared<PlateButtons>();
    return [protocol = std::move(protocol), deliver = std::move(deliver), buttons](DeviceLink& link) {
        const auto pressed = protocol->ReadButtons(link);
        if (!pressed)
            return; // no plate, or a bus error the next write reports
        for (const ButtonEvent& event : buttons->Sample(*pressed))
            deliver(event.key, event.action);
    };
}

} // namespace pixtera::lcd
