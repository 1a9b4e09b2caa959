// SPDX-License-Identifier: MIT
// Keys waiting for a menu stay few however fast a held key repeats.

#include <pixtera/key_coalescer.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

std::vector<MenuKey> TakeAll(KeyCoalescer& keys)
{
    std::vector<MenuKey> taken;
    while (auto key = keys.Take())
        taken.push_back(*key);
    return taken;
}

TEST(KeyCoalescer, AHeldKeyWaitsOnceHoweverFastItRepeats)
{
    KeyCoalescer keys(8);
    EXPECT_TRUE(keys.Add(kKeyDown, kKeyPressed));
    // A second of a keypad repeating at 1 kHz while the menu is busy.
    for (int i = 0; i < 1000; ++i)
        keys.Add(kKeyDown, kKeyRepeated);
    EXPECT_EQ(keys.waiting(), 1u);
    EXPECT_EQ(keys.dropped(), 0u) << "merged, not dropped";
    EXPECT_EQ(TakeAll(keys), (std::vector<MenuKey>{{kKeyDown, kKeyPressed}}));

    // Once taken, the next repeat waits again: holding a key keeps moving.
    EXPECT_TRUE(keys.Add(kKeyDown, kKeyRepeated));
    EXPECT_FALSE(keys.Add(kKeyDown, kKeyRepeated));
    EXPECT_EQ(TakeAll(keys), (std::vector<MenuKey>{{kKeyDown, kKeyRepeated}}));
}

TEST(KeyCoalescer, KeepsDistinctPressesInOrderUpToItsCapacity)
{
    KeyCoalescer keys(3);
    EXPECT_TRUE(keys.Add(kKeyDown, kKeyPressed));
    EXPECT_TRUE(keys.Add(kKeyDown, kKeyPressed)) << "two presses are two steps";
    EXPECT_FALSE(keys.Add(kKeyDown, kKeyReleased)) << "releases never wait";
    EXPECT_TRUE(keys.Add(kKeyEnter, kKeyPressed));
    EXPECT_FALSE(keys.Add(kKeyEscape, kKeyPressed));
    EXPECT_FALSE(keys.Add(kKeyUp, kKeyRepeated));
    EXPECT_EQ(keys.dropped(), 2u);
    EXPECT_EQ(TakeAll(keys),
              (std::vector<MenuKey>{{kKeyDown, kKeyPressed}, {kKeyDown, kKeyPressed}, {kKeyEnter, kKeyPressed}}));
    EXPECT_TRUE(keys.Add(kKeyEscape, kKeyPressed)) << "room again once taken";

    // A repeat after another key's press is a step of its own.
    EXPECT_TRUE(keys.Add(kKeyUp, kKeyRepeated));
    EXPECT_EQ(keys.waiting(), 2u);
    EXPECT_FALSE(keys.Add(kKeyUp, 7)) << "no such action";
}

} // namespace
