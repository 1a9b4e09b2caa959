// SPDX-License-Identifier: MIT
#include "frame_counter.h"
#include "game_records.h"
#include "record_directory.h"
#include "record_writer.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace pixtera::fps;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

std::string RecordName(pid_t pid) { return "pixtera-fps-" + std::to_string(pid); }
fs::path SharedRecord() { return fs::path("/dev/shm") / RecordName(getpid()); }

// XDG_RUNTIME_DIR set to a new private directory of the test's (the session's own, as logind
// makes it); the record directory inside it.
fs::path PrivateRuntime(const std::string& name)
{
    const fs::path runtime = pixtera::test::TestDirectory() / name;
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    return runtime / "pixtera-fps";
}

RecordLayout Valid(std::uint32_t pid, std::uint32_t rate, std::uint64_t at, const char* name)
{
    RecordLayout record{};
    record.magic = kRecordMagic;
    record.version = kRecordVersion;
    record.size = sizeof record;
    record.sequence = 4;
    record.pid = pid;
    record.framesPerSecond = rate;
    record.lastPresentNs = at;
    std::strncpy(record.name, name, sizeof record.name - 1);
    return record;
}

std::span<const std::byte> Bytes(const RecordLayout& record) { return std::as_bytes(std::span(&record, 1)); }

TEST(FpsRecord, OnlyAWholeRecordOfTheRightVersionAndProcessIsRead)
{
    const RecordLayout good = Valid(42, 144, 1000, "game");
    const auto sample = ParseRecord(Bytes(good), 4, 42);
    ASSERT_TRUE(sample);
    EXPECT_EQ(sample->framesPerSecond, 144u);
    EXPECT_EQ(sample->name, "game");

    EXPECT_FALSE(ParseRecord(Bytes(good), 6, 42)) << "the writer changed it during the copy";
    RecordLayout writing = good;
    writing.sequence = 5;
    EXPECT_FALSE(ParseRecord(Bytes(writing), 5, 42)) << "odd: half written";
    EXPECT_FALSE(ParseRecord(Bytes(good), 4, 43)) << "another process's record under this name";
    RecordLayout versioned = good;
    versioned.version = 2;
    EXPECT_FALSE(ParseRecord(Bytes(versioned), 4, 42));
    RecordLayout unterminated = good;
    std::memset(unterminated.name, 'x', sizeof unterminated.name);
    EXPECT_FALSE(ParseRecord(Bytes(unterminated), 4, 42));
    RecordLayout absurd = good;
    absurd.framesPerSecond = 4000000000u;
    EXPECT_FALSE(ParseRecord(Bytes(absurd), 4, 42));
    EXPECT_FALSE(ParseRecord(Bytes(good).first(100), 4, 42)) << "too short";
    std::array<std::byte, 128> garbage{};
    garbage.fill(std::byte{0xA5});
    EXPECT_FALSE(ParseRecord(garbage, 0xA5A5A5A5u, 42));

    EXPECT_EQ(PidOfRecordName("pixtera-fps-1234"), 1234u);
    for (const char* name : {"pixtera-fps-", "pixtera-fps-12x", "pixtera-fps-0", "other-1234", "pixtera-fps--5"})
        EXPECT_FALSE(PidOfRecordName(name)) << name;
}

class GameRecords : public ::testing::Test {
protected:
    void Write(std::uint32_t pid, const RecordLayout& record)
    {
        std::ofstream(directory / ("pixtera-fps-" + std::to_string(pid)), std::ios::binary)
            .write(reinterpret_cast<const char*>(&record), sizeof record);
    }

    std::filesystem::path directory = pixtera::test::TestDirectory();
};

TEST_F(GameRecords, TheLiveGameThatPresentedLastWinsAndTheDeadAreRemoved)
{
    // A process that has ended, for a pid that is free.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const pid_t alive = fork();
    if (alive == 0) {
        pause();
        _exit(0);
    }
    const auto self = static_cast<std::uint32_t>(getpid());
    const std::uint64_t now = 100'000'000'000;
    Write(static_cast<std::uint32_t>(gone), Valid(static_cast<std::uint32_t>(gone), 999, now, "crashed"));
    Write(self, Valid(self, 60, now - 300'000'000, "older"));
    Write(static_cast<std::uint32_t>(alive), Valid(static_cast<std::uint32_t>(alive), 75, now - 100'000'000, "newer"));

    auto game = CurrentGame(directory, now);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, "newer");
    EXPECT_FALSE(std::filesystem::exists(directory / ("pixtera-fps-" + std::to_string(gone))))
        << "a killed game's record goes";

    kill(alive, SIGKILL);
    waitpid(alive, nullptr, 0);
    game = CurrentGame(directory, now);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, "older") << "the newer game was killed";
    EXPECT_FALSE(std::filesystem::exists(directory / ("pixtera-fps-" + std::to_string(alive))));
    EXPECT_FALSE(CurrentGame(directory, now + kStaleAfterNs)) << "more than two seconds without a present";
}

