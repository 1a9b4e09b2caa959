// SPDX-License-Identifier: MIT
#include "message_board.h"

#include <algorithm>

namespace pixtera::bridge {
namespace {

bool StartsCharacter(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// Its first `columns` characters, and how many it has of them.
std::string Cut(std::string_view text, std::size_t columns, std::size_t& characters)
{
    characters = 0;
    std::size_t end = 0;
    for (; end < text.size(); ++end)
        if (StartsCharacter(text[end]) && ++characters > columns)
            break;
    characters = std::min(characters, columns);
    return std::string(text.substr(0, end));
}

} // namespace

MessageText ReadBoardLine(std::string_view payload, int columns)
{
    MessageText line = ReadMessageText(payload);
    std::size_t characters = 0;
    line.text = Cut(line.text, static_cast<std::size_t>(std::max(columns, 0)), characters);
    return line;
}

bool MessageBoard::Set(int row, std::string text)
{
    if (row < 1 || row > kMostBoardLines)
        return false;
    if (lines_.size() < static_cast<std::size_t>(row))
        lines_.resize(static_cast<std::size_t>(row));
    std::string& line = lines_[static_cast<std::size_t>(row - 1)];
    if (line == text)
        return false;
    line = std::move(text);
    return true;
}

std::string MessageBoard::Line(int row) const
{
    return row >= 1 && static_cast<std::size_t>(row) <= lines_.size() ? lines_[static_cast<std::size_t>(row - 1)]
                                                                      : std::string();
}

bool MessageBoard::Shows() const
{
    return std::any_of(lines_.begin(), lines_.end(),
                       [](const std::string& line) { return line.find_first_not_of(' ') != std::string::npos; });
}

std::string MessageBoard::Frame(int columns, int rows) const
{
    std::string frame;
    const auto width = static_cast<std::size_t>(std::max(columns, 0));
    for (int row = 0; row < rows; ++row) {
        std::size_t characters = 0;
        if (static_cast<std::size_t>(row) < lines_.size())
            frame += Cut(lines_[static_cast<std::size_t>(row)], width, characters);
        frame.append(width - characters, ' ');
    }
    return frame;
}

} // namespace pixtera::bridge
