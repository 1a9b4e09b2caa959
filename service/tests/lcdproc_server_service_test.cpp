// SPDX-License-Identifier: MIT
// Pixtera.LCDprocServer in the service: configured as a driver, its clients' screens reach a
// display, in process and in a process of its own.
#include "service_fixture.h"

#include "managed_display.h"
#include "protocol_client.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/process_list.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/key_names.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/screen_source.h>

#include <csignal>
#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::test;

class LcdprocServerService : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        for (const char* module : {"FileDisplay.so", "LCDprocServer.so", "DispatchWrapper.so"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / module)) << module;
        port = FreePort();
        screen = (TestDirectory() / "display").string();
    }
    void TearDown() override { displays->StopAll(); }

    bool LoadWithServer(const std::string& serverAttributes = "", const std::string& options = "")
    {
        const std::string drivers =
            Driver("Pixtera.FileDisplay", "columns=20;rows=4;path=" + screen, kDisplay) +
            "<driver clsid=\"Pixtera.LCDprocServer\" configuration=\"listen=127.0.0.1:" + std::to_string(port) +
            ";display=all" + options + "\"" + serverAttributes + "/>";
        return LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *displays);
    }
    // The display's rows as UTF-8, user characters as '#' (the frame file holds them as codes
    // 8-15, one of them a line feed: the rows are read by their width in characters).
    std::string Shown()
    {
        std::ifstream in(screen + ".frame");
        std::stringstream text;
        text << in.rdbuf();
        const std::u16string file = Utf8ToUtf16(text.str());
        std::u16string rows;
        for (std::size_t row = 0; (row + 1) * 21 <= file.size(); ++row) {
            for (char16_t c : file.substr(row * 21, 20))
                rows += c >= 8 && c < 16 ? u'#' : c;
            rows += u'\n';
        }
        return Utf16ToUtf8(rows);
    }
    bool Shows(const std::string& part)
    {
        return Eventually([&] { return Shown().find(part) != std::string::npos; });
    }
    // A client with a screen of a title and a line.
    std::unique_ptr<ProtocolClient> ClientWithScreen(const std::string& title)
    {
        auto client = std::make_unique<ProtocolClient>(port);
        if (!client->connected())
            return client;
        client->Ask("hello");
        for (const std::string& line : std::vector<std::string>{
                 "screen_add s", "screen_set s -heartbeat off", "widget_add s t title",
                 "widget_set s t \"" + title + "\"", "widget_add s l string", "widget_set s l 1 2 \"from a client\""})
            client->Ask(line);
        return client;
    }

    ComPtr<DisplayManager> displays = MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, SystemClock()});
    int port = 0;
    std::string screen;
};

TEST_F(LcdprocServerService, AClientsScreenReachesTheDisplayAndTheGreetingComesBackAfterIt)
{
    ASSERT_TRUE(LoadWithServer());
    ASSERT_TRUE(Shows("Welcome  to"));
    auto client = ClientWithScreen("Load");
    EXPECT_TRUE(Shows("## Load ############\nfrom a client")) << Shown();
    client->Close();
    EXPECT_TRUE(Shows("Welcome  to")) << "its client gone, the screen goes";
}

TEST_F(LcdprocServerService, AUtf8ClientsLettersReachTheDisplayAsLetters)
{
    ASSERT_TRUE(LoadWithServer("", ";utf8=yes"));
    ASSERT_TRUE(Shows("Welcome  to"));
    ProtocolClient client(port);
    ASSERT_TRUE(client.connected());
    client.Ask("hello");
    // "Съешь же ещё этих мягких": twenty-four letters and spaces, forty-four bytes; the row shows
    // the first twenty.
    for (const std::string& line : std::vector<std::string>{
             "screen_add s", "screen_set s -heartbeat off", "widget_add s w string",
             "widget_set s w 1 2 \"\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89"
             "\xD1\x91 \xD1\x8D\xD1\x82\xD0\xB8\xD1\x85 \xD0\xBC\xD1\x8F\xD0\xB3\xD0\xBA\xD0\xB8\xD1\x85\""})
        EXPECT_EQ(client.Ask(line), "success") << line;
    EXPECT_TRUE(Shows("\n\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89\xD1\x91 "
                      "\xD1\x8D\xD1\x82\xD0\xB8\xD1\x85 \xD0\xBC\xD1\x8F\n"))
        << "twenty cells of the row, a letter each\n"
        << Shown();
}

TEST_F(LcdprocServerService, InAProcessOfItsOwnItIsAskedForScreensAndKeepsItsDisplaysAcrossHosts)
{
    ASSERT_TRUE(LoadWithServer(" DispatchWrap=\"yes\""));
    auto client = ClientWithScreen("Hosted");
    ASSERT_TRUE(client->connected());
    EXPECT_TRUE(Shows("## Hosted ##########")) << Shown();
    const auto hosts = ChildrenOf(getpid());
    ASSERT_EQ(hosts.size(), 1u);
    kill(hosts[0], SIGKILL);
    EXPECT_TRUE(Shows("Welcome  to")) << "its screens went with its host";
    // The next host serves the same display: it was handed it again.
    std::unique_ptr<ProtocolClient> again;
    ASSERT_TRUE(Eventually([&] {
        again = ClientWithScreen("Again");
        return again->connected();
    }));
    EXPECT_TRUE(Shows("## Again ###########")) << Shown();
}

