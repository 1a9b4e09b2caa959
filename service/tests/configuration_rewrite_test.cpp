// SPDX-License-Identifier: MIT
// pixtera2.xml belongs to the user: loading it and writing queues back must keep what the service
// does not own, refuse files it cannot read faithfully, and never write into the wrong driver.

#include "captured_log.h"
#include "service_fixture.h"

#include <pixtera/platform/event_log.h>

#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;

class ConfigurationRewrite : public ServiceFixture {
protected:
    std::filesystem::path Write(const std::string& content, const std::string& name = "pixtera2.xml")
    {
        const auto path = TestDirectory() / name;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
        return path;
    }

    bool LoadFile(const std::filesystem::path& path)
    {
        return LoadConfigurationFile(path, *driverManager, *dataManager, *displayManager);
    }

    // The first display, stopped so that its queue can be edited.
    ComPtr<ManagedDisplay> FirstDisplay()
    {
        auto display = displayManager->Displays().at(0);
        display->StopOutput();
        return display;
    }

    LONG QueueCount(ManagedDisplay& display)
    {
        LONG count = -1;
        display.QueueCount(&count);
        return count;
    }

    std::string Log() const { return log.Text(); }

    CapturedLog log;
};

const std::string kRecording = R"(<driver clsid="PixteraTest.RecordingDisplay" configuration="columns=20;rows=4">)";

