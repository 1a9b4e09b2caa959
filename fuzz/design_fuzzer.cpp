// SPDX-License-Identifier: MIT
// Arbitrary bytes as a design file, rendered with arbitrary data values, and its big numbers
// drawn.

#include <pixtera/big_number_field.h>
#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The design comes first; what follows the last NUL feeds the values.
    const auto split = input.rfind('\0');
    const std::string_view xml = input.substr(0, split);
    const std::string_view values = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

    Design design;
    LoadDesignFromText(xml, design, DesignReader::Service, 0);
    TableValueSource source;
    std::size_t at = 0;
    for (const auto& item : design.items) {
        if (values.empty())
            break;
        const auto byte = static_cast<unsigned char>(values[at++ % values.size()]);
        if (byte & 1)
            source.Set(item.name, Variant::FromDouble(static_cast<double>(static_cast<int8_t>(byte)) * 1e6));
        else
            source.Set(item.name, Variant::FromUtf8(values.substr(0, byte % (values.size() + 1))));
    }
    VirtualDisplay display;
    display.Initialize(20, 4, 5, 8);
    for (DWORD now : {0u, 12345u, 0xFFFFFFF0u})
        RenderFrame(design, source, now, display);
    // A big number's cells, of the value's bytes as characters, in a display's window of it.
    const std::u32string text(values.begin(), values.end());
    for (const auto& item : design.items)
        if (item.mode == kModeBigNumber)
            BigNumberWindow(item, text, static_cast<std::size_t>(std::max<LONG>(0, -item.column)), 20);
    return 0;
}
