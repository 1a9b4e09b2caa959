// SPDX-License-Identifier: MIT
#include "utf8_text.h"

#include <pixtera/platform/utf8_decode.h>

namespace pixtera::lcdproc {

char32_t NextCodePoint(std::string_view s, std::size_t& at) { return DecodeUtf8(s, at); }

std::u32string CodePoints(std::string_view utf8)
{
    std::u32string out;
    AssignCodePoints(out, utf8);
    return out;
}

void AssignCodePoints(std::u32string& out, std::string_view utf8)
{
    out.clear();
    for (std::size_t at = 0; at < utf8.size();)
        out.push_back(NextCodePoint(utf8, at));
}

std::size_t CellCount(std::string_view utf8)
{
    std::size_t cells = 0;
    for (std::size_t at = 0; at < utf8.size(); ++cells)
        NextCodePoint(utf8, at);
    return cells;
}

std::string_view FirstCells(std::string_view utf8, std::size_t cells)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < cells && at < utf8.size(); ++i)
        NextCodePoint(utf8, at);
    return utf8.substr(0, at);
}

std::u16string Utf16Of(std::u32string_view codePoints)
{
    std::u16string out;
    out.reserve(codePoints.size());
    for (char32_t c : codePoints) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ? char16_t{0xFFFD} : static_cast<char16_t>(c));
        }
    }
    return out;
}

} // namespace pixtera::lcdproc
