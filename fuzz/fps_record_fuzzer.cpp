// SPDX-License-Identifier: MIT
// Arbitrary bytes as a game's frame-rate record (after the sequence read again and the pid the
// file name gave) and as a record's file name.

#include "fps_record.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera::fps;
    pixtera::fps::PidOfRecordName(std::string_view(reinterpret_cast<const char*>(data), size));
    if (size < 8)
        return 0;
    std::uint32_t sequenceAfter = 0;
    std::uint32_t pid = 0;
    std::memcpy(&sequenceAfter, data, 4);
    std::memcpy(&pid, data + 4, 4);
    const auto record = std::as_bytes(std::span(data + 8, size - 8));
    if (const auto sample = ParseRecord(record, sequenceAfter, pid)) {
        if (sample->pid != pid || sample->name.size() >= kNameCapacity)
            std::abort(); // a record is only ever the one asked for, with a bounded name
    }
    return 0;
}
