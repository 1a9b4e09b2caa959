// SPDX-License-Identifier: MIT
#include <pixtera/platform/guid.h>

#include <array>
#include <cstdio>

namespace pixtera {
namespace {

int HexDigit(char32_t c)
{
    if (c >= '0' && c <= '9')
        return static_cast<int>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<int>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return static_cast<int>(c - 'A' + 10);
    return -1;
}

// Layout of the 32 hex digits: groups of 8-4-4-4-12 separated by dashes.
template <class CharT>
std::optional<GUID> Parse(std::basic_string_view<CharT> text)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}')
            return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36)
        return std::nullopt;

    std::array<std::uint8_t, 16> bytes{};
    std::size_t digit = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash) {
            if (text[i] != '-')
                return std::nullopt;
            continue;
        }
        const int value = HexDigit(static_cast<char32_t>(text[i]));
        if (value < 0)
            return std::nullopt;
        bytes[digit / 2] = static_cast<std::uint8_t>(bytes[digit / 2] << 4 | value);
        ++digit;
    }

    GUID guid{};
    guid.Data1 = static_cast<DWORD>(bytes[0]) << 24 | static_cast<DWORD>(bytes[1]) << 16 |
                 static_cast<DWORD>(bytes[2]) << 8 | bytes[3];
    guid.Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
    guid.Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = bytes[8 + i];
    return guid;
}

} // namespace

std::optional<GUID> ParseGuid(std::string_view text) { return Parse(text); }
std::optional<GUID> ParseGuid(std::u16string_view text) { return Parse(text); }

std::string FormatGuid(const GUID& g, bool braces)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%s%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X%s", braces ? "{" : "",
                  g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                  g.Data4[6], g.Data4[7], braces ? "}" : "");
    return buffer;
}

} // namespace pixtera
