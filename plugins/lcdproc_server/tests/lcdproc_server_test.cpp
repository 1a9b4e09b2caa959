// SPDX-License-Identifier: MIT
// The plug-in as clients meet it: over its socket, a scripted client for every command and
// widget, and the hostile ones.

#include "plugin_test.h"
#include "protocol_client.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/key_names.h>
#include <pixtera/sdk/screen_source.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <random>
#include <sstream>
#include <vector>

namespace {

using namespace pixtera;
using test::Eventually;
using test::ProtocolClient;

class LcdprocServer : public test::PluginTest<IScreenSource> {
protected:
    LcdprocServer() : PluginTest("LCDprocServer.so", u"Pixtera.LCDprocServer") {}

    void Start(const std::string& extra = "")
    {
        port = test::FreePort();
        ASSERT_EQ(Configure("listen=127.0.0.1:" + std::to_string(port) + extra), S_OK);
        ASSERT_EQ(plugin->AttachDisplay(0, 20, 4, 5, 8), S_OK);
    }
    std::unique_ptr<ProtocolClient> Client(bool greet = true)
    {
        auto client = std::make_unique<ProtocolClient>(port);
        EXPECT_TRUE(client->connected());
        if (greet) {
            EXPECT_EQ(client->Ask("hello"), "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 4 cellwid 5 cellhgt 8");
        }
        return client;
    }
    std::vector<std::pair<LONG, LONG>> Screens() // id, priority
    {
        BString list;
        EXPECT_EQ(plugin->GetScreens(0, list.Out()), S_OK);
        std::vector<std::pair<LONG, LONG>> screens;
        std::istringstream lines(Utf16ToUtf8(BstrView(list.get())));
        for (std::string line; std::getline(lines, line);) {
            LONG id = 0;
            LONG priority = 0;
            if (std::istringstream(line) >> id >> priority)
                screens.emplace_back(id, priority);
        }
        return screens;
    }
    // The screen's rows as the display would get them.
    std::string Frame(LONG screen, LONG timer = 0)
    {
        BString frame;
        BString characters;
        if (plugin->RenderScreen(0, screen, timer, frame.Out(), characters.Out()) != S_OK)
            return "<gone>";
        return Utf16ToAnsi(BstrView(frame.get()));
    }
    // The same as the UTF-16 the service gets.
    std::u16string Utf16Frame(LONG screen, LONG timer = 0)
    {
        BString frame;
        BString characters;
        if (plugin->RenderScreen(0, screen, timer, frame.Out(), characters.Out()) != S_OK)
            return u"<gone>";
        return std::u16string(BstrView(frame.get()));
    }

