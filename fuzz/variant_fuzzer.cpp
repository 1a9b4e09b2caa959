// SPDX-License-Identifier: MIT
// Arbitrary text converted to every variant type and back.

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/variant.h>

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const Variant text = Variant::FromUtf8(input);
    for (VARTYPE type : {VT_EMPTY, VT_NULL, VT_I2, VT_I4, VT_UI4, VT_I8, VT_R4, VT_R8, VT_BOOL, VT_BSTR}) {
        Variant converted;
        if (SUCCEEDED(VariantChangeType(&converted, &text, 0, type))) {
            Variant back;
            VariantChangeType(&back, &converted, VARIANT_ALPHABOOL, VT_BSTR);
            Variant again = converted;
            VariantChangeType(&again, &again, 0, VT_R8); // in place
        }
    }
    return 0;
}
