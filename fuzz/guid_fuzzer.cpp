// SPDX-License-Identifier: MIT
// Arbitrary text as GUIDs and class strings.

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/guid.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    char pattern[] = "/tmp/pixtera-fuzz-XXXXXX";
    setenv("PIXTERA_REGISTRY", (std::string(mkdtemp(pattern)) + "/registry.db").c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (const auto guid = ParseGuid(input)) {
        if (ParseGuid(FormatGuid(*guid)) != guid)
            std::abort(); // formatting and parsing must agree
    }
    const std::u16string wide = Utf8ToUtf16(input);
    ParseGuid(std::u16string_view(wide));
    CLSID clsid{};
    CLSIDFromString(wide.c_str(), &clsid);
    return 0;
}
