// SPDX-License-Identifier: MIT
// Arbitrary bytes through the text conversions; the display code page must round-trip.

#include <pixtera/platform/codepage.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (Utf16ToAnsi(AnsiToUtf16(bytes)) != bytes)
        std::abort();
    const std::u16string wide = Utf8ToUtf16(bytes);
    if (Utf8ToUtf16(Utf16ToUtf8(wide)) != wide)
        std::abort(); // after one pass the text is valid and stays as it is
    Utf16ToAnsi(wide);
    Utf8ToAnsi(bytes);
    std::u16string raw(size / 2, u'\0');
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
    Utf16ToUtf8(raw);
    Utf16ToAnsi(raw);
    return 0;
}
