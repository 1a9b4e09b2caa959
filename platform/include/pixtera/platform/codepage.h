// SPDX-License-Identifier: MIT
#pragma once
// Text conversions between UTF-8 (file names, the "A" functions), UTF-16 (BSTR) and the
// 8-bit display code page, Windows-1252. Characters outside Windows-1252 become '?'.

#include <pixtera/platform/export.h>

#include <string>
#include <string_view>

namespace pixtera {

PX_API std::u16string Utf8ToUtf16(std::string_view utf8);
PX_API std::string Utf16ToUtf8(std::u16string_view utf16);
PX_API std::string Utf16ToAnsi(std::u16string_view utf16);
PX_API std::u16string AnsiToUtf16(std::string_view ansi);
PX_API std::string AnsiToUtf8(std::string_view ansi);
PX_API std::string Utf8ToAnsi(std::string_view utf8);

// Appends one code point, encoded as UTF-8.
PX_API void AppendUtf8(std::string& out, char32_t codePoint);

// The offset of the first byte that is not part of well-formed UTF-8, or npos.
PX_API std::size_t FindInvalidUtf8(std::string_view text);

// The longest start of `utf8` of at most `maxBytes` that does not end inside a character.
inline std::string_view Utf8Prefix(std::string_view utf8, std::size_t maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
        --cut;
    return utf8.substr(0, cut);
}

// Converts into an existing buffer, reusing its capacity (for per-frame conversions).
PX_API void Utf16ToAnsi(std::u16string_view utf16, std::string& out);

} // namespace pixtera
