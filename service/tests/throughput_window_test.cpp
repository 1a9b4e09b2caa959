// SPDX-License-Identifier: MIT
// A display's traffic a second on the bus: a window opens with a frame and shuts a second after
// the last (while frames come, the next one need not be told), a value goes out only when it
// changed, a still screen is announced once as zeros and then costs no timer; the driver's
// measure of a frame is counted once however often it is read.

#include "frame_tally.h"
#include "throughput_window.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace std::chrono_literals;

TEST(FrameTally, EachMeasureOfTheDriverIsCountedOnceAndFramesEachTime)
{
    FrameTally tally;
    tally.Written(std::nullopt); // a driver that does not measure
    EXPECT_EQ(tally.Totals(std::nullopt).frames, 1u);
    EXPECT_EQ(tally.Totals(std::nullopt).bytes, 0u);

    const FrameTraffic first{84, 4, 3070, 30700};
    tally.Written(FrameTraffic{}); // the writer has not finished a frame yet
    tally.Written(first);
    tally.Written(first); // the writer took the next frame after Write returned: not counted twice
    TrafficTotals totals = tally.Totals(first);
    EXPECT_EQ(totals.frames, 4u);
    EXPECT_EQ(totals.bytes, 84u);
    EXPECT_EQ(totals.lastMicroseconds, 30700);
    // The last frame of a burst, measured after its Write: counted when the totals are read.
    totals = tally.Totals(FrameTraffic{3, 1, 60, 830});
    EXPECT_EQ(totals.frames, 4u);
    EXPECT_EQ(totals.bytes, 87u);
    EXPECT_EQ(totals.lastMicroseconds, 830);
}

TEST(ThroughputWindow, AStillScreenHasNoTimerAndIsAnnouncedOnceAsZeros)
{
    ThroughputWindow window;
    const ThroughputWindow::Clock::time_point start{100s};
    TrafficTotals totals{3, 300, 500}; // the greeting and the first frames before it was watched
    window.Start(totals);
    for (auto now = start; now < start + 1h; now += 1s)
        ASSERT_FALSE(window.deadline() || window.Due(now)) << "no timer before a frame";

    // Ten frames in the first second, five in the next, then none.
    window.Noticed(start);
    window.Noticed(start + 10ms); // one window
    EXPECT_EQ(window.deadline(), start + 1s);
    EXPECT_FALSE(window.Due(start + 999ms));
    totals = {13, 1300, 700};
    EXPECT_FALSE(window.EndsWith(totals)) << "frames came: the observer need not hear of the next";
    auto announced = window.Close(start + 1s, totals);
    ASSERT_TRUE(announced);
    EXPECT_EQ(*announced, (Throughput{10, 1000, 700})) << "what came before it was watched is not counted";
    EXPECT_EQ(window.deadline(), start + 2s) << "still writing: the next window is open";
    totals = {18, 1800, 700};
    // The loop woke late: the rate is over the time that passed.
    announced = window.Close(start + 2s + 250ms, totals);
    ASSERT_TRUE(announced);
    EXPECT_EQ(*announced, (Throughput{4, 400, 700}));
    EXPECT_TRUE(window.EndsWith(totals)) << "a quiet second: the next frame must open a window";
    announced = window.Close(start + 3s + 250ms, totals);
    ASSERT_TRUE(announced) << "going still is announced";
    EXPECT_EQ(*announced, (Throughput{0, 0, 700}));
    EXPECT_EQ(window.announced(), (Throughput{0, 0, 700}));
    for (auto now = start + 4s; now < start + 1h; now += 1s)
        ASSERT_FALSE(window.deadline() || window.Due(now)) << "no timer while still";
}

TEST(ThroughputWindow, TheSameRateIsNotAnnouncedAgain)
{
    ThroughputWindow window;
    const ThroughputWindow::Clock::time_point start{100s};
    window.Start({});
    window.Noticed(start);
    TrafficTotals totals{};
    int announcements = 0;
    for (int second = 1; second <= 60; ++second) {
        totals.frames += 1; // a clock: a frame a second, the same bytes and time each
        totals.bytes += 20;
        totals.lastMicroseconds = 800;
        announcements += window.Close(start + std::chrono::seconds(second), totals).has_value();
    }
    EXPECT_EQ(announcements, 1);
    EXPECT_EQ(window.announced(), (Throughput{1, 20, 800}));
}

} // namespace
