// SPDX-License-Identifier: MIT
#include "plugin_test.h"
#include "recording_key_sink.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/unique_fd.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/plugin_module.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

namespace {

using namespace pixtera;

class FileDisplayTest : public test::PluginTest<IDisplayDriver> {
protected:
    FileDisplayTest() : PluginTest("FileDisplay.so", u"Pixtera.FileDisplay") {}

    LONG Get(HRESULT (STDMETHODCALLTYPE IDisplayDriver::*getter)(LONG*))
    {
        LONG value = -1;
        EXPECT_EQ(((*display).*getter)(&value), S_OK);
        return value;
    }

    ComPtr<IDisplayDriver>& display = plugin;
    std::filesystem::path path = test::TestDirectory() / "out.jsonl";
};

TEST_F(FileDisplayTest, ConfigurationSetsTheGeometry)
{
    Configure("columns=16; rows=2 ;cellwidth=6;cellheight=9;path=" + path.string());
    EXPECT_EQ(Get(&IDisplayDriver::GetColumns), 16);
    EXPECT_EQ(Get(&IDisplayDriver::GetRows), 2);
    EXPECT_EQ(Get(&IDisplayDriver::GetCharWidth), 6);
    EXPECT_EQ(Get(&IDisplayDriver::GetCharHeight), 9);
    EXPECT_EQ(Get(&IDisplayDriver::GetPixelWidth), 96);
    EXPECT_EQ(Get(&IDisplayDriver::GetPixelHeight), 18);
    EXPECT_EQ(log.Text(), "");
    BString text;
    ASSERT_EQ(info->GetConfiguration(text.Out()), S_OK);
    EXPECT_EQ(text.utf8(), "columns=16; rows=2 ;cellwidth=6;cellheight=9;path=" + path.string());
}

TEST_F(FileDisplayTest, BadValuesFallBackToDefaultsWithAMessage)
{
    Configure("columns=twenty;rows=-4;cellwidth=999999999999;garbage;path=" + path.string());
    EXPECT_EQ(Get(&IDisplayDriver::GetColumns), 20);
    EXPECT_EQ(Get(&IDisplayDriver::GetRows), 4);
    EXPECT_EQ(Get(&IDisplayDriver::GetCharWidth), 5);
    EXPECT_TRUE(log.Contains("defaults are used")) << log.Text();
}

TEST_F(FileDisplayTest, WithoutAPathNothingIsWrittenAndNothingBreaks)
{
    Configure("columns=20");
    EXPECT_TRUE(log.Contains("no path"));
    EXPECT_EQ(display->Write(BString(std::u16string_view(u"x")).get()), S_OK);
}

TEST_F(FileDisplayTest, CallsBecomeJsonLinesAndTheFrameFileFollows)
{
    Configure("columns=4;rows=2;path=" + path.string());
    const char16_t frame[] = {u'A', u'"', u'\\', 8, u'\u00E9', u'\u20AC', 0, u'z'};
    BSTR text = SysAllocStringLen(frame, 8);
    ASSERT_EQ(display->Write(text), S_OK);
    SysFreeString(text);
    display->SetBackground(BString(std::u16string_view(u"/a \"b\".png")).get());
    display->SetCustomChar(2, 31, 31, 31, 0, 0, 0, 0, 0);

    std::istringstream lines(test::FileText(path));
    std::vector<std::string> operations;
    for (std::string line; std::getline(lines, line);) {
        ASSERT_EQ(line.rfind("{\"t\":", 0), 0u) << line;
        operations.push_back(line.substr(line.find("\"op\"")));
    }
    EXPECT_EQ(operations,
              (std::vector<std::string>{"\"op\":\"Write\",\"frame\":\"A\\\"\\\\\\u0008é€\\u0000z\"}",
                                        "\"op\":\"SetBackground\",\"file\":\"/a \\\"b\\\".png\"}",
                                        "\"op\":\"SetCustomChar\",\"code\":2,\"rows\":[31,31,31,0,0,0,0,0]}"}));
    EXPECT_EQ(test::FileText(path.string() + ".frame"), std::string("A\"\\\x08\né€") + '\0' + "z\n");
}

// Whether the display's frame file is linked, and since when (epoch seconds) it is not.
std::pair<bool, LONGLONG> LinkOf(IDisplayDriver& display)
{
    ComPtr<IDisplayLinkState> link;
    EXPECT_EQ(display.QueryInterface(IID_IDisplayLinkState, link.OutVoid()), S_OK);
    VARIANT_BOOL linked = 2;
    LONGLONG since = -1;
    if (link) {
        EXPECT_EQ(link->GetLinkState(&linked, &since), S_OK);
    }
    return {linked == VARIANT_TRUE, since};
}

LONGLONG EpochSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST_F(FileDisplayTest, ItsLinkIsLostWhileTheFrameFileCannotBeWrittenAndBackWithTheLastFrame)
{
    EXPECT_EQ(LinkOf(*display), std::make_pair(false, LONGLONG{0})) << "no file yet: never linked";
    const auto directory = test::TestDirectory() / "screen";
    const auto away = test::TestDirectory() / "screen-away";
    std::filesystem::create_directories(directory);
    const auto file = directory / "out.jsonl";
    Configure("columns=5;rows=1;path=" + file.string());
    EXPECT_EQ(LinkOf(*display), std::make_pair(true, LONGLONG{0}));
    ASSERT_EQ(display->Write(BString(std::string_view("first")).get()), S_OK);
    EXPECT_EQ(test::FileText(file.string() + ".frame"), "first\n");

    const LONGLONG before = EpochSeconds();
    std::filesystem::rename(directory, away);
    const auto [linked, since] = LinkOf(*display);
    EXPECT_FALSE(linked) << "noticed without a frame written";
    EXPECT_GE(since, before);
    EXPECT_LE(since, EpochSeconds());
    ASSERT_EQ(display->Write(BString(std::string_view("later")).get()), S_OK);
    EXPECT_EQ(LinkOf(*display), std::make_pair(false, since)) << "the outage keeps its start";
    EXPECT_EQ(log.Count("cannot be written"), 1) << log.Text();

    std::filesystem::rename(away, directory);
    EXPECT_EQ(LinkOf(*display), std::make_pair(true, LONGLONG{0}));
    EXPECT_EQ(test::FileText(file.string() + ".frame"), "later\n") << "the frame missed is written when it is back";
    EXPECT_TRUE(log.Contains("is written again")) << log.Text();

    ASSERT_EQ(display->Write(BString(std::string_view("again")).get()), S_OK);
    EXPECT_EQ(test::FileText(file.string() + ".frame"), "again\n");
    EXPECT_EQ(LinkOf(*display), std::make_pair(true, LONGLONG{0}));
    Configure("columns=5;rows=1");
    EXPECT_EQ(LinkOf(*display), std::make_pair(false, LONGLONG{0})) << "without a file there is no link";
}

} // namespace

