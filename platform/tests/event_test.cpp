// SPDX-License-Identifier: MIT
#include <pixtera/platform/event.h>
#include <pixtera/platform/thread.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

using pixtera::Event;
using pixtera::WaitForAny;

TEST(Event, AutoResetReleasesOneWaiterPerSet)
{
    Event event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (event.Wait(5000) == WAIT_OBJECT_0)
                ++released;
        });
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let all three wait
    event.Set();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(released.load(), 1);
    event.Set();
    event.Set();
    for (auto& t : waiters)
        t.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_FALSE(event.IsSet()) << "each signal was consumed by a waiter";
}

TEST(Event, AutoResetStaysSetUntilOneWaiterComes)
{
    Event event;
    event.Set();
    event.Set(); // signals do not count up
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, ManualResetReleasesEveryoneUntilReset)
{
    Event event(Event::Reset::Manual);
    event.Set();
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    EXPECT_EQ(event.Wait(0), WAIT_OBJECT_0);
    event.ResetEvent();
    EXPECT_EQ(event.Wait(0), WAIT_TIMEOUT);
}

TEST(Event, WaitTimesOut)
{
    Event event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(event.Wait(30), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(WaitForAny, ReturnsTheIndexOfTheEventThatWasSet)
{
    Event stop;
    Event request;
    std::thread setter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        request.Set();
    });
    EXPECT_EQ(WaitForAny({&stop, &request}, 5000), WAIT_OBJECT_0 + 1);
    setter.join();
    EXPECT_FALSE(request.IsSet()) << "the wait consumed the auto-reset signal";
    EXPECT_EQ(WaitForAny({&stop, &request}, 10), WAIT_TIMEOUT);
}

TEST(WaitForAny, PrefersTheLowestIndexAndConsumesOnlyThatSignal)
{
    Event first;
    Event second;
    first.Set();
    second.Set();
    EXPECT_EQ(WaitForAny({&first, &second}, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(second.IsSet());
    EXPECT_EQ(WaitForAny({&first, &second}, 0), WAIT_OBJECT_0 + 1);
}

TEST(WaitForAny, NoSignalIsLostUnderContention)
{
    // Two producers, three consumers waiting on both events; every signal is consumed exactly
    // once in total, never twice and never dropped.
    constexpr int kSignals = 2000;
    Event a;
    Event b;
    Event done(Event::Reset::Manual);
    std::atomic<int> consumed{0};
    std::vector<std::thread> consumers;
    for (int i = 0; i < 3; ++i)
        consumers.emplace_back([&] {
            while (true) {
                const DWORD r = WaitForAny({&a, &b, &done}, INFINITE);
                if (r == WAIT_OBJECT_0 + 2)
                    return;
                ++consumed;
            }
        });
    auto produce = [&](Event& event) {
        for (int i = 0; i < kSignals; ++i) {
            // Wait until the previous signal was taken, so signals never merge.
            while (event.IsSet())
                std::this_thread::yield();
            event.Set();
        }
    };
    std::thread pa(produce, std::ref(a));
    std::thread pb(produce, std::ref(b));
    pa.join();
    pb.join();
    while (a.IsSet() || b.IsSet())
        std::this_thread::yield();
    // The last signals may be handed over but not yet counted.
    for (int i = 0; i < 100 && consumed.load() < 2 * kSignals; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    done.Set();
    for (auto& t : consumers)
        t.join();
    EXPECT_EQ(consumed.load(), 2 * kSignals);
}

} // namespace