TEST(FrameCounter, PublishesTheRateOfTheLastSecondTwiceASecondAndRemovesItsRecord)
{
    setenv("PIXTERA_FPS_NAME", "counted", 1);
    const auto record = PrivateRuntime("counter") / RecordName(getpid());
    {
        FrameCounter counter("counted");
        std::uint64_t t = 5'000'000'000;
        for (int frame = 0; frame < 120; ++frame, t += 1'000'000'000 / 60) // two seconds at 60 Hz
            counter.Presented(t);
        auto game = CurrentGame(RecordPlaces(), t);
        ASSERT_TRUE(game);
        EXPECT_EQ(game->name, "counted");
        EXPECT_EQ(game->framesPerSecond, 60u);
        for (int frame = 0; frame < 216; ++frame, t += 1'000'000'000 / 144) // the game speeds up
            counter.Presented(t);
        game = CurrentGame(RecordPlaces(), t);
        ASSERT_TRUE(game);
        EXPECT_NEAR(game->framesPerSecond, 144u, 3u) << "the old rate is forgotten after a second";
        EXPECT_TRUE(std::filesystem::exists(record));
    }
    EXPECT_FALSE(std::filesystem::exists(record)) << "a game that ends takes its record along";
}

} // namespace

namespace {

TEST_F(GameRecords, WhatOtherUsersPlantIsNeitherReadNorWaitedFor)
{
    const auto self = static_cast<std::uint32_t>(getpid());
    const std::uint64_t now = 100'000'000'000;
    const auto name = directory / ("pixtera-fps-" + std::to_string(self));
    // A FIFO under a record's name: opening it for reading would wait for a writer for ever.
    ASSERT_EQ(mkfifo(name.c_str(), 0666), 0);
    EXPECT_FALSE(CurrentGame(directory, now));
    std::filesystem::remove(name);
    std::filesystem::create_symlink(directory / "elsewhere", name);
    Write(0, Valid(self, 60, now, "link target"));
    std::filesystem::rename(directory / "pixtera-fps-0", directory / "elsewhere");
    EXPECT_FALSE(CurrentGame(directory, now)) << "a link is not followed";
    std::filesystem::remove(name);

    if (geteuid() != 0)
        GTEST_SKIP() << "another user's files and processes need root to make";
    Write(self, Valid(self, 60, now, "spoofed"));
    ASSERT_EQ(chown(name.c_str(), kNobody, kNobody), 0);
    EXPECT_FALSE(CurrentGame(directory, now)) << "a record another user wrote for one of our processes";

    // Our record for another user's process: what they play is none of our display's business.
    const pid_t theirs = fork();
    if (theirs == 0) {
        if (setuid(kNobody) == 0)
            pause();
        _exit(0);
    }
    ASSERT_TRUE(pixtera::test::Eventually([&] {
        struct stat process {};
        return stat(("/proc/" + std::to_string(theirs)).c_str(), &process) == 0 && process.st_uid == kNobody;
    }));
    Write(static_cast<std::uint32_t>(theirs), Valid(static_cast<std::uint32_t>(theirs), 60, now, "their game"));
    EXPECT_FALSE(CurrentGame(directory, now));
    EXPECT_TRUE(std::filesystem::exists(directory / ("pixtera-fps-" + std::to_string(theirs)))) << "not ours to remove";
    kill(theirs, SIGKILL);
    waitpid(theirs, nullptr, 0);
}

} // namespace

namespace {

TEST(RecordWriter, UnderTheSharedNameNeverWritesIntoAnotherUsersFileAndReplacesItsOwnStaleOne)
{
    unsetenv("XDG_RUNTIME_DIR"); // no session directory: the shared name
    const auto self = static_cast<std::uint32_t>(getpid());
    const std::filesystem::path name = "/dev/shm/pixtera-fps-" + std::to_string(self);
    std::filesystem::remove(name);
    // Left by an earlier process of ours with the same pid: replaced by a private record.
    std::ofstream(name) << "stale";
    std::filesystem::permissions(name, std::filesystem::perms::all);
    {
        RecordWriter writer;
        writer.Publish(60, 1000, "game");
        const auto sample = CurrentGame("/dev/shm", 1000);
        ASSERT_TRUE(sample);
        EXPECT_EQ(sample->name, "game");
        EXPECT_EQ(std::filesystem::status(name).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_FALSE(std::filesystem::exists(name)) << "removed when the game ends";

    if (geteuid() != 0)
        GTEST_SKIP() << "another user's file needs root to make";
    std::ofstream(name) << "planted";
    ASSERT_EQ(chown(name.c_str(), 65534, 65534), 0);
    {
        RecordWriter writer;
        writer.Publish(60, 1000, "game");
    }
    std::ifstream planted(name);
    std::string content((std::istreambuf_iterator<char>(planted)), {});
    EXPECT_EQ(content, "planted") << "another user's file is never written into";
    std::filesystem::remove(name);
}

} // namespace

namespace {

// Another user can make /dev/shm/pixtera-fps-<pid> before the game does, but not a name in the
// user's own directory: the game is measured all the same.
TEST(RecordWriter, PublishesInTheUsersOwnDirectoryWhoeverTookTheSharedName)
{
    const fs::path directory = PrivateRuntime("runtime");
    const fs::path record = directory / RecordName(getpid());
    fs::remove(SharedRecord());
    {
        const Descriptor planted(open(SharedRecord().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        ASSERT_TRUE(planted);
        ASSERT_EQ(fchmod(planted.get(), 0666), 0);
        if (geteuid() == 0) {
            ASSERT_EQ(fchown(planted.get(), kNobody, kNobody), 0);
        }
    }
    {
        RecordWriter writer;
        writer.Publish(60, 1000, "game");
        const auto game = CurrentGame(RecordPlaces(), 1000);
        ASSERT_TRUE(game) << "the game is not measured";
        EXPECT_EQ(game->name, "game");
        EXPECT_EQ(game->framesPerSecond, 60u);
        ASSERT_TRUE(fs::exists(record));
        EXPECT_EQ(fs::status(record).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(fs::status(directory).permissions(), fs::perms::owner_all);
    }
    EXPECT_FALSE(fs::exists(record)) << "removed when the game ends";
    EXPECT_TRUE(fs::exists(SharedRecord()));
    EXPECT_EQ(pixtera::test::FileText(SharedRecord()), "") << "the shared name is not touched";
    fs::remove(SharedRecord());
}

// A record directory that is not the user's private one is neither written nor read: the game
// says so and goes to the shared name.
TEST(RecordWriter, UsesTheDirectoryOnlyWhenItIsPrivateToTheUser)
{
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> make;
    };
    std::vector<Case> cases{
        {"open to others",
         [](const fs::path& d) {
             fs::create_directory(d);
             fs::permissions(d, fs::perms::all);
         }},
        {"a link to a private directory",
         [](const fs::path& d) {
             const fs::path target = d.parent_path() / "target";
             fs::create_directory(target);
             fs::permissions(target, fs::perms::owner_all, fs::perm_options::replace);
             fs::create_directory_symlink(target, d);
         }},
        {"a file", [](const fs::path& d) { std::ofstream(d) << "x"; }},
    };
    if (geteuid() == 0)
        cases.push_back({"another user's", [](const fs::path& d) {
                             fs::create_directory(d);
                             fs::permissions(d, fs::perms::owner_all, fs::perm_options::replace);
                             ASSERT_EQ(chown(d.c_str(), kNobody, kNobody), 0);
                         }});
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path directory = PrivateRuntime("runtime-" + std::to_string(++round));
        c.make(directory);
        EXPECT_EQ(RecordPlaces(), std::vector<fs::path>{"/dev/shm"}) << "not read";
        fs::remove(SharedRecord());
        testing::internal::CaptureStderr();
        {
            RecordWriter writer;
            writer.Publish(60, 1000, "game");
            EXPECT_TRUE(fs::exists(SharedRecord()));
            EXPECT_TRUE(CurrentGame(RecordPlaces(), 1000));
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(directory.string()), std::string::npos) << said;
        EXPECT_NE(said.find("; the record goes to /dev/shm"), std::string::npos) << said;
        std::error_code ec;
        EXPECT_FALSE(fs::exists(directory.parent_path() / "target" / RecordName(getpid()), ec)) << "not followed";
    }
    const fs::path good = PrivateRuntime("runtime-good");
    EXPECT_EQ(RecordPlaces(), std::vector<fs::path>{"/dev/shm"}) << "a reader does not make the directory";
    fs::create_directory(good);
    fs::permissions(good, fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_EQ(RecordPlaces(), (std::vector<fs::path>{good, "/dev/shm"}));
}

TEST_F(GameRecords, TheNewestGameOfEveryPlaceWins)
{
    const fs::path shared = directory / "shared";
    const fs::path own = directory / "own";
    fs::create_directories(shared);
    fs::create_directories(own);
    const auto self = static_cast<std::uint32_t>(getpid());
    const pid_t child = fork();
    if (child == 0) {
        pause();
        _exit(0);
    }
    const auto other = static_cast<std::uint32_t>(child);
    const std::uint64_t now = 100'000'000'000;
    auto write = [](const fs::path& place, std::uint32_t pid, const RecordLayout& record) {
        std::ofstream(place / RecordName(static_cast<pid_t>(pid)), std::ios::binary)
            .write(reinterpret_cast<const char*>(&record), sizeof record);
    };
    write(own, self, Valid(self, 60, now - 300'000'000, "in its own directory"));
    write(shared, other, Valid(other, 75, now - 100'000'000, "under the shared name"));
    const std::vector<fs::path> places{own, shared};
    auto game = CurrentGame(places, now);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, "under the shared name");
    write(own, self, Valid(self, 60, now, "in its own directory"));
    game = CurrentGame(places, now);
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, "in its own directory");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
}

} // namespace
