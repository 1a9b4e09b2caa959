// SPDX-License-Identifier: MIT
#include <pixtera/platform/thread.h>

#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cstring>

namespace {

TEST(Thread, RunsWithTheRequestedStack)
{
    std::size_t stack = 0;
    pixtera::Thread thread(pixtera::kSmallThreadStack, [&] {
        pthread_attr_t attributes;
        pthread_getattr_np(pthread_self(), &attributes);
        pthread_attr_getstacksize(&attributes, &stack);
        pthread_attr_destroy(&attributes);
    });
    thread.join();
    EXPECT_GE(stack, pixtera::kSmallThreadStack);
#if !defined(__SANITIZE_THREAD__) // its runtime enlarges every thread's stack
    EXPECT_LT(stack, std::size_t{1024 * 1024}) << "not the 8 MB default";
#endif
}

TEST(Thread, SmallStacksHoldTheLibcCallsServiceThreadsMake)
{
    // Formatting and wide-string work are the deepest libc paths the service's own threads take.
    std::atomic<bool> done{false};
    pixtera::Thread thread(pixtera::kSmallThreadStack, [&] {
        char buffer[512];
        std::snprintf(buffer, sizeof buffer, "%.3f %s %g", 3.14159, "text", 1e300);
        done = std::strlen(buffer) > 0;
    });
    thread.join();
    EXPECT_TRUE(done.load());
}

TEST(Thread, DestructorJoinsAndMoveTransfersOwnership)
{
    std::atomic<int> runs{0};
    {
        pixtera::Thread first(pixtera::kSmallThreadStack, [&] { ++runs; });
        pixtera::Thread second = std::move(first);
        EXPECT_FALSE(first.joinable());
        EXPECT_TRUE(second.joinable());
    }
    EXPECT_EQ(runs.load(), 1);
}

} // namespace