    int port = 0;
};

TEST_F(LcdprocServer, ARotationOfClientScreens)
{
    Start();
    auto client = Client();
    EXPECT_EQ(client->Ask("client_set -name Test"), "success");
    EXPECT_EQ(client->Ask("screen_add s"), "success");
    EXPECT_EQ(client->Ask("screen_set s -priority foreground -heartbeat off", 2), "success|success");
    EXPECT_EQ(client->Ask("widget_add s t title"), "success");
    EXPECT_EQ(client->Ask("widget_set s t Load"), "success");
    EXPECT_EQ(client->Ask("widget_add s l string"), "success");
    EXPECT_EQ(client->Ask("widget_set s l 1 2 {1.5 0.8 0.4}"), "success");
    const auto screens = Screens();
    ASSERT_EQ(screens.size(), 1u);
    EXPECT_EQ(screens[0].second, kScreenForeground);
    const std::string frame = Frame(screens[0].first);
    ASSERT_EQ(frame.size(), 80u);
    EXPECT_EQ(frame.substr(2, 18), " Load \x08\x08\x08\x08\x08\x08\x08\x08\x08\x08\x08\x08");
    EXPECT_EQ(frame.substr(20, 20), "1.5 0.8 0.4         ");

    EXPECT_EQ(plugin->ScreenShown(0, screens[0].first, 0), S_OK);
    EXPECT_EQ(client->Line(), "listen s");
    EXPECT_EQ(plugin->ScreenShown(0, -1, 8), S_OK);
    EXPECT_EQ(client->Line(), "ignore s");

    EXPECT_EQ(client->Ask("screen_del s"), "success");
    EXPECT_TRUE(Screens().empty());
    EXPECT_EQ(Frame(screens[0].first), "<gone>");
    client->Send("bye\n");
    EXPECT_TRUE(client->Closed());
}

TEST_F(LcdprocServer, Utf8ClientsAreShownAsTheirLetters)
{
    Start(";utf8=yes");
    auto client = Client();
    EXPECT_EQ(client->Ask("screen_add s"), "success");
    EXPECT_EQ(client->Ask("screen_set s -heartbeat off"), "success");
    EXPECT_EQ(client->Ask("widget_add s w string"), "success");
    // Twenty Greek capitals, then a letter beyond the first plane.
    EXPECT_EQ(client->Ask("widget_set s w 1 1 \"\xCE\x91\xCE\x92\xCE\x93\xCE\x94\xCE\x95\xCE\x96\xCE\x97\xCE\x98"
                          "\xCE\x99\xCE\x9A\xCE\x9B\xCE\x9C\xCE\x9D\xCE\x9E\xCE\x9F\xCE\xA0\xCE\xA1\xCE\xA3\xCE\xA4"
                          "\xCE\xA5\""),
              "success");
    EXPECT_EQ(client->Ask("widget_add s x string"), "success");
    EXPECT_EQ(client->Ask("widget_set s x 1 2 \"\xF0\x9D\x84\x9E!\""), "success");
    const auto screens = Screens();
    ASSERT_EQ(screens.size(), 1u);
    const std::u16string frame = Utf16Frame(screens[0].first);
    EXPECT_EQ(frame.substr(0, 20), u"ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥ") << "a letter a cell, the row full";
    EXPECT_EQ(frame.substr(20, 4), u"\U0001D11E! ") << "one cell, sent as its surrogate pair";
    EXPECT_EQ(frame.size(), 81u);
}

TEST_F(LcdprocServer, LatinOneClientsAreShownAsTheirLetters)
{
    Start();
    auto latin = Client();
    EXPECT_EQ(latin->Ask("screen_add s"), "success");
    EXPECT_EQ(latin->Ask("screen_set s -heartbeat off"), "success");
    EXPECT_EQ(latin->Ask("widget_add s w string"), "success");
    EXPECT_EQ(latin->Ask("widget_set s w 1 1 \"K\xE4se\""), "success");
    const auto latinScreens = Screens();
    ASSERT_EQ(latinScreens.size(), 1u);
    EXPECT_EQ(Utf16Frame(latinScreens[0].first).substr(0, 5), u"Käse ") << "a Latin-1 client's 0xE4 is ä";
}

TEST_F(LcdprocServer, EveryWidgetTypeAndItsRefusals)
{
    Start();
    auto client = Client();
    client->Ask("screen_add s");
    client->Ask("screen_set s -heartbeat off");
    const std::pair<const char*, const char*> widgets[] = {
        {"string", "1 1 abc"},
        {"title", "T"},
        {"hbar", "1 2 12"},
        {"vbar", "20 4 16"},
        {"pbar", "1 3 6 500"},
        {"icon", "10 2 ARROW_DOWN"},
        {"scroller", "5 4 9 4 h 1 \"scrolling\""},
        {"frame", "12 3 16 3 5 1 h 1"},
        {"num", "17 10"},
    };
    for (const auto& [type, data] : widgets) {
        EXPECT_EQ(client->Ask(std::string("widget_add s ") + type + " " + type), "success") << type;
        EXPECT_EQ(client->Ask(std::string("widget_set s ") + type + " " + data), "success") << type;
        EXPECT_EQ(client->Ask(std::string("widget_set s ") + type + " 1 2 3 4 5 6 7 8 9 10"),
                  "huh? Wrong number of arguments")
            << type;
    }
    EXPECT_EQ(client->Ask("widget_add s inner string -in frame"), "success");
    EXPECT_EQ(client->Ask("widget_set s inner 1 1 in"), "success");
    const auto screens = Screens();
    ASSERT_EQ(screens.size(), 1u);
    const std::string frame = Frame(screens[0].first);
    EXPECT_EQ(frame.substr(29, 1), "v") << "the icon";
    EXPECT_EQ(frame.substr(51, 2), "in") << "the frame's contents";
    EXPECT_EQ(frame.substr(64, 5), "scrol");
    EXPECT_EQ(Frame(screens[0].first, 2).substr(64, 5), "rolli") << "the scroller moves with the timer";
    EXPECT_EQ(client->Ask("widget_set s icon 1 1 NOPE"), "huh? Invalid icon name");
    EXPECT_EQ(client->Ask("widget_set s scroller 1 1 5 1 q 1 x"), "huh? Invalid direction");
    EXPECT_EQ(client->Ask("widget_add s x gadget"), "huh? Invalid widget type");
    EXPECT_EQ(client->Ask("widget_del s nope"), "huh? Invalid widget id");
    EXPECT_EQ(client->Ask("widget_del s frame"), "success");
    EXPECT_EQ(client->Ask("widget_set s inner 1 1 x"), "huh? Unknown widget id") << "it went with its frame";
}

TEST_F(LcdprocServer, TheRestOfTheProtocol)
{
    Start();
    auto early = Client(false);
    EXPECT_EQ(early->Ask("screen_add s"), "huh? Function returned error \"screen_add\"");
    auto client = Client();
    const std::pair<const char*, const char*> exchanges[] = {
        {"noop", "noop complete"},
        {"info", "Pixtera display"},
        {"backlight toggle", "success"},
        {"output 0", "success"},
        {"client_add_key -shared Up Down", "success"},
        {"client_del_key Up", "success"},
        {"menu_add_item \"\" m menu -text \"Main menu\"", "success"},
        {"menu_add_item m a action -text Run", "success"},
        {"menu_set_item m a -text \"Run it\"", "success"},
        {"menu_goto m", "success"},
        {"menu_set_main \"\"", "success"},
        {"menu_del_item \"\" m", "success"},
        {"nonsense", "huh? Invalid command \"nonsense\""},
        {"screen_add \"open", "huh? Could not parse command"},
    };
    for (const auto& [line, reply] : exchanges)
        EXPECT_EQ(client->Ask(line), reply) << line;
    EXPECT_EQ(client->Ask("sleep 1", 2), "sleeping 1 seconds|huh? ignored (not fully implemented)");
}

TEST_F(LcdprocServer, KeysAndMenuEventsReachTheClientOverItsSocket)
{
    Start();
    const auto keys = plugin.As<IScreenKeys>();
    ASSERT_TRUE(keys) << "the server takes the displays' keys";
    auto client = Client();
    EXPECT_EQ(client->Ask("client_add_key Up"), "success");
    EXPECT_EQ(client->Ask("screen_add s"), "success");
    EXPECT_EQ(client->Ask("menu_add_item \"\" go action Go"), "success");
    const LONG screen = Screens().at(0).first;
    EXPECT_EQ(keys->ScreenKey(0, -1, kKeyUp), S_FALSE) << "a design shows: the key is the service's";
    EXPECT_EQ(keys->ScreenKey(0, screen, kKeyUp), S_OK);
    EXPECT_EQ(client->Line(), "key Up");
    EXPECT_EQ(keys->ScreenKey(0, screen, kKeyRaw | 0x41), S_FALSE) << "no name a client could reserve";
    EXPECT_EQ(keys->ScreenKey(0, screen, kKeyEnter), S_OK) << "Enter opens the menu";
    ASSERT_EQ(Screens().at(0), (std::pair<LONG, LONG>{0, kScreenInput}));
    EXPECT_EQ(Frame(0).substr(20, 4), ">Go ");
    EXPECT_EQ(keys->ScreenKey(0, 0, kKeyEnter), S_OK);
    EXPECT_EQ(client->Line(), "menuevent select go");
}

TEST_F(LcdprocServer, AClientReachesNoOtherClientsScreens)
{
    Start();
    auto owner = Client();
    owner->Ask("screen_add s");
    owner->Ask("widget_add s w string");
    owner->Ask("widget_set s w 1 1 mine");
    auto other = Client();
    EXPECT_EQ(other->Ask("widget_set s w 1 1 theirs"), "huh? Unknown screen id");
    EXPECT_EQ(other->Ask("screen_del s"), "huh? Unknown screen id");
    EXPECT_EQ(other->Ask("screen_add s"), "success") << "a screen of its own by the same name";
    const auto screens = Screens();
    ASSERT_EQ(screens.size(), 2u);
    EXPECT_EQ(Frame(screens[0].first).substr(0, 4), "mine");
}

TEST_F(LcdprocServer, ListensOnLoopbackUnlessToldOtherwise)
{
    ASSERT_EQ(Configure("display=0"), S_OK);
    EXPECT_TRUE(log.Contains("listening on 127.0.0.1:13666")) << log.Text();
    EXPECT_EQ(plugin->AttachDisplay(1, 20, 4, 5, 8), S_FALSE) << "display=0 serves display 0 alone";
    EXPECT_EQ(plugin->AttachDisplay(0, 20, 4, 5, 8), S_OK);
}

TEST_F(LcdprocServer, AnOverlongLineIsRefusedAndTheClientGoesOn)
{
    Start();
    auto client = Client();
    client->Send("noop " + std::string(20000, 'x') + "\n");
    EXPECT_EQ(client->Line(), "huh? Line too long");
    EXPECT_EQ(client->Ask("noop"), "noop complete");
}

TEST_F(LcdprocServer, ClientsBeyondTheLimitAreRefusedWithOneLogLine)
{
    Start(";clients=3");
    std::vector<std::unique_ptr<ProtocolClient>> admitted;
    for (int i = 0; i < 3; ++i)
        admitted.push_back(Client());
    std::vector<std::unique_ptr<ProtocolClient>> refused;
    for (int i = 0; i < 20; ++i)
        refused.push_back(std::make_unique<ProtocolClient>(port));
    for (auto& extra : refused)
        EXPECT_TRUE(extra->Closed());
    EXPECT_EQ(log.Count("clients are connected, the most allowed"), 1);
    EXPECT_EQ(admitted[2]->Ask("noop"), "noop complete");
    admitted.pop_back();
    EXPECT_TRUE(Eventually([&] { return Client()->Ask("noop") == "noop complete"; })) << "room again";
}

// Takes every free file descriptor of the process until destroyed.
class FileDescriptorsTaken {
public:
    FileDescriptorsTaken()
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = 256;
        setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = dup(STDERR_FILENO)) >= 0;)
            taken_.push_back(fd);
    }
    ~FileDescriptorsTaken()
    {
        for (int fd : taken_)
            close(fd);
        setrlimit(RLIMIT_NOFILE, &saved_);
    }

