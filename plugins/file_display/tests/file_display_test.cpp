// SPDX-License-Identifier: MIT
#include "plugin_test.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <fstream>
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