TEST_F(ConfigurationRewrite, AQueueEditKeepsCommentsTheDeclarationAndUnknownNodes)
{
    const auto path = Write("<?xml version=\"1.0\"?>\n<!-- my displays -->\n<PixteraConfiguration version=\"7\">\n"
                            "<drivers>\n"
                            "<!-- <driver clsid=\"Later.Display\">\n\t<display active=\"yes\"/>\n</driver> -->\n" +
                            kRecording +
                            "<display active=\"yes\" note=\"mine\"><queue><!-- first -->"
                            "<queueitem Filename=\"a.pxd\" Runtime=\"5\" colour=\"red\"/></queue><extra/></display>"
                            "</driver></drivers><future setting=\"1\"/></PixteraConfiguration>");
    ASSERT_TRUE(LoadFile(path));
    auto display = FirstDisplay();
    ASSERT_EQ(display->AddQueueItem(BString(std::string_view("b.pxd")).get(), 7), S_OK);
    const std::string text = FileText(path);
    for (const char* kept : {"<?xml version=\"1.0\"?>", "<!-- my displays -->",
                             "<!-- <driver clsid=\"Later.Display\">\n\t<display active=\"yes\"/>\n</driver> -->",
                             "version=\"7\"", "note=\"mine\"", "<!-- first -->", "colour=\"red\"", "<extra/>",
                             "<future setting=\"1\"/>", "<queueitem Filename=\"b.pxd\" Runtime=\"7\"/>"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << " is gone from\n" << text;
}

TEST_F(ConfigurationRewrite, TheLoadDoesNotRewriteAndUnreadableEntriesStayInTheFile)
{
    const std::string original = "<PixteraConfiguration><drivers>" + kRecording +
                                 "<display active=\"yes\"><queue>"
                                 "<queueitem Filename=\"blank-before.pxd\" Runtime=\" 5\"/>"
                                 "<queueitem Filename=\"plus.pxd\" Runtime=\"+5\"/>"
                                 "<queueitem Filename=\"blank-after.pxd\" Runtime=\"5 \"/>"
                                 "<queueitem Filename=\"words.pxd\" Runtime=\"five\"/>"
                                 "<queueitem Filename=\"no-runtime.pxd\"/>"
                                 "</queue></display></driver></drivers></PixteraConfiguration>";
    const auto path = Write(original);
    ASSERT_TRUE(LoadFile(path));
    EXPECT_EQ(FileText(path), original) << "nothing changed, nothing written";
    auto display = FirstDisplay();
    ASSERT_EQ(QueueCount(*display), 3) << "blanks and a sign are read as numbers are everywhere";
    for (LONG i = 0; i < 3; ++i) {
        LONG seconds = 0;
        display->QueueDuration(i, &seconds);
        EXPECT_EQ(seconds, 5);
    }
    ASSERT_EQ(display->DeleteQueueItem(1), S_OK);
    const std::string text = FileText(path);
    EXPECT_EQ(text.find("plus.pxd"), std::string::npos);
    EXPECT_NE(text.find("<queueitem Filename=\"words.pxd\" Runtime=\"five\"/>"), std::string::npos) << text;
    EXPECT_NE(text.find("<queueitem Filename=\"no-runtime.pxd\"/>"), std::string::npos) << text;
    EXPECT_NE(Log().find("not shown"), std::string::npos) << "skipped entries are reported";
}

TEST_F(ConfigurationRewrite, AFileThatIsNotUtf8IsReportedWithItsLineAndLeftAlone)
{
    const std::string original =
        "<PixteraConfiguration><drivers>\n" + kRecording +
        "<display active=\"yes\"><queue>\n<queueitem Filename=\"/designs/caf\xE9.pxd\" Runtime=\"5\"/>"
        "</queue></display></driver></drivers></PixteraConfiguration>";
    const auto path = Write(original);
    ASSERT_TRUE(LoadFile(path));
    EXPECT_EQ(driverManager->Size(), 0) << "no driver from a file that cannot be read faithfully";
    EXPECT_NE(Log().find("line 3"), std::string::npos) << Log();
    EXPECT_NE(Log().find("UTF-8"), std::string::npos) << Log();
    EXPECT_EQ(FileText(path), original);
}

TEST_F(ConfigurationRewrite, ADeclaredLatin1FileIsReadAndWrittenInLatin1)
{
    const auto path =
        Write("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><PixteraConfiguration><drivers>" + kRecording +
              "<display active=\"yes\"><queue><queueitem Filename=\"/designs/caf\xE9.pxd\" Runtime=\"5\"/>"
              "</queue></display></driver></drivers></PixteraConfiguration>");
    ASSERT_TRUE(LoadFile(path));
    auto display = FirstDisplay();
    BString file;
    ASSERT_EQ(display->QueueFile(0, file.Out()), S_OK);
    EXPECT_EQ(file.view(), u"/designs/caf\u00e9.pxd");
    ASSERT_EQ(display->SetQueueDuration(0, 6), S_OK);
    const std::string text = FileText(path);
    EXPECT_NE(text.find("encoding=\"ISO-8859-1\""), std::string::npos);
    EXPECT_NE(text.find("caf\xE9.pxd\" Runtime=\"6\""), std::string::npos) << text;
}

TEST_F(ConfigurationRewrite, ASymlinkedFileStaysALinkAndItsTargetGetsTheEdit)
{
    const auto target = Write("<PixteraConfiguration><drivers>" + kRecording +
                                  "<display active=\"yes\"/></driver></drivers></PixteraConfiguration>",
                              "real.xml");
    const auto link = TestDirectory() / "pixtera2.xml";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target.filename(), link);
    ASSERT_TRUE(LoadFile(link));
    ASSERT_EQ(FirstDisplay()->AddQueueItem(BString(std::string_view("a.pxd")).get(), 5), S_OK);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(FileText(target).find("a.pxd"), std::string::npos);
}

TEST_F(ConfigurationRewrite, AnOutsideEditAboveTheDriverDoesNotRedirectItsQueue)
{
    const std::string other = R"(<driver clsid="Pixtera.Other" configuration="x"><display active="yes"><queue>)"
                              R"(<queueitem Filename="theirs.pxd" Runtime="3"/></queue></display></driver>)";
    const auto path = Write("<PixteraConfiguration><drivers>" + kRecording +
                            "<display active=\"yes\"/></driver></drivers></PixteraConfiguration>");
    ASSERT_TRUE(LoadFile(path));
    auto display = FirstDisplay();
    Write("<PixteraConfiguration><drivers>" + other + kRecording +
          "<display active=\"yes\"/></driver></drivers></PixteraConfiguration>");
    ASSERT_EQ(display->AddQueueItem(BString(std::string_view("mine.pxd")).get(), 4), S_OK);
    std::string text = FileText(path);
    EXPECT_NE(text.find("theirs.pxd"), std::string::npos) << "the other driver's queue is kept\n" << text;
    EXPECT_GT(text.find("mine.pxd"), text.find("PixteraTest.RecordingDisplay")) << text;

    // Two elements that could be ours: refused, untouched.
    const std::string twice = "<PixteraConfiguration><drivers>" + other + kRecording +
                              "<display active=\"yes\"/></driver>" + kRecording +
                              "<display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    Write(twice);
    EXPECT_EQ(display->AddQueueItem(BString(std::string_view("more.pxd")).get(), 4), E_FAIL);
    EXPECT_EQ(FileText(path), twice);
}

TEST_F(ConfigurationRewrite, AQueuedDesignThatDoesNotExistIsAcceptedWithAWarning)
{
    const auto path = Write("<PixteraConfiguration><drivers>" + kRecording +
                            "<display active=\"yes\"/></driver></drivers></PixteraConfiguration>");
    ASSERT_TRUE(LoadFile(path));
    auto display = FirstDisplay();
    const auto missing = TestDirectory() / "later.pxd";
    EXPECT_EQ(display->AddQueueItem(BString(std::string_view(missing.string())).get(), 5), S_OK);
    EXPECT_EQ(QueueCount(*display), 1);
    EXPECT_NE(Log().find("The design " + missing.string() + " does not exist (yet)"), std::string::npos) << Log();
}

TEST_F(ConfigurationRewrite, ADirectoryIsReportedAsOne)
{
    const auto directory = TestDirectory() / "pixtera2.xml";
    std::filesystem::remove(directory);
    std::filesystem::create_directory(directory);
    EXPECT_TRUE(LoadFile(directory));
    EXPECT_NE(Log().find("is a directory"), std::string::npos) << Log();
    EXPECT_EQ(driverManager->Size(), 0);
}

} // namespace