TEST_F(LcdprocServerService, TheWrapperForwardsScreensAndKeysButNoSink)
{
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"DispatchWrapper.core", &clsid), S_OK);
    ComPtr<IUnknown> wrapper;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, wrapper.OutVoid()), S_OK);
    ASSERT_EQ(wrapper.As<IDispatchWrapper>()->Wrap(BString(std::string_view("Pixtera.LCDprocServer")).get()), S_OK);
    ASSERT_EQ(wrapper.As<IPluginInfo>()->Configure(
                  BString(std::string_view("listen=127.0.0.1:" + std::to_string(port) + ";utf8=yes")).get()),
              S_OK);
    const auto source = wrapper.As<IScreenSource>();
    ASSERT_TRUE(source);
    EXPECT_EQ(source->AttachDisplay(3, 16, 2, 5, 8), S_OK);
    EXPECT_EQ(source->Advise(nullptr), E_NOTIMPL);
    ProtocolClient client(port);
    EXPECT_EQ(client.Ask("hello"), "connect LCDproc 0.5.9 protocol 0.3 lcd wid 16 hgt 2 cellwid 5 cellhgt 8");
    client.Ask("screen_add s");
    client.Ask("widget_add s w string");
    client.Ask("widget_set s w 1 2 \"hi \xCE\xA9\xF0\x9D\x84\x9E\"");
    BString list;
    ASSERT_EQ(source->GetScreens(3, list.Out()), S_OK);
    LONG id = 0;
    std::istringstream(list.utf8()) >> id;
    BString frame;
    BString characters;
    ASSERT_EQ(source->RenderScreen(3, id, 0, frame.Out(), characters.Out()), S_OK);
    EXPECT_EQ(frame.view().substr(16, 6), u"hi Ω\U0001D11E") << "code points cross as they are, a pair too";
    EXPECT_EQ(characters.view().size(), 8u) << "the heartbeat's heart";
    EXPECT_EQ(source->ScreenShown(3, id, 0), S_OK);
    EXPECT_EQ(client.Line(), "listen s");
    const auto keys = wrapper.As<IScreenKeys>();
    ASSERT_TRUE(keys) << "keys cross to the host";
    EXPECT_EQ(client.Ask("client_add_key Up"), "success");
    EXPECT_EQ(keys->ScreenKey(3, id, kKeyUp), S_OK);
    EXPECT_EQ(client.Line(), "key Up");
    EXPECT_EQ(keys->ScreenKey(3, id, kKeyDown), S_FALSE) << "a key no client holds is the service's";
    EXPECT_FALSE(wrapper.As<IDisplayDriver>()) << "what the hosted object lacks is not answered";
}

// A display with a menu of its own and a client that reserves Enter: one decision for each key,
// the client's while its screen shows, the menu's once it is gone.
TEST_F(LcdprocServerService, AReservedKeyIsTheClientsWhileItsScreenShowsAndTheMenusAfter)
{
    std::ofstream(TestDirectory() / "panel.pxm")
        << R"(<Menu Title="Panel"><Submenu Label="Sub"><Entry Label="In" Action="BacklightToggle"/></Submenu></Menu>)";
    const std::string drivers =
        Driver("Pixtera.FileDisplay", "columns=20;rows=4;path=" + screen,
               R"(<input active="yes"/><display active="yes"><menu Filename="panel.pxm"/></display>)") +
        "<driver clsid=\"Pixtera.LCDprocServer\" configuration=\"listen=127.0.0.1:" + std::to_string(port) +
        ";display=all\"/>";
    ASSERT_TRUE(LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *displays));
    auto client = ClientWithScreen("Mine");
    ASSERT_EQ(client->Ask("client_add_key Enter"), "success");
    ASSERT_TRUE(Shows("## Mine ############")) << Shown();
    std::ofstream(screen + ".keys", std::ios::app) << "Enter\n";
    std::optional<std::string> line;
    do
        line = client->Line();
    while (line && (line->starts_with("listen") || line->starts_with("ignore")));
    EXPECT_EQ(line, "key Enter");

    client->Ask("screen_del s");
    ASSERT_TRUE(Shows("Welcome  to")) << Shown();
    std::ofstream(screen + ".keys", std::ios::app) << "Enter\n";
    // Had the first Enter opened the menu too, this one would have opened its submenu.
    EXPECT_TRUE(Shows("Panel")) << Shown();
    EXPECT_TRUE(Shows(">Sub")) << Shown();
}

} // namespace
