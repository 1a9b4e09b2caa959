// SPDX-License-Identifier: MIT
#include "screen_rotation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace pixtera;

ClientScreen Screen(LONG id, LONG priority, std::size_t source = 0) { return {source, id, priority, 32}; }

// The turns as "q0", "c7", "-" (idle).
std::string Name(const Turn& turn)
{
    switch (turn.kind) {
    case Turn::Kind::Queue: return "q" + std::to_string(turn.queueIndex);
    case Turn::Kind::Client: return "c" + std::to_string(turn.screen.id);
    default: return "-";
    }
}

std::string Turns(ScreenRotation& rotation, std::size_t queue, const std::vector<ClientScreen>& screens, int n)
{
    std::string names;
    for (int i = 0; i < n; ++i)
        names += (names.empty() ? "" : " ") + Name(rotation.Next(queue, screens));
    return names;
}

TEST(ScreenRotation, InfoScreensTakeTurnsWithTheQueue)
{
    ScreenRotation rotation;
    EXPECT_EQ(Turns(rotation, 2, {Screen(7, kScreenInfo), Screen(8, kScreenInfo)}, 6), "q0 q1 c7 c8 q0 q1");
}

TEST(ScreenRotation, AJumpShowsItsEntryAndTheTurnsGoOnAfterIt)
{
    ScreenRotation rotation;
    EXPECT_EQ(Turns(rotation, 4, {Screen(7, kScreenInfo)}, 2), "q0 q1");
    EXPECT_EQ(Name(rotation.JumpTo(3)), "q3");
    EXPECT_EQ(Turns(rotation, 4, {Screen(7, kScreenInfo)}, 3), "c7 q0 q1");
    rotation.JumpTo(0);
    EXPECT_EQ(Name(rotation.Next(4, {}, true)), "q0") << "a held entry jumped to stays";
}

TEST(ScreenRotation, TheHighestClassPresentIsShownAlone)
{
    ScreenRotation rotation;
    const std::vector<ClientScreen> screens = {Screen(1, kScreenInfo), Screen(2, kScreenForeground),
                                               Screen(3, kScreenForeground), Screen(4, kScreenBackground)};
    EXPECT_EQ(Turns(rotation, 3, screens, 3), "c2 c3 c2");
    EXPECT_EQ(Turns(rotation, 3, {Screen(1, kScreenInfo), Screen(5, kScreenAlert)}, 2), "c5 c5");
    EXPECT_EQ(Turns(rotation, 0, {Screen(1, kScreenInput), Screen(5, kScreenAlert)}, 1), "c1");
}

TEST(ScreenRotation, BackgroundOnlyWhenNothingElseAndHiddenNever)
{
    ScreenRotation rotation;
    EXPECT_EQ(Turns(rotation, 1, {Screen(4, kScreenBackground), Screen(9, kScreenHidden)}, 2), "q0 q0");
    EXPECT_EQ(Turns(rotation, 0, {Screen(4, kScreenBackground), Screen(9, kScreenHidden)}, 2), "c4 c4");
    EXPECT_EQ(Turns(rotation, 0, {Screen(9, kScreenHidden)}, 1), "-");
    EXPECT_EQ(Turns(rotation, 0, {}, 1), "-");
}

TEST(ScreenRotation, WithAnEmptyQueueClientScreensRotateAlone)
{
    ScreenRotation rotation;
    EXPECT_EQ(Turns(rotation, 0, {Screen(1, kScreenInfo), Screen(2, kScreenInfo, 1)}, 3), "c1 c2 c1");
}

TEST(ScreenRotation, AfterAnInterruptionTheRotationGoesOnWhereItWas)
{
    ScreenRotation rotation;
    EXPECT_EQ(Turns(rotation, 3, {}, 2), "q0 q1");
    EXPECT_EQ(Turns(rotation, 3, {Screen(5, kScreenAlert)}, 1), "c5");
    EXPECT_EQ(Turns(rotation, 3, {}, 1), "q0") << "the alert's place is gone: the queue starts again";
    EXPECT_EQ(Turns(rotation, 3, {Screen(6, kScreenInfo)}, 4), "q1 q2 c6 q0");
    EXPECT_EQ(Turns(rotation, 3, {}, 2), "q1 q2");
    EXPECT_EQ(Turns(rotation, 2, {}, 1), "q0") << "the queue shrank under it";
}

TEST(ScreenRotation, AHeldEntryStaysUntilAClientScreenWantsItsTurn)
{
    ScreenRotation rotation;
    EXPECT_EQ(Name(rotation.Next(2, {})), "q0");
    EXPECT_EQ(Name(rotation.Next(2, {}, true)), "q0");
    EXPECT_EQ(Name(rotation.Next(2, {Screen(3, kScreenBackground)}, true)), "q0");
    EXPECT_EQ(Name(rotation.Next(2, {Screen(3, kScreenInfo)}, true)), "q1") << "no longer held for good";
}

TEST(ScreenRotation, WhatInterruptsAShowing)
{
    const Turn queue{Turn::Kind::Queue, 0, {}};
    EXPECT_FALSE(ScreenRotation::Interrupted(queue, {Screen(1, kScreenInfo), Screen(2, kScreenBackground)}));
    EXPECT_TRUE(ScreenRotation::Interrupted(queue, {Screen(1, kScreenForeground)}));
    EXPECT_TRUE(ScreenRotation::Interrupted(queue, {Screen(1, kScreenInfo)}, true)) << "held";
    EXPECT_FALSE(ScreenRotation::Interrupted(queue, {Screen(1, kScreenHidden)}, true));
    const Turn client{Turn::Kind::Client, 0, Screen(4, kScreenForeground)};
    EXPECT_FALSE(ScreenRotation::Interrupted(client, {Screen(4, kScreenForeground), Screen(5, kScreenForeground)}));
    EXPECT_TRUE(ScreenRotation::Interrupted(client, {Screen(5, kScreenForeground)})) << "gone";
    EXPECT_TRUE(ScreenRotation::Interrupted(client, {Screen(4, kScreenInfo)})) << "ranked anew";
    EXPECT_TRUE(ScreenRotation::Interrupted(client, {Screen(4, kScreenForeground), Screen(5, kScreenAlert)}));
}

TEST(ScreenRotation, ScreenListsAreReadAndBounded)
{
    const auto screens = ReadScreenList("7 2 16\n8 4 0\nbad line\n9 9 1\n10 1 -4\n11 0 8", 3);
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens[0], (ClientScreen{3, 7, kScreenInfo, 16}));
    EXPECT_EQ(screens[1], (ClientScreen{3, 8, kScreenAlert, 32})) << "0: the default";
    EXPECT_EQ(screens[2], (ClientScreen{3, 11, kScreenHidden, 8}));
    std::string many;
    for (int i = 0; i < 5000; ++i)
        many += std::to_string(i) + " 2 8\n";
    EXPECT_EQ(ReadScreenList(many, 0).size(), 1024u);
    const auto lit = ReadScreenList("1 2 8 1\n2 2 8 4\n3 2 8 9\n4 2 8 x", 0);
    ASSERT_EQ(lit.size(), 4u);
    EXPECT_EQ(lit[0].backlight, kScreenBacklightOff);
    EXPECT_EQ(lit[1].backlight, kScreenBacklightFlash);
    EXPECT_EQ(lit[2].backlight, kScreenBacklightOpen) << "no backlight of the list's: the display's own";
    EXPECT_EQ(lit[3].backlight, kScreenBacklightOpen);
}

} // namespace
