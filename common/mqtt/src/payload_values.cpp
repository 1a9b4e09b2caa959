// SPDX-License-Identifier: MIT
#include <pixtera/mqtt/payload_values.h>

#include <charconv>
#include <cmath>

namespace pixtera::mqtt {
namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

Value PayloadValue(std::string_view payload)
{
    const std::string_view text = Trimmed(payload);
    double number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (!text.empty() && error == std::errc() && end == text.data() + text.size() && std::isfinite(number))
        return number;
    return std::string(payload);
}

std::string NumberText(double number)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, number);
    return error == std::errc() ? std::string(text, end) : std::string("0");
}

} // namespace pixtera::mqtt
