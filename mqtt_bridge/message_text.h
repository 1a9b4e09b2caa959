// SPDX-License-Identifier: MIT
#pragma once
// The text a message/set command puts on the displays: UTF-8 only, control characters as blanks,
// at most kLongestMessage characters, cut between two characters and never inside one.

#include <cstddef>
#include <string>
#include <string_view>

namespace pixtera::bridge {

// Characters, as Home Assistant's text entity counts them (its "max").
inline constexpr std::size_t kLongestMessage = 255;

struct MessageText {
    std::string text;
    std::string refused; // why there is no text: the payload is no UTF-8
};

MessageText ReadMessageText(std::string_view payload);

} // namespace pixtera::bridge
