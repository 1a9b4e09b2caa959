// SPDX-License-Identifier: MIT
// Arbitrary broker payloads through every reader of the bridge's command topics: the first byte
// picks the reader and, for the frame and the board, the display's size; a LED's command last.

#include "layout.h"
#include "led_entities.h"
#include "message_board.h"
#include "message_text.h"
#include "notification.h"
#include "notification_frame.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pixtera::bridge;
    if (size == 0)
        return 0;
    const std::uint8_t choice = data[0];
    const std::string_view payload(reinterpret_cast<const char*>(data + 1), size - 1);
    const int columns = 1 + choice % 40;
    const int rows = 1 + (choice / 40) % 4;
    switch (choice % 5) {
    case 0: ReadLayout(payload); break;
    case 1: ReadBoardLine(payload, columns); break;
    case 2: ReadMessageText(payload); break;
    case 3:
        if (const auto read = ReadNotification(payload); read.refused.empty())
            NotificationFrame(read.notification.text, columns, rows);
        break;
    default: {
        // The payload as a LED's command, and split at commas as the LED a service lists: what a
        // command sets is always a state its LED shows.
        DisplayLed listed{"off", {"off", "green", "red", "amber"}};
        for (std::size_t at = 0; at < payload.size();) {
            const std::size_t comma = std::min(payload.find(',', at), payload.size());
            listed.states.emplace_back(payload.substr(at, comma - at));
            at = comma + 1;
        }
        auto leds = CheckedLeds({listed, DisplayLed{"on", {"off", "on"}}}, 2);
        std::string why;
        for (const DisplayLed& led : leds)
            if (const auto state = LedCommand(led, payload, why);
                state && std::find(led.states.begin(), led.states.end(), *state) == led.states.end())
                __builtin_trap();
    }
    }
    return 0;
}
