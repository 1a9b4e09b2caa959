// SPDX-License-Identifier: MIT
// Arbitrary broker payloads through every reader of the bridge's command topics: the first byte
// picks the reader and, for the frame and the board, the display's size.

#include "layout.h"
#include "message_board.h"
#include "message_text.h"
#include "notification.h"
#include "notification_frame.h"

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
    switch (choice % 4) {
    case 0: ReadLayout(payload); break;
    case 1: ReadBoardLine(payload, columns); break;
    case 2: ReadMessageText(payload); break;
    default:
        if (const auto read = ReadNotification(payload); read.refused.empty())
            NotificationFrame(read.notification.text, columns, rows);
    }
    return 0;
}
