// SPDX-License-Identifier: MIT
#pragma once
// Lines and blank-separated fields of the kernel's text files, read without streams: the poll
// parses a few kilobytes every second.

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera {

class TextFields {
public:
    explicit TextFields(std::string_view text) : rest_(text) {}

    // The next field, or empty at the end.
    std::string_view Next()
    {
        const auto start = rest_.find_first_not_of(" \t\n");
        if (start == std::string_view::npos) {
            rest_ = {};
            return {};
        }
        rest_.remove_prefix(start);
        const auto end = std::min(rest_.find_first_of(" \t\n"), rest_.size());
        const std::string_view field = rest_.substr(0, end);
        rest_.remove_prefix(end);
        return field;
    }

    template <class Number>
    std::optional<Number> NextNumber()
    {
        const std::string_view field = Next();
        Number value{};
        const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
        if (field.empty() || ec != std::errc() || end != field.data() + field.size())
            return std::nullopt;
        return value;
    }

private:
    std::string_view rest_;
};

// Calls `line` for each line of `text`.
template <class Line>
void ForEachLine(std::string_view text, Line line)
{
    while (!text.empty()) {
        const auto end = std::min(text.find('\n'), text.size());
        line(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
}

// A field of the mount table, which writes a blank, tab, line break and backslash in a path as
// three octal digits after a backslash ("My\040Disk").
inline std::string UnescapedMountField(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && octal(field[i + 1]) && octal(field[i + 2]) &&
            octal(field[i + 3])) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace pixtera
