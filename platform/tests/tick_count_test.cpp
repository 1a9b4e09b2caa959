#include <pixtera/platform/tick_count.h>

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
