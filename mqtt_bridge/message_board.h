// SPDX-License-Identifier: MIT
#pragma once
// A display's message board: a line of text per row, each set alone (an automation sets line 2
// and leaves the others), shown over the display while any line has text. A line is read as the
// message is (UTF-8, control characters as blanks) and cut to the display's width.

#include "message_text.h"

#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// Rows a board has at most, whatever a driver says of its geometry.
inline constexpr int kMostBoardLines = 8;

// A line's text for a row `columns` characters wide; why not, when the payload is no UTF-8.
MessageText ReadBoardLine(std::string_view payload, int columns);

class MessageBoard {
public:
    // Line `row` (from 1, at most kMostBoardLines) is `text` now; false when it was already.
    bool Set(int row, std::string text);
    // Line `row` (from 1) as set; empty when never set.
    std::string Line(int row) const;
    // Any line with more than blanks.
    bool Shows() const;
    // The whole frame: each line filled with blanks to `columns` characters, rows beyond the
    // board's blank (UTF-8, columns × rows characters).
    std::string Frame(int columns, int rows) const;

private:
    std::vector<std::string> lines_; // row 1 first; those never set are empty
};

} // namespace pixtera::bridge
