// SPDX-License-Identifier: MIT
#include "display_answers.h"

#include <pixtera/sdk/display_leds.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::host;

constexpr LONGLONG kNow = 1'800'000'000;

// The result as the wrapper reads it, after the trip over the wire.
Result Across(const Result& sent)
{
    const std::string message = EncodeResult(sent);
    auto read = DecodeResult(std::as_bytes(std::span(message)).subspan(4));
    EXPECT_TRUE(read);
    return read ? std::move(*read) : Result{};
}

TEST(HostedDisplayAnswers, ALinkStateCrossesWholeAndOneOutOfRangeIsNone)
{
    Result down;
    PutLinkState(down, false, kNow - 30);
    const auto read = ReadLinkState(Across(down), kNow);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->linked);
    EXPECT_EQ(read->outageSince, kNow - 30);

    Result up;
    PutLinkState(up, true, kNow - 30);
    const auto linked = ReadLinkState(Across(up), kNow);
    ASSERT_TRUE(linked);
    EXPECT_TRUE(linked->linked);
    EXPECT_EQ(linked->outageSince, 0) << "a linked module has no outage";

    const Result faulty[] = {
        {S_OK, {LONG{2}, Int64Value(0)}}, // neither linked nor not
        {S_OK, {LONG{0}, Int64Value(-1)}}, // before the epoch
        {S_OK, {LONG{0}, Int64Value(kNow + kClockSlack + 1)}}, // in the future
        {S_OK, {LONG{0}, Variant::FromLong(5)}}, // not a 64-bit time
        {S_OK, {LONG{1}}}, // short
        {S_OK, {LONG{1}, Int64Value(0), LONG{0}}}, // long
    };
    for (const Result& answer : faulty)
        EXPECT_FALSE(ReadLinkState(Across(answer), kNow)) << answer.values.size();
    EXPECT_TRUE(ReadLinkState(Across({S_OK, {LONG{0}, Int64Value(kNow + kClockSlack)}}), kNow))
        << "the slack is allowed";
}

TEST(HostedDisplayAnswers, LedAnswersAreCountsStatesAndStatesTheLedsKnow)
{
    EXPECT_EQ(ReadLedCount(Across({S_OK, {LONG{4}}})), 4);
    EXPECT_EQ(ReadLedCount(Across({S_OK, {LONG{0}}})), 0) << "a model without LEDs";
    EXPECT_EQ(ReadLedCount(Across({S_OK, {kMostLeds}})), kMostLeds);
    EXPECT_FALSE(ReadLedCount(Across({S_OK, {LONG{kMostLeds + 1}}})));
    EXPECT_FALSE(ReadLedCount(Across({S_OK, {LONG{-1}}})));
    EXPECT_FALSE(ReadLedCount(Across({S_OK, {std::u16string(u"4")}})));

    EXPECT_EQ(ReadLedStates(Across({S_OK, {kLedRedGreen}})), kLedRedGreen);
    EXPECT_EQ(ReadLedStates(Across({S_OK, {kLedOnOff}})), kLedOnOff);
    EXPECT_FALSE(ReadLedStates(Across({S_OK, {LONG{0}}}))) << "a LED that can show nothing";
    EXPECT_FALSE(ReadLedStates(Across({S_OK, {LONG{1 << 5}}}))) << "a state that does not exist";
    EXPECT_FALSE(ReadLedStates(Across({S_OK, {LONG{-1}}})));

    for (LONG state = kLedOff; state <= kLedAmber; ++state)
        EXPECT_EQ(ReadLedState(Across({S_OK, {state}})), state);
    EXPECT_FALSE(ReadLedState(Across({S_OK, {LONG{kLedAmber + 1}}})));
    EXPECT_FALSE(ReadLedState(Across({S_OK, {LONG{-1}}})));
    EXPECT_FALSE(ReadLedState(Across({S_OK, {}})));
    EXPECT_FALSE(ReadLedState(Across({S_OK, {LONG{1}, LONG{1}}})));
}

TEST(HostedDisplayAnswers, TrafficIsFourCountsNoneNegative)
{
    Result sent;
    PutTraffic(sent, {120, 3, 5'000'000'000LL, 900});
    const auto read = ReadTraffic(Across(sent));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->bytes, 120);
    EXPECT_EQ(read->messages, 3);
    EXPECT_EQ(read->clocks, 5'000'000'000LL) << "beyond 32 bits";
    EXPECT_EQ(read->microseconds, 900);

    for (std::size_t negative = 0; negative < 4; ++negative) {
        TrafficAnswer traffic{1, 1, 1, 1};
        LONGLONG* fields[] = {nullptr, nullptr, &traffic.clocks, &traffic.microseconds};
        if (negative == 0)
            traffic.bytes = -1;
        else if (negative == 1)
            traffic.messages = -1;
        else
            *fields[negative] = -1;
        Result faulty;
        PutTraffic(faulty, traffic);
        EXPECT_FALSE(ReadTraffic(Across(faulty))) << negative;
    }
    EXPECT_FALSE(ReadTraffic(Across({S_OK, {LONG{1}, LONG{1}, LONG{1}, LONG{1}}}))) << "times are 64-bit";
}

} // namespace
