// SPDX-License-Identifier: MIT
// Keys by name, as the bus carries them and keys files hold them.

#include <pixtera/sdk/key_names.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

TEST(KeyNames, EveryKeyIsReadBackFromItsName)
{
    std::vector<LONG> keys = {kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyEnter, kKeyEscape};
    for (LONG f = kKeyF1; f <= kKeyF8; ++f)
        keys.push_back(f);
    for (LONG raw : {0x0, 0x41, 0xFE, 0x100, 0xFFFF})
        keys.push_back(kKeyRaw | raw);
    for (LONG key : keys) {
        const std::string name = KeyName(key);
        ASSERT_FALSE(name.empty()) << key;
        EXPECT_EQ(KeyFromName(name), key) << name;
    }
    EXPECT_EQ(KeyName(kKeyF1 + 2), "F3");
    EXPECT_EQ(KeyName(kKeyRaw | 0x41), "Raw:0x41");
    EXPECT_EQ(KeyName(kKeyRaw | 0x7), "Raw:0x07");
    EXPECT_EQ(KeyName(kKeyRaw | 0xABC), "Raw:0xABC");
}

TEST(KeyNames, NamesAreTakenInAnyCaseAndNothingElseIsAKey)
{
    EXPECT_EQ(KeyFromName("escape"), kKeyEscape);
    EXPECT_EQ(KeyFromName("f8"), kKeyF8);
    EXPECT_EQ(KeyFromName("RAW:0xfe"), kKeyRaw | 0xFE);
    for (const char* nonsense :
         {"", "Upp", "Up ", "F0", "F9", "F10", "Raw:", "Raw:0x", "Raw:0x10000", "Raw:0x-1", "Raw:41", "Raw:0x4g"})
        EXPECT_FALSE(KeyFromName(nonsense)) << nonsense;
    for (LONG notAKey : {0, 7, 0x10, 0x19, 0xFFFF, 0x20000, -1}) {
        EXPECT_FALSE(IsKeyCode(notAKey)) << notAKey;
        EXPECT_EQ(KeyName(notAKey), "") << notAKey;
    }
}

} // namespace
