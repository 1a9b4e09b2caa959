// SPDX-License-Identifier: MIT
// A stand-in for the frame-rate counter's module, loaded under the name FRAPS.DLL (its soname),
// whose shared record the tests control.

#include <cstdint>
#include <cstring>

namespace {

struct SharedRecord {
    std::uint32_t reserved;
    std::uint32_t framesPerSecond; // offset 4
    std::uint8_t unused[8];
    char game[64]; // offset 16
};

SharedRecord record{};
bool answerNull = false;

} // namespace

extern "C" __attribute__((visibility("default"))) const void* FrapsSharedData()
{
    return answerNull ? nullptr : &record;
}

extern "C" __attribute__((visibility("default"))) void FakeFrapsSet(std::uint32_t framesPerSecond, const char* game,
                                                                    bool returnNull)
{
    record.framesPerSecond = framesPerSecond;
    std::strncpy(record.game, game, sizeof record.game - 1);
    answerNull = returnNull;
}
