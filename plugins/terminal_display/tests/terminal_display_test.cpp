// SPDX-License-Identifier: MIT
#include "plugin_test.h"
#include "recording_key_sink.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/unique_fd.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/plugin_module.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;

class TerminalDisplayPlugin : public test::PluginTest<IDisplayDriver> {
protected:
    TerminalDisplayPlugin() : PluginTest("TerminalDisplay.so", u"Pixtera.TerminalDisplay") {}

    ComPtr<IDisplayDriver>& display = plugin;
    std::filesystem::path output = test::TestDirectory() / "screen.txt";
};

TEST_F(TerminalDisplayPlugin, BadConfigurationGetsDefaultsAndAMessage)
{
    info->Configure(BString("columns=0;rows=x;colour=purple;tty=" + output.string()).get());
    LONG value = 0;
    display->GetColumns(&value);
    EXPECT_EQ(value, 20);
    display->GetRows(&value);
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(log.Contains("defaults are used")) << log.Text();
}

TEST_F(TerminalDisplayPlugin, WithoutATerminalFramesArePrintedAsText)
{
    info->Configure(BString("columns=3;rows=1;tty=" + output.string()).get());
    display->SetCustomChar(0, 31, 31, 31, 31, 31, 31, 31, 31);
    const char16_t frame[] = {u'a', 8, u'b'};
    BSTR text = SysAllocStringLen(frame, 3);
    display->Write(text);
    SysFreeString(text);
    std::ifstream in(output);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "+---+\n|a\u2588b|\n+---+\n");
}

TEST_F(TerminalDisplayPlugin, ConfiguredAnotherTerminalItDrawsThere)
{
    const auto other = test::TestDirectory() / "other.txt";
    info->Configure(BString("columns=2;rows=1;tty=" + output.string()).get());
    ASSERT_EQ(display->Write(BString(std::u16string(u"ab")).get()), S_OK);
    info->Configure(BString("columns=2;rows=1;tty=" + other.string()).get());
    ASSERT_EQ(display->Write(BString(std::u16string(u"cd")).get()), S_OK);
    std::ifstream first(output);
    std::ifstream second(other);
    std::stringstream before;
    std::stringstream after;
    before << first.rdbuf();
    after << second.rdbuf();
    EXPECT_EQ(before.str(), "+--+\n|ab|\n+--+\n");
    EXPECT_EQ(after.str(), "+--+\n|cd|\n+--+\n");
}

TEST_F(TerminalDisplayPlugin, AFifoNobodyReadsHoldsNothingAndIsSaidOnce)
{
    const auto fifo = test::TestDirectory() / "screen.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    info->Configure(BString("columns=3;rows=1;keys=off;tty=" + fifo.string()).get());
    // Returns at all: the open does not wait for a reader that never comes.
    EXPECT_EQ(display->Write(BString(std::u16string(u"abc")).get()), S_OK);
    EXPECT_EQ(display->Write(BString(std::u16string(u"abd")).get()), S_OK);
    EXPECT_EQ(log.Count("cannot draw on " + fifo.string()), 1) << log.Text();
}

TEST_F(TerminalDisplayPlugin, TakesUnicodeFramesWithAPairOfSurrogatesAsOneCell)
{
    info->Configure(BString("columns=3;rows=1;tty=" + output.string()).get());
    const auto unicode = display.As<IDisplayUnicodeFrame>();
    ASSERT_TRUE(unicode);
    ASSERT_EQ(unicode->WriteUnicode(BString(std::u16string(u"\u0416\U0001D400z")).get()), S_OK);
    std::ifstream in(output);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "+---+\n|\u0416\U0001D400z|\n+---+\n");
}

TEST_F(TerminalDisplayPlugin, AUnicodeFramesNulIsABlankAsOnEveryModule)
{
    info->Configure(BString("columns=3;rows=1;tty=" + output.string()).get());
    const auto unicode = display.As<IDisplayUnicodeFrame>();
    ASSERT_TRUE(unicode);
    // User characters are 1-15 in a Unicode frame; a NUL from a design's text is no character.
    const char16_t frame[] = {u'a', 0, 8};
    ASSERT_EQ(unicode->WriteUnicode(BString(std::u16string(frame, 3)).get()), S_OK);
    std::ifstream in(output);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "+---+\n|a \u2588|\n+---+\n");
}

} // namespace

namespace {

using test::Eventually;
using test::RecordingKeySink;

// A pseudo-terminal for the display to draw in and read from; the test types at the master end.
class TerminalKeysPlugin : public TerminalDisplayPlugin {
protected:
    void SetUp() override
    {
        TerminalDisplayPlugin::SetUp();
        master.reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_TRUE(master);
        ASSERT_EQ(grantpt(master.get()), 0);
        ASSERT_EQ(unlockpt(master.get()), 0);
        terminal = ptsname(master.get());
        ASSERT_EQ(display.As<IDisplayInput>()->Advise(sink.get()), S_OK);
    }

    bool Type(std::string_view bytes) { return WriteAll(master.get(), bytes); }

    // Whether the terminal edits lines (as a shell leaves it) or hands over every key.
    bool EditsLines()
    {
        UniqueFd slave(open(terminal.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
        termios mode{};
        EXPECT_EQ(tcgetattr(slave.get(), &mode), 0);
        return (mode.c_lflag & ICANON) && (mode.c_lflag & ECHO);
    }

    UniqueFd master;
    std::string terminal;
    ComPtr<RecordingKeySink> sink = MakeComObject<RecordingKeySink>();
};

TEST_F(TerminalKeysPlugin, ArrowsEnterAndALoneEscapeTypedInTheTerminalArrive)
{
    ASSERT_TRUE(EditsLines());
    Configure("columns=4;rows=1;tty=" + terminal);
    EXPECT_FALSE(EditsLines()) << "every key is handed over as it is typed";
    ASSERT_TRUE(Type("\x1b[A\r\x1bOPx\x1b[1"));
    ASSERT_TRUE(Type("9~"));
    EXPECT_TRUE(Eventually([&] {
        return sink->keys() == std::vector<std::string>{"Up", "Enter", "F1", "Raw:0x78", "F8"};
    })) << testing::PrintToString(sink->keys());
    ASSERT_TRUE(Type("\x1b"));
    EXPECT_TRUE(Eventually([&] { return sink->keys().size() == 6 && sink->keys().back() == "Escape"; }))
        << "once the terminal is quiet";

    plugin.Reset();
    info.Reset();
    EXPECT_TRUE(EditsLines()) << "the terminal is left as it was found";
}

TEST_F(TerminalKeysPlugin, WithKeysOffTheTerminalIsLeftAlone)
{
    Configure("columns=4;rows=1;keys=off;tty=" + terminal);
    EXPECT_TRUE(EditsLines());
    Configure("columns=4;rows=1;keys=maybe;tty=" + terminal);
    EXPECT_TRUE(log.Contains("defaults are used")) << log.Text();
    EXPECT_FALSE(EditsLines()) << "the default takes the keys";
}

} // namespace
