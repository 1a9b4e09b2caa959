// SPDX-License-Identifier: MIT
#include <pixtera/platform/event.h>
#include <pixtera/platform/tick_count.h>

#include <thread>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

TEST(TickCount, DifferencesWrapCleanly)
{
    ManualTickClock clock(0xFFFFFFF0u);
    const DWORD start = clock.Now();
    clock.Advance(0x20);
    EXPECT_EQ(clock.Now(), 0x10u);
    EXPECT_EQ(TicksBetween(start, clock.Now()), 0x20u);
    EXPECT_TRUE(TickIsBefore(start, clock.Now()));
    EXPECT_FALSE(TickIsBefore(clock.Now(), start));
}

TEST(TickCount, DeadlinesAcrossTheWrap)
{
    const DWORD now = 0xFFFFFF00u;
    const DWORD end = now + 5000; // wraps past zero
    EXPECT_LT(end, now);
    EXPECT_TRUE(TickIsBefore(now, end));
    EXPECT_TRUE(TickIsBefore(end - 1, end));
    EXPECT_FALSE(TickIsBefore(end, end));
    EXPECT_FALSE(TickIsBefore(end + 1, end));
}

TEST(TickCount, ProcessClockCanBeReplacedAndRestored)
{
    ManualTickClock clock(1234);
    SetProcessTickClock(&clock);
    EXPECT_EQ(GetTickCount(), 1234u);
    clock.Advance(10);
    EXPECT_EQ(GetTickCount(), 1244u);
    SetProcessTickClock(nullptr);
    const DWORD system = SystemClock().Now();
    EXPECT_LE(TicksBetween(system, GetTickCount()), 1000u);
}

TEST(TickCount, SystemClockMovesForward)
{
    const DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(TicksBetween(before, GetTickCount()), 19u);
}

} // namespace

namespace {

using namespace pixtera;

TEST(TickCount, ManualWaitsEndAtTheDeadlineOrTheEvent)
{
    ManualTickClock clock(100);
    Event event;
    EXPECT_FALSE(clock.WaitUntil(event, 100)) << "a deadline that has come returns at once";
    EXPECT_FALSE(clock.WaitUntil(event, 50));
    std::thread mover([&] {
        Sleep(5);
        clock.Advance(30);
    });
    EXPECT_FALSE(clock.WaitUntil(event, 130));
    mover.join();
    event.Set();
    EXPECT_TRUE(clock.WaitUntil(event, 1000000));
}

TEST(TickCount, SystemWaitsEndAtTheEvent)
{
    Event event;
    event.Set();
    EXPECT_TRUE(SystemClock().WaitUntil(event, GetTickCount() + 60000));
    EXPECT_FALSE(SystemClock().WaitUntil(event, GetTickCount() - 5)) << "past deadlines do not wait";
}

} // namespace