private:
    rlimit saved_{};
    std::vector<int> taken_;
};

TEST_F(LcdprocServer, RunningOutOfFileDescriptorsRefusesAClientWithOneLogLine)
{
    Start();
    const auto before = Client();
    const int waiting = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(waiting, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    {
        const FileDescriptorsTaken none;
        ASSERT_EQ(connect(waiting, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_TRUE(Eventually([&] { return log.Contains("no file descriptor for a new client"); }));
        // Until the descriptors are back the server must not spin on the client it cannot take.
        char byte = 0;
        EXPECT_TRUE(Eventually([&] { return recv(waiting, &byte, 1, MSG_DONTWAIT) == 0; }))
            << "refused, not left hanging";
    }
    close(waiting);
    EXPECT_EQ(log.Count("no file descriptor for a new client"), 1);
    EXPECT_EQ(before->Ask("noop"), "noop complete");
    EXPECT_EQ(Client()->Ask("noop"), "noop complete") << "clients are let in again";
}

TEST_F(LcdprocServer, AClientThatNeverReadsIsDropped)
{
    Start();
    ProtocolClient deaf(port, 4096);
    std::string lines;
    for (int i = 0; i < 1000; ++i)
        lines += "noop\n";
    // Its replies fill the socket and then the server's buffers; then it goes.
    EXPECT_TRUE(Eventually([&] { return !deaf.Send(lines) || log.Contains("does not read its replies"); }));
    EXPECT_TRUE(Eventually([&] { return log.Contains("does not read its replies"); }));
    EXPECT_EQ(log.Count("does not read its replies"), 1);
    EXPECT_EQ(Client()->Ask("noop"), "noop complete") << "the others are served";
}

TEST_F(LcdprocServer, GarbageAndAClientDyingMidLineHarmNothing)
{
    Start();
    auto keeper = Client();
    keeper->Ask("screen_add kept");
    keeper->Ask("widget_add kept w string");
    keeper->Ask("widget_set kept w 1 1 stays");
    {
        ProtocolClient noisy(port);
        std::mt19937 random(7);
        std::string garbage;
        for (int i = 0; i < 20000; ++i)
            garbage += static_cast<char>(random());
        noisy.Send(garbage);
        noisy.Send("hello\nscreen_add mine\nwidget_set mine w 1 1 \"half a li");
    } // gone without its line feed
    auto flood = Client();
    flood->Ask("screen_add f");
    flood->Ask("widget_add f w string");
    std::string burst;
    for (int i = 0; i < 20000; ++i)
        burst += "widget_set f w 1 1 n" + std::to_string(i) + "\n";
    flood->Send(burst);
    EXPECT_TRUE(Eventually([&] { return Screens().size() == 2; })) << "the dead client's screen went";
    EXPECT_EQ(Frame(Screens()[0].first).substr(0, 5), "stays");
    EXPECT_TRUE(Eventually([&] { return Frame(Screens()[1].first).substr(0, 6) == "n19999"; }))
        << Frame(Screens()[1].first);
}

} // namespace
