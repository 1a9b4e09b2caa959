// SPDX-License-Identifier: MIT
// Arbitrary bytes as the body of a message between DispatchWrapper.core and its host, read as a
// call (what the host reads), as a result and as an event (what the wrapper reads).

#include "host_wire.h"

#include <cstdint>
#include <cstdlib>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera::host;
    const auto body = std::as_bytes(std::span(data, size));
    if (const auto call = DecodeCall(body)) {
        // What was read is written the same way again.
        const std::string again = EncodeCall(*call);
        const auto reread = DecodeCall(std::as_bytes(std::span(again)).subspan(4));
        if (!reread || reread->method != call->method || reread->arguments.size() != call->arguments.size())
            std::abort();
    }
    if (const auto result = DecodeResult(body))
        EncodeResult(*result);
    if (const auto event = DecodeKeyEvent(body)) {
        const std::string again = EncodeKeyEvent(*event);
        if (again.size() != size)
            std::abort();
    }
    return 0;
}
