// SPDX-License-Identifier: MIT
// The bus's announcement of changed values: armed only by a change, at once after a quiet time,
// a period after the last one otherwise, and never again without a new change.

#include "signal_throttle.h"

#include <gtest/gtest.h>

namespace {

using pixtera::SignalThrottle;
using namespace std::chrono_literals;

TEST(SignalThrottle, ArmsOnlyAfterAChangeAndNeverFiresAgainWithoutOne)
{
    SignalThrottle throttle(250ms);
    const SignalThrottle::Clock::time_point start{std::chrono::seconds(100)};
    // An idle loop: every wait it would make, for an hour of nothing.
    int wakes = 0;
    for (auto now = start; now < start + 1h; now += 1s)
        wakes += throttle.deadline().has_value() || throttle.Due(now);
    EXPECT_EQ(wakes, 0) << "no timer while nothing changed";

    throttle.Changed(start);
    EXPECT_EQ(throttle.deadline(), start) << "the first change after a quiet time goes out at once";
    throttle.Announced(start);
    EXPECT_FALSE(throttle.deadline());

    throttle.Changed(start + 10ms);
    throttle.Changed(start + 20ms); // a burst: one announcement
    EXPECT_EQ(throttle.deadline(), start + 250ms);
    EXPECT_FALSE(throttle.Due(start + 249ms));
    EXPECT_TRUE(throttle.Due(start + 250ms));
    throttle.Announced(start + 250ms);
    EXPECT_FALSE(throttle.Due(start + 10s)) << "not again without a change";
    EXPECT_FALSE(throttle.deadline());

    throttle.Changed(start + 10s);
    EXPECT_EQ(throttle.deadline(), start + 10s);
}

} // namespace
