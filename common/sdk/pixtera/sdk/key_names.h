// SPDX-License-Identifier: MIT
#pragma once
// Keys by name: "Up", "Down", "Left", "Right", "Enter", "Escape", "F1" to "F8", and "Raw:0x41"
// for any other code a module reports. The names are what the bus carries and what a keys file
// holds, one a line.

#include <pixtera/sdk/display_input.h>

#include <array>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera {

inline constexpr std::array<std::pair<LONG, std::string_view>, 6> kNamedKeys{{
    {kKeyUp, "Up"},
    {kKeyDown, "Down"},
    {kKeyLeft, "Left"},
    {kKeyRight, "Right"},
    {kKeyEnter, "Enter"},
    {kKeyEscape, "Escape"},
}};

inline bool IsKeyCode(LONG key)
{
    return (key >= kKeyUp && key <= kKeyEscape) || (key >= kKeyF1 && key <= kKeyF8) ||
           (key >= kKeyRaw && key <= (kKeyRaw | 0xFFFF));
}

// The key's name; empty for a number that is no KeyCode.
inline std::string KeyName(LONG key)
{
    for (const auto& [code, name] : kNamedKeys)
        if (code == key)
            return std::string(name);
    if (key >= kKeyF1 && key <= kKeyF8)
        return "F" + std::to_string(key - kKeyF1 + 1);
    if (key >= kKeyRaw && key <= (kKeyRaw | 0xFFFF)) {
        char digits[8];
        const auto end = std::to_chars(digits, digits + sizeof digits, key & 0xFFFF, 16).ptr;
        std::string hex(digits, end);
        for (char& c : hex)
            c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
        return "Raw:0x" + std::string(hex.size() < 2 ? 2 - hex.size() : 0, '0') + hex;
    }
    return {};
}

// The key a name means, as KeyName writes it (letters in any case); none for anything else.
inline std::optional<LONG> KeyFromName(std::string_view name)
{
    const auto same = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
            if (lower(a[i]) != lower(b[i]))
                return false;
        }
        return true;
    };
    for (const auto& [code, known] : kNamedKeys)
        if (same(name, known))
            return code;
    if (name.size() == 2 && (name[0] == 'F' || name[0] == 'f') && name[1] >= '1' && name[1] <= '8')
        return kKeyF1 + (name[1] - '1');
    constexpr std::string_view kRaw = "raw:0x";
    if (name.size() > kRaw.size() && name.size() <= kRaw.size() + 4 && same(name.substr(0, kRaw.size()), kRaw)) {
        unsigned code = 0;
        const auto digits = name.substr(kRaw.size());
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), code, 16);
        if (error == std::errc() && end == digits.data() + digits.size())
            return kKeyRaw | static_cast<LONG>(code);
    }
    return std::nullopt;
}

} // namespace pixtera