namespace {

TEST_F(FileDisplayTest, LinksAndOtherUsersFilesPlantedUnderItsNamesAreNeverWrittenThrough)
{
    const auto dir = test::TestDirectory();
    std::ofstream(dir / "victim-log") << "keep\n";
    std::ofstream(dir / "victim-frame") << "keep\n";
    std::filesystem::create_symlink(dir / "victim-log", dir / "lcd");
    std::filesystem::create_symlink(dir / "victim-frame", dir / "lcd.frame.tmp");
    Configure("columns=4;rows=1;path=" + (dir / "lcd").string());
    EXPECT_TRUE(log.Contains("is a symbolic link")) << log.Text();
    std::filesystem::remove(dir / "lcd");
    Configure("columns=4;rows=1;path=" + (dir / "lcd").string());
    ASSERT_EQ(display->Write(BString(u"ABCD").get()), S_OK);
    EXPECT_EQ(test::FileText(dir / "victim-log"), "keep\n");
    EXPECT_EQ(test::FileText(dir / "victim-frame"), "keep\n") << "the planted temporary name is replaced, not followed";
    EXPECT_EQ(test::FileText(dir / "lcd.frame"), "ABCD\n");
    EXPECT_EQ(std::filesystem::status(dir / "lcd").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    if (geteuid() != 0)
        GTEST_SKIP() << "another user's file needs root to make";
    std::ofstream(dir / "theirs") << "theirs\n";
    ASSERT_EQ(chown((dir / "theirs").c_str(), 65534, 65534), 0);
    log.Clear();
    Configure("columns=4;rows=1;path=" + (dir / "theirs").string());
    EXPECT_TRUE(log.Contains("is not a regular file of this user")) << log.Text();
    ASSERT_EQ(display->Write(BString(u"ABCD").get()), S_OK);
    EXPECT_EQ(test::FileText(dir / "theirs"), "theirs\n");
}

} // namespace

namespace {

using test::Eventually;
using test::RecordingKeySink;

class FileDisplayKeys : public FileDisplayTest {
protected:
    void SetUp() override
    {
        FileDisplayTest::SetUp();
        ASSERT_EQ(display.As<IDisplayInput>()->Advise(sink.get()), S_OK);
    }

    bool KeysAre(const std::vector<std::string>& expected)
    {
        return Eventually([&] { return sink->keys() == expected; });
    }

