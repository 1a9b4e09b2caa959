// SPDX-License-Identifier: MIT
#pragma once
// A notification's text as a whole frame of a display: words wrapped onto the rows (a word longer
// than a row broken), every row filled with blanks, and what does not fit cut: a notification
// never scrolls, so it reads the same at any moment it is looked at.

#include <string>
#include <string_view>

namespace pixtera::bridge {

// `text` is UTF-8 without control characters; the frame is UTF-8 of columns × rows characters.
std::string NotificationFrame(std::string_view text, int columns, int rows);

} // namespace pixtera::bridge
