// SPDX-License-Identifier: MIT
#include "plugin_test.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;

class FileDataPlugin : public test::PluginTest<IDataProvider> {
protected:
    FileDataPlugin() : PluginTest("FileData.so", u"Pixtera.FileData") {}

    ComPtr<IDataProvider>& provider = plugin;
    std::filesystem::path file = test::TestDirectory() / "feed.txt";
};

TEST_F(FileDataPlugin, OffersTheLinesOfItsFile)
{
    std::ofstream(file) << "song=Moonlight\nvolume=70\n";
    info->Configure(BString("path=" + file.string() + ";interval=250").get());
    LONG value = 0;
    provider->GetInterval(&value);
    EXPECT_EQ(value, 250);
    ASSERT_EQ(provider->Refresh(), S_OK);
    provider->GetCount(&value);
    ASSERT_EQ(value, 2);
    BString text;
    provider->GetDescription(0, text.Out());
    EXPECT_EQ(text.view(), u"File\\song");
    Variant volume;
    ASSERT_EQ(provider->GetValue(1, volume.Out()), S_OK);
    EXPECT_EQ(volume.vt, VT_R8);
    EXPECT_EQ(volume.dblVal, 70);
    EXPECT_EQ(provider->GetValue(2, volume.Out()), E_INVALIDARG);
}

TEST_F(FileDataPlugin, BadConfigurationIsReportedAndHarmless)
{
    info->Configure(BString(std::string_view("interval=-3")).get());
    LONG value = 0;
    provider->GetInterval(&value);
    EXPECT_EQ(value, 1000);
    EXPECT_TRUE(log.Contains("unusable interval"));
    EXPECT_TRUE(log.Contains("no path"));
    provider->Refresh();
    provider->GetCount(&value);
    EXPECT_EQ(value, 0);
}

TEST_F(FileDataPlugin, AVanishedFileIsReported)
{
    std::ofstream(file) << "a=1\n";
    info->Configure(BString("path=" + file.string()).get());
    provider->Refresh();
    std::filesystem::remove(file);
    provider->Refresh();
    EXPECT_TRUE(log.Contains("is gone")) << log.Text();
}

TEST_F(FileDataPlugin, AFileInPlaceOfWhichIsADirectoryIsSaidOnceWithTheReasonHoweverOftenPolled)
{
    const auto directory = test::TestDirectory() / "feed-directory.txt";
    std::filesystem::create_directory(directory);
    info->Configure(BString("path=" + directory.string() + ";interval=10").get());
    for (int poll = 0; poll < 5; ++poll)
        EXPECT_EQ(provider->Refresh(), S_OK);
    EXPECT_EQ(log.Count("cannot be read"), 1) << log.Text();
    EXPECT_TRUE(log.Contains(directory.string() + " cannot be read: it is a directory")) << log.Text();
}

} // namespace
