// SPDX-License-Identifier: MIT
// FileWatch under conditions the kernel makes rare: an inotify queue that never runs dry, and a
// file whose own watch the kernel refuses while its directory's is fine. The kernel's calls are
// stood in for where a test cannot make it fail.

#include "captured_log.h"
#include "file_watch.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

using namespace pixtera;
using namespace std::chrono_literals;
using test::Eventually;

void Write(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

TEST(FileWatchStorm, AnEndlessStormIsActedOnWhileItLastsAFewBuffersAtATime)
{
    const auto file = test::TestDirectory() / "storm.txt";
    Write(file, "a=1\n");
    // The kernel's events, each buffer of them again and again until the watch acted: an event
    // storm that outlasts any drain. Far more than that, and it ends, so a watch that drains
    // everything before acting still ends.
    constexpr int kStormReads = 300000;
    std::atomic<bool> acted{false};
    std::atomic<int> reads{0};
    std::atomic<int> readsWhenActed{-1};
    std::string replay; // the watch thread's alone
    int stormLeft = kStormReads; // the watch thread's alone
    WatchCalls calls;
    calls.read = [&](int inotify, void* buffer, std::size_t size) -> ssize_t {
        ++reads;
        const ssize_t got = ::read(inotify, buffer, size);
        if (got > 0)
            replay.assign(static_cast<const char*>(buffer), static_cast<std::size_t>(got));
        if (got > 0 || replay.empty() || acted || stormLeft == 0)
            return got;
        --stormLeft;
        std::memcpy(buffer, replay.data(), replay.size());
        return static_cast<ssize_t>(replay.size());
    };
    std::atomic<int> told{0};
    FileWatch watch(
        file, 1h,
        [&](bool known) {
            if (!known)
                return;
            int none = -1;
            readsWhenActed.compare_exchange_strong(none, reads.load());
            acted = true;
            ++told;
        },
        calls);
    ASSERT_TRUE(watch.running());

    Write(file, "a=2\n");
    ASSERT_TRUE(Eventually([&] { return acted.load(); }));
    EXPECT_LT(readsWhenActed.load(), kStormReads) << "the watch read the whole storm before it acted";

    const int before = told;
    Write(file, "a=3\n");
    EXPECT_TRUE(Eventually([&] { return told > before; })) << "the watch follows the file after the storm";
}

class FileWatchRefused : public ::testing::Test {
protected:
    // The kernel refuses a watch on the file itself (no watch left), never on its directory.
    WatchCalls Refusing()
    {
        WatchCalls calls;
        calls.addWatch = [this](int inotify, const char* path, std::uint32_t mask) {
            if (std::filesystem::path(path) == file && std::filesystem::exists(file)) {
                ++refusals;
                errno = ENOSPC;
                return -1;
            }
            return inotify_add_watch(inotify, path, mask);
        };
        return calls;
    }
    std::function<void(bool)> Counting()
    {
        return [this](bool known) { ++(known ? told : looks); };
    }

    test::CapturedLog log;
    std::filesystem::path file = test::TestDirectory() / "refused.txt";
    std::atomic<int> refusals{0};
    std::atomic<int> told{0};
    std::atomic<int> looks{0};
};

TEST_F(FileWatchRefused, AtTheStartTheFileIsLookedAtEveryIntervalAndWhyIsSaidOnce)
{
    std::filesystem::remove(file);
    Write(file, "a=1\n");
    FileWatch watch(file, 20ms, Counting(), Refusing());
    ASSERT_TRUE(watch.running());
    EXPECT_TRUE(Eventually([&] { return looks >= 3; })) << "an in-place write would never be seen\n" << log.Text();
    EXPECT_EQ(log.Count(file.string() + " cannot be watched (no inotify watch is left); it is looked at every 20 ms"),
              1)
        << log.Text();
    EXPECT_GE(refusals, 3) << "each look tries to watch the file again";
}

TEST_F(FileWatchRefused, AFileThatComesLaterAndCannotBeWatchedIsLookedAtEveryInterval)
{
    std::filesystem::remove(file);
    FileWatch watch(file, 20ms, Counting(), Refusing());
    ASSERT_TRUE(watch.running());
    EXPECT_FALSE(log.Contains("cannot be watched")) << "a file not there yet is the directory watch's";

    const auto written = test::TestDirectory() / "refused.txt.new";
    Write(written, "a=1\n");
    std::filesystem::rename(written, file);
    EXPECT_TRUE(Eventually([&] { return told >= 1; })) << "the rename is seen";
    EXPECT_TRUE(Eventually([&] { return looks >= 3; })) << "then the file is looked at\n" << log.Text();
    EXPECT_EQ(log.Count(file.string() + " cannot be watched"), 1) << log.Text();
}

} // namespace
