// SPDX-License-Identifier: MIT
#include "message_text.h"

#include <pixtera/platform/codepage.h>

namespace pixtera::bridge {
namespace {

bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

} // namespace

MessageText ReadMessageText(std::string_view payload)
{
    if (FindInvalidUtf8(payload) != std::string_view::npos)
        return {{}, "the message is not UTF-8 text"};
    MessageText message;
    std::size_t characters = 0;
    for (char c : payload) {
        if (StartsCharacter(c) && ++characters > kLongestMessage)
            break;
        // Bytes of a character beyond ASCII are never below 0x80: only ASCII controls are blanked.
        message.text += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return message;
}

} // namespace pixtera::bridge
