// SPDX-License-Identifier: MIT
#include "open_file_limit.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace pixtera {
namespace {

TEST(OpenFileLimit, TheSoftLimitIsRaisedToTheHardOne)
{
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max <= 256)
        GTEST_SKIP() << "the hard limit leaves nothing to raise";
    limit.rlim_cur = 256; // what a session may start the service with
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &limit), 0);
    RaiseOpenFileLimit();
    rlimit raised{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &raised), 0);
    EXPECT_EQ(raised.rlim_cur, limit.rlim_max);
}

} // namespace
} // namespace pixtera
