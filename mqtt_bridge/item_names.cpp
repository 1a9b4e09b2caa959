// SPDX-License-Identifier: MIT
#include "item_names.h"

#include <pixtera/platform/codepage.h>

#include <algorithm>

namespace pixtera::bridge {
namespace {

// mark, then the byte in two hexadecimal digits.
void AppendByte(std::string& out, char mark, unsigned char byte, std::string_view digits)
{
    out += mark;
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if ((lead >> 5) == 0x6)
        return 2;
    if ((lead >> 4) == 0xE)
        return 3;
    if ((lead >> 3) == 0x1E)
        return 4;
    return 0;
}

char32_t CodePoint(std::string_view character)
{
    const auto lead = static_cast<unsigned char>(character[0]);
    char32_t point = character.size() == 1 ? lead : lead & (0x3F >> (character.size() - 1));
    for (char c : character.substr(1))
        point = (point << 6) | (static_cast<unsigned char>(c) & 0x3F);
    return point;
}

// What a topic may not hold (MQTT's wildcards, and what brokers refuse in UTF-8 strings), and %,
// which says that an escape follows.
bool Escaped(char32_t c)
{
    return c == U'+' || c == U'#' || c == U'%' || c < 0x20 || (c >= 0x7F && c <= 0x9F) ||
           (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

} // namespace

std::string ValueTopicName(std::string_view item)
{
    std::string name;
    for (std::size_t at = 0; at < item.size();) {
        const std::size_t length = SequenceLength(static_cast<unsigned char>(item[at]));
        const std::string_view character = item.substr(at, std::max<std::size_t>(length, 1));
        const bool wellFormed =
            length != 0 && character.size() == length && FindInvalidUtf8(character) == std::string_view::npos;
        if (wellFormed && !Escaped(CodePoint(character)))
            name += character;
        else
            for (char byte : character)
                AppendByte(name, '%', static_cast<unsigned char>(byte), "0123456789ABCDEF");
        at += character.size();
    }
    const std::string_view first = std::string_view(name).substr(0, name.find('/'));
    const bool reserved = std::find(kReservedLevels.begin(), kReservedLevels.end(), first) != kReservedLevels.end();
    return reserved || first.starts_with('_') ? "_" + name : name;
}

std::string ItemObjectId(std::string_view item)
{
    if (item.empty())
        return "-";
    std::string id;
    for (char c : item) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')
            id += c;
        else
            AppendByte(id, '-', static_cast<unsigned char>(c), "0123456789abcdef");
    }
    return id;
}

std::string ReadableId(std::string_view text)
{
    std::string id;
    for (char c : text) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        id += (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '-' ? lower : '_';
    }
    return id;
}

} // namespace pixtera::bridge
