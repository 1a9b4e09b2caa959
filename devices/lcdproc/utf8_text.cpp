// SPDX-License-Identifier: MIT
#include "utf8_text.h"

namespace pixtera::lcdproc {
namespace {

bool Continuation(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

} // namespace

char32_t NextCodePoint(std::string_view s, std::size_t& at)
{
    const auto lead = static_cast<unsigned char>(s[at++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    char32_t c = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0)
        extra = 1, c = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        extra = 2, c = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        extra = 3, c = lead & 0x07, least = 0x10000;
    else
        return kReplacementCharacter;
    const std::size_t start = at;
    for (int i = 0; i < extra; ++i) {
        if (at >= s.size() || !Continuation(s[at])) {
            at = start;
            return kReplacementCharacter;
        }
        c = c << 6 | (static_cast<unsigned char>(s[at++]) & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        at = start;
        return kReplacementCharacter;
    }
    return c;
}

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
