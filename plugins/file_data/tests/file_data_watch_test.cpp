// SPDX-License-Identifier: MIT
// Pixtera.FileData as the service drives it with a sink: polled only when the sink is told, so a
// change reaches its items only if the file's watch saw it. The fallback look is an hour away in
// every case but the one about it.

#include "counting_sink.h"
#include "plugin_test.h"

#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/data_provider.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>
#include <optional>

namespace {

using namespace pixtera;
using test::Eventually;

class WatchedFileData : public test::PluginTest<IDataProvider> {
protected:
    WatchedFileData() : PluginTest("FileData.so", u"Pixtera.FileData") { std::filesystem::remove(file); }

    void Start(const std::filesystem::path& path, int interval = 3600000)
    {
        ASSERT_EQ(Configure("path=" + path.string() + ";interval=" + std::to_string(interval)), S_OK);
        const auto events = plugin.As<IDataEvents>();
        ASSERT_TRUE(events);
        ASSERT_EQ(events->Advise(sink.get()), S_OK);
        Poll();
    }
    // What the service does when the sink was told: a poll.
    void Poll()
    {
        seen = sink->calls;
        plugin->Refresh();
    }
    // The number `name` reads, as the service would have polled it by now.
    std::optional<double> Polled(const std::string& name)
    {
        if (sink->calls != seen)
            Poll();
        LONG count = 0;
        plugin->GetCount(&count);
        for (LONG i = 0; i < count; ++i) {
            BString itemName;
            Variant value;
            if (plugin->GetName(i, itemName.Out()) == S_OK && itemName.utf8() == name &&
                plugin->GetValue(i, value.Out()) == S_OK && value.vt == VT_R8)
                return value.dblVal;
        }
        return std::nullopt;
    }
    bool Reads(const std::string& name, double wanted)
    {
        return Eventually([&] { return Polled(name) == wanted; });
    }
    static void Write(const std::filesystem::path& path, const std::string& text) { std::ofstream(path) << text; }

    ComPtr<test::CountingSink> sink = MakeComObject<test::CountingSink>();
    int seen = 0;
    std::filesystem::path file = test::TestDirectory() / "watched.txt";
};

TEST_F(WatchedFileData, WithASinkItAsksForNoPollAndWithoutOneForItsInterval)
{
    Write(file, "a=1\n");
    ASSERT_EQ(Configure("path=" + file.string() + ";interval=250"), S_OK);
    LONG mode = -1;
    plugin->GetUpdateMode(&mode);
    EXPECT_EQ(mode, kUpdatePeriodic) << "no sink yet: as a plug-in in a process of its own";
    ASSERT_EQ(plugin.As<IDataEvents>()->Advise(sink.get()), S_OK);
    plugin->GetUpdateMode(&mode);
    EXPECT_EQ(mode, kUpdateOnce);
    ASSERT_EQ(plugin.As<IDataEvents>()->Advise(nullptr), S_OK);
    plugin->GetUpdateMode(&mode);
    EXPECT_EQ(mode, kUpdatePeriodic);
}

TEST_F(WatchedFileData, AWriteInPlaceReachesTheItemsEvenWithinOneTickOfTheFilesClock)
{
    Write(file, "a=1\n");
    Start(file);
    ASSERT_EQ(Polled("a"), 1);
    struct stat before {};
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    Write(file, "a=2\n"); // the same size; and the same time, below
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_TRUE(Reads("a", 2)) << "size, time and inode look unchanged, but the kernel said it changed";
    Write(file, "a=3\nb=4\n");
    EXPECT_TRUE(Reads("b", 4));
}

TEST_F(WatchedFileData, AFileRenamedOverItIsFollowed)
{
    Write(file, "a=1\n");
    Start(file);
    for (int value = 2; value <= 4; ++value) { // the new file each time, not the first one's inode
        Write(file.string() + ".new", "a=" + std::to_string(value) + "\n");
        std::filesystem::rename(file.string() + ".new", file);
        EXPECT_TRUE(Reads("a", value));
    }
    Write(file, "a=5\n"); // and written in place after
    EXPECT_TRUE(Reads("a", 5));
}

TEST_F(WatchedFileData, AFileDeletedAndMadeAgainIsPickedUp)
{
    Write(file, "a=1\n");
    Start(file);
    std::filesystem::remove(file);
    EXPECT_TRUE(Eventually([&] { return !Polled("a"); })) << "gone: no items";
    EXPECT_TRUE(log.Contains("is gone")) << log.Text();
    Write(file, "a=2\n");
    EXPECT_TRUE(Reads("a", 2));
    Write(file, "a=3\n");
    EXPECT_TRUE(Reads("a", 3)) << "the new file's own changes";
}

TEST_F(WatchedFileData, AFileNotThereYetIsPickedUpWhenItComes)
{
    Start(file);
    ASSERT_FALSE(Polled("a"));
    Write(file, "a=7\n");
    EXPECT_TRUE(Reads("a", 7));
}

TEST_F(WatchedFileData, AFileInADirectoryNotThereYetIsLookedAtUntilItCanBeWatched)
{
    const auto directory = test::TestDirectory() / "later";
    const auto inside = directory / "values.txt";
    Start(inside, 10);
    EXPECT_TRUE(Eventually([&] { return log.Contains("is in a directory that is not there"); })) << log.Text();
    std::filesystem::create_directory(directory);
    Write(inside, "a=1\n");
    EXPECT_TRUE(Reads("a", 1));
    Write(inside, "a=22\n");
    EXPECT_TRUE(Reads("a", 22));
    std::filesystem::remove_all(directory); // and the directory going is followed too
    EXPECT_TRUE(Eventually([&] { return !Polled("a"); }));
    std::filesystem::create_directory(directory);
    Write(inside, "a=3\n");
    EXPECT_TRUE(Reads("a", 3));
}

TEST_F(WatchedFileData, ANewPathIsWatchedInsteadOfTheOldOne)
{
    const auto other = test::TestDirectory() / "other.txt";
    Write(file, "a=1\n");
    Write(other, "a=10\n");
    Start(file);
    ASSERT_EQ(Configure("path=" + other.string() + ";interval=3600000"), S_OK);
    Poll();
    ASSERT_EQ(Polled("a"), 10);
    Write(other, "a=11\n");
    EXPECT_TRUE(Reads("a", 11));
}

} // namespace