    // A writer on the FIFO once its reader has it open (before that, opening fails).
    UniqueFd FifoWriter()
    {
        UniqueFd writer;
        Eventually([&] {
            writer.reset(open(keys.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
            return static_cast<bool>(writer);
        });
        return writer;
    }

    ComPtr<RecordingKeySink> sink = MakeComObject<RecordingKeySink>();
    std::filesystem::path keys = path.string() + ".keys";
};

TEST_F(FileDisplayKeys, KeyNamesFromAFifoArriveAndNonsenseIsSkippedWithOneMessage)
{
    ASSERT_EQ(mkfifo(keys.c_str(), 0600), 0);
    Configure("path=" + path.string());
    UniqueFd writer = FifoWriter();
    ASSERT_TRUE(writer);
    ASSERT_TRUE(WriteAll(writer.get(),
                         "Up\n  f2 \r\nRaw:0x41\nbogus\nPageUp\n" + std::string(5000, 'x') + "\nRaw:0x10000\nEnter\n"));
    EXPECT_TRUE(KeysAre({"Up", "F2", "Raw:0x41", "Enter"})) << log.Text();
    EXPECT_TRUE(log.Contains("names a key there is not: \"bogus\"")) << log.Text();
    EXPECT_FALSE(log.Contains("PageUp")) << "said once: " << log.Text();
    EXPECT_TRUE(log.Contains("longer than 64 bytes")) << log.Text();

    // The writer goes; the next one is read too.
    writer.reset();
    writer = FifoWriter();
    ASSERT_TRUE(writer);
    ASSERT_TRUE(WriteAll(writer.get(), "Escape\n"));
    EXPECT_TRUE(KeysAre({"Up", "F2", "Raw:0x41", "Enter", "Escape"}));
}

TEST_F(FileDisplayKeys, ANonsenseLineIsQuotedInTheLogPrintably)
{
    ASSERT_EQ(mkfifo(keys.c_str(), 0600), 0);
    Configure("path=" + path.string());
    UniqueFd writer = FifoWriter();
    ASSERT_TRUE(writer);
    ASSERT_TRUE(WriteAll(writer.get(), "\x1b[2J\xff\x7f"
                                       "bogus\rEnter\nEnter\n"));
    EXPECT_TRUE(KeysAre({"Enter"})) << log.Text();
    EXPECT_TRUE(log.Contains("names a key there is not: \"?[2J??bogus?Enter\"")) << log.Text();
    EXPECT_FALSE(log.Contains("\x1b")) << log.Text();
    EXPECT_FALSE(log.Contains("\xff")) << log.Text();
}

TEST_F(FileDisplayKeys, AFileIsFollowedFromItsEndAndFromTheStartWhenMadeAgain)
{
    std::ofstream(keys) << "Left\n";
    Configure("path=" + path.string());
    std::ofstream(keys, std::ios::app) << "Right\nDo";
    std::ofstream(keys, std::ios::app) << "wn\n";
    EXPECT_TRUE(KeysAre({"Right", "Down"})) << "keys written before are old; a line may come in parts";

    const auto replacement = test::TestDirectory() / "new.keys";
    std::ofstream(replacement) << "F8\n";
    std::filesystem::rename(replacement, keys);
    EXPECT_TRUE(KeysAre({"Right", "Down", "F8"}));
}

// The voluntary context switches of this process's thread named `name`: how often it slept.
std::optional<long> SleepsOf(const std::string& name)
{
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name)
            continue;
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                return std::stol(line.substr(line.find(':') + 1));
    }
    return std::nullopt;
}

TEST_F(FileDisplayKeys, FramesWrittenBesideTheKeysFileDoNotWakeItsReader)
{
    std::ofstream(keys) << "";
    Configure("columns=2;rows=1;path=" + path.string());
    std::ofstream(keys, std::ios::app) << "Up\n";
    ASSERT_TRUE(KeysAre({"Up"}));
    const auto before = SleepsOf("px-keys");
    ASSERT_TRUE(before);
    for (int i = 0; i < 50; ++i) // each replaces PATH.frame by a rename in the same directory
        ASSERT_EQ(display->Write(BString(std::to_string(10 + i)).get()), S_OK);
    // One more sleep at most: the thread may not have gone back to sleep after the key yet.
    EXPECT_LE(*SleepsOf("px-keys") - *before, 1);
}

TEST_F(FileDisplayKeys, AKeysFileMadeLaterIsFound)
{
    Configure("path=" + path.string());
    std::ofstream(keys) << "Enter\n";
    EXPECT_TRUE(KeysAre({"Enter"}));
}

TEST_F(FileDisplayKeys, ALinkOrADirectoryIsRefusedWithAMessage)
{
    const auto target = test::TestDirectory() / "elsewhere";
    std::ofstream(target) << "";
    std::filesystem::create_symlink(target, keys);
    Configure("path=" + path.string());
    EXPECT_TRUE(log.Contains("is a symbolic link")) << log.Text();

    std::filesystem::remove(keys);
    std::filesystem::create_directory(keys);
    EXPECT_TRUE(Eventually([&] { return log.Contains("is neither a FIFO nor a regular file"); })) << log.Text();
}

} // namespace
