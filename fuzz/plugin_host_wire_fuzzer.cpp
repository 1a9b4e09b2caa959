// SPDX-License-Identifier: MIT
// Arbitrary bytes as the body of a message between DispatchWrapper.core and its host, read as a
// call (what the host reads), as a result and as an event (what the wrapper reads); a result is
// also read as each of a hosted display's checked answers.

#include "display_answers.h"
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
    if (const auto result = DecodeResult(body)) {
        EncodeResult(*result);
        constexpr LONGLONG kNow = 1'800'000'000;
        if (const auto link = ReadLinkState(*result, kNow);
            link &&
            (link->outageSince < 0 || link->outageSince > kNow + kClockSlack || (link->linked && link->outageSince)))
            std::abort();
        if (const auto count = ReadLedCount(*result); count && (*count < 0 || *count > kMostLeds))
            std::abort();
        if (const auto state = ReadLedState(*result); state && (*state < 0 || *state > 4))
            std::abort();
        if (const auto states = ReadLedStates(*result); states && (*states <= 0 || *states >= 1 << 5))
            std::abort();
        if (const auto traffic = ReadTraffic(*result); traffic && (traffic->bytes < 0 || traffic->messages < 0 ||
                                                                   traffic->clocks < 0 || traffic->microseconds < 0))
            std::abort();
    }
    if (const auto event = DecodeKeyEvent(body)) {
        const std::string again = EncodeKeyEvent(*event);
        if (again.size() != size)
            std::abort();
    }
    return 0;
}
