// SPDX-License-Identifier: MIT
#pragma once
// Lines and blank-separated fields of the kernel's text files, read without streams: the poll
// parses a few kilobytes every second.

#include <charconv>
#include <cstdint>
#include <optional>
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

} // namespace pixtera
