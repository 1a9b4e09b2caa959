// SPDX-License-Identifier: MIT
// The plug-in against a real LCDd with its text driver, started on a free port for each test.

#include "child_process.h"
#include "plugin_test.h"
#include "protocol_client.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using test::Eventually;
using test::FreePort;
using namespace std::chrono_literals;

constexpr const char* kLcdd = "/usr/sbin/LCDd";
constexpr const char* kDrivers = "/usr/lib/x86_64-linux-gnu/lcdproc/";

int Listen(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 4);
    return fd;
}

// Forwards clients to LCDd, one at a time, and counts the commands they send.
class CountingProxy {
public:
    CountingProxy(int listenPort, int lcddPort) : listener_(Listen(listenPort)), lcddPort_(lcddPort)
    {
        thread_ = std::thread([this] { Run(); });
    }
    ~CountingProxy()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    int Count(const std::string& prefix)
    {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (std::size_t at = 0; (at = sent_.find(prefix, at)) != std::string::npos; at += prefix.size())
            n += at == 0 || sent_[at - 1] == '\n';
        return n;
    }
    std::string Sent()
    {
        std::lock_guard lock(mutex_);
        return sent_;
    }

private:
    // One client after another (the display's size probe comes first), each until it closes.
    void Run()
    {
        while (!stop_)
            Serve();
    }

    void Serve()
    {
        pollfd accept{listener_, POLLIN, 0};
        while (!stop_ && poll(&accept, 1, 50) <= 0) {
        }
        if (stop_)
            return;
        const int client = ::accept(listener_, nullptr, nullptr);
        const int server = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(lcddPort_));
        connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[4096];
        while (!stop_) {
            if (poll(ends, 2, 50) <= 0)
                continue;
            if (ends[0].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                {
                    std::lock_guard lock(mutex_);
                    sent_.append(buffer, static_cast<std::size_t>(n));
                }
                (void)!write(server, buffer, static_cast<std::size_t>(n));
            }
            if (ends[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = read(server, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                (void)!write(client, buffer, static_cast<std::size_t>(n));
            }
        }
        close(client);
        close(server);
    }

    int listener_;
    int lcddPort_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::string sent_;
    std::thread thread_;
};

class LcdprocDisplay : public test::PluginTest<IDisplayDriver> {
protected:
    LcdprocDisplay() : PluginTest("LCDprocDisplay.so", u"Pixtera.LCDprocDisplay") {}

    void SetUp() override
    {
        if (access(kLcdd, X_OK) != 0 || access((std::string(kDrivers) + "text.so").c_str(), R_OK) != 0)
            GTEST_SKIP() << "LCDd with its text driver is not installed (Debian package lcdproc)";
        PluginTest::SetUp();
        port = FreePort();
    }

    void StartLcdd(int at)
    {
        const auto config = test::TestDirectory() / "LCDd.conf";
        std::ofstream(config)
            << "[server]\nDriverPath=" << kDrivers << "\nDriver=text\nBind=127.0.0.1\nPort=" << at
            << "\nReportToSyslog=no\nForeground=yes\nServerScreen=no\nWaitTime=1\n[text]\nSize=20x4\n";
        lcdd = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{"/usr/bin/stdbuf", "-oL", kLcdd, "-c", config.string(), "-f"});
        ASSERT_TRUE(lcdd->WaitForOutput("+--------------------+")) << lcdd->output();
    }

    void StopLcdd()
    {
        lcdd->Signal(SIGTERM);
        lcdd->Wait();
    }

    void Write(const std::string& frame) { ASSERT_EQ(display->Write(BString(AnsiToUtf16(frame)).get()), S_OK); }

    // LCDd's text driver prints every frame it shows; waits (ten seconds at most) for the row.
    bool Shows(std::string row)
    {
        row.resize(20, ' ');
        return lcdd->WaitForOutput("|" + row + "|");
    }

    static std::string Rows(const std::string& a, const std::string& b, const std::string& c, const std::string& d)
    {
        auto pad = [](std::string s) {
            s.resize(20, ' ');
            return s;
        };
        return pad(a) + pad(b) + pad(c) + pad(d);
    }

    ComPtr<IDisplayDriver>& display = plugin;
    std::unique_ptr<test::ChildProcess> lcdd;
    int port = 0;
};

TEST_F(LcdprocDisplay, FramesAppearOnLcddAndOnlyChangedRowsAreSent)
{
    StartLcdd(port);
    const int proxyPort = FreePort();
    CountingProxy proxy(proxyPort, port);
    Configure("port=" + std::to_string(proxyPort) + ";columns=16");
    Write(Rows("Hello from", "Pixtera \xe9", "", "row four"));
    EXPECT_TRUE(Shows("Hello from")) << lcdd->output();
    EXPECT_TRUE(Shows("Pixtera \xe9")) << "bytes of the display code page pass through";
    LONG columns = 0;
    display->GetColumns(&columns);
    EXPECT_EQ(columns, 20) << "once connected, LCDd's geometry counts";
    ASSERT_TRUE(Eventually([&] { return proxy.Count("widget_set pixtera r") == 4; }));

    Write(Rows("Hello from", "Pixtera \xe9", "changed", "row four"));
    EXPECT_TRUE(Shows("changed"));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(proxy.Count("widget_set pixtera r"), 5) << proxy.Sent();
    EXPECT_EQ(proxy.Count("widget_set pixtera r1 "), 1) << "the unchanged first row went once";
}

TEST_F(LcdprocDisplay, BarsBecomeHbars)
{
    StartLcdd(port);
    const int proxyPort = FreePort();
    CountingProxy proxy(proxyPort, port);
    Configure("port=" + std::to_string(proxyPort));
    Write(Rows("CPU", std::string(6, '\x08'), "", ""));
    ASSERT_TRUE(Eventually([&] { return proxy.Count("widget_set pixtera b2_0 1 2 30") == 1; })) << proxy.Sent();
    EXPECT_EQ(proxy.Count("widget_add pixtera b2_0 hbar"), 1);
    // The text driver draws a bar as dashes (rounding the last cell up).
    EXPECT_TRUE(lcdd->WaitForOutput("|------")) << lcdd->output();
}

TEST_F(LcdprocDisplay, AfterLcddRestartsTheCurrentFrameReappears)
{
    StartLcdd(port);
    Configure("port=" + std::to_string(port));
    Write(Rows("persistent", "", "", ""));
    ASSERT_TRUE(Shows("persistent"));
    StopLcdd();
    StartLcdd(port);
    EXPECT_TRUE(Shows("persistent")) << "resent after reconnecting, without a new Write";
}

TEST_F(LcdprocDisplay, WithoutLcddNothingBlocksAndTheConfigurationGivesTheGeometry)
{
    // A server that accepts and never answers: the handshake would hang a caller.
    const int silent = Listen(port);
    Configure("port=" + std::to_string(port) + ";columns=16;rows=2");
    LONG value = 0;
    display->GetColumns(&value);
    EXPECT_EQ(value, 16);
    display->GetRows(&value);
    EXPECT_EQ(value, 2);
    Write(Rows("nobody listens", "", "", ""));
    Write(Rows("still nobody", "", "", ""));
    close(silent);

    StartLcdd(port);
    EXPECT_TRUE(Shows("still nobody")) << "the newest frame is shown once LCDd is there";
}

TEST_F(LcdprocDisplay, ConfigureLearnsLcddsSizeBeforeTheGeometryIsAskedAndSaysSo)
{
    log.Clear();
    StartLcdd(port);
    Configure("port=" + std::to_string(port) + ";columns=16;rows=2");
    LONG value = 0;
    display->GetColumns(&value);
    EXPECT_EQ(value, 20) << "right after Configure, before any frame";
    display->GetRows(&value);
    EXPECT_EQ(value, 4);
    EXPECT_EQ(
        log.Count("LCDd's display is 20x4, the configuration says 16x2; using 20x4 (set columns=20;rows=4 to match)"),
        1)
        << log.Text();
}

TEST_F(LcdprocDisplay, AnOutageIsLoggedOnceWithItsReasonAndTheReturnOnce)
{
    log.Clear();
    Configure("port=" + std::to_string(port));
    Write(Rows("waiting", "", "", ""));
    ASSERT_TRUE(Eventually([&] { return log.Count("cannot reach LCDd") == 1; })) << log.Text();
    std::this_thread::sleep_for(2500ms); // two more attempts
    EXPECT_EQ(log.Count("cannot reach LCDd at 127.0.0.1:" + std::to_string(port) + ": the connection was refused"), 1)
        << log.Text();
    StartLcdd(port);
    ASSERT_TRUE(Eventually([&] { return log.Count("connected again to LCDd") == 1; })) << log.Text();
    StopLcdd();
    ASSERT_TRUE(Eventually([&] { return log.Count("closed the connection") == 1; })) << log.Text();
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(log.Count("closed the connection") + log.Count("cannot reach LCDd"), 2) << "once per outage\n"
                                                                                      << log.Text();
}

TEST_F(LcdprocDisplay, BadConfigurationGetsDefaults)
{
    Configure("port=99999;columns=wide");
    LONG value = 0;
    display->GetColumns(&value);
    EXPECT_EQ(value, 20);
}

// An LCDd that misbehaves, one client after another: one that chatters without ever answering
// the greeting, one that stays silent, one that greets and says success to everything, one that
// greets and then answers nothing, or one that greets, says success to everything and between
// its answers never stops sending empty lines.
class FakeLcdd {
public:
    enum class Manner { Chatters, Silent, Greets, Mute, Floods };
    FakeLcdd(int port, Manner manner) : listener_(Listen(port)), manner_(manner)
    {
        thread_ = std::thread([this] {
            while (!stop_)
                Serve();
        });
    }
    ~FakeLcdd()
    {
        stop_ = true;
        thread_.join();
        close(listener_);
    }
    int accepted() const { return accepted_; }
    // How many lines the clients sent that start with `prefix`.
    int Heard(const std::string& prefix) const
    {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (std::size_t at = 0; (at = heard_.find(prefix, at)) != std::string::npos; at += prefix.size())
            n += at == 0 || heard_[at - 1] == '\n';
        return n;
    }
    // The clients that closed their connection.
    int closed() const { return closed_; }

private:
    void Serve()
    {
        pollfd accept{listener_, POLLIN, 0};
        if (poll(&accept, 1, 50) <= 0)
            return;
        const int client = ::accept(listener_, nullptr, nullptr);
        ++accepted_;
        std::string heard;
        bool greeted = false;
        char buffer[4096];
        while (!stop_) {
            pollfd wait{client, POLLIN, 0};
            const int pause = manner_ == Manner::Floods ? 0 : manner_ == Manner::Chatters ? 2 : 50;
            if (poll(&wait, 1, pause) > 0) {
                const ssize_t n = read(client, buffer, sizeof buffer);
                if (n <= 0) {
                    ++closed_;
                    break;
                }
                heard.append(buffer, static_cast<std::size_t>(n));
                std::lock_guard lock(mutex_);
                heard_.append(buffer, static_cast<std::size_t>(n));
            }
            const bool greets = manner_ == Manner::Greets || manner_ == Manner::Mute || manner_ == Manner::Floods;
            for (std::size_t end; greets && (end = heard.find('\n')) != std::string::npos;) {
                const bool hello = heard.rfind("hello", 0) == 0;
                heard.erase(0, end + 1);
                if (hello)
                    greeted = Say(client, "connect LCDproc 0.5.9 protocol 0.4 lcd wid 20 hgt 4 cellwid 5 cellhgt 8\n");
                else if (manner_ != Manner::Mute)
                    Say(client, "success\n");
            }
            if (manner_ == Manner::Chatters)
                (void)!write(client, "listen pixtera\n", 15);
            if (manner_ == Manner::Floods && greeted)
                Say(client, Flood());
        }
        close(client);
    }

    // Everything, unless the client goes or does not read for a while.
    bool Say(int client, const std::string& text)
    {
        for (std::size_t done = 0; done < text.size();) {
            pollfd room{client, POLLOUT, 0};
            if (poll(&room, 1, 50) <= 0)
                return false;
            const ssize_t n = send(client, text.data() + done, text.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno != EAGAIN)
                return false;
            done += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
        }
        return true;
    }
    static const std::string& Flood()
    {
        static const std::string flood = [] {
            // Empty lines: the most lines for the bytes, so that the client never finds the
            // socket empty while the flood goes on.
            return std::string(256 * 1024, '\n');
        }();
        return flood;
    }

    int listener_;
    Manner manner_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::atomic<int> closed_{0};
    mutable std::mutex mutex_; // guards heard_
    std::string heard_; // every client's lines, in order
    std::thread thread_;
};

class LcdprocDisplayAgainstAFake : public test::PluginTest<IDisplayDriver> {
protected:
    LcdprocDisplayAgainstAFake() : PluginTest("LCDprocDisplay.so", u"Pixtera.LCDprocDisplay") {}

    void Write(const std::string& frame) { ASSERT_EQ(plugin->Write(BString(AnsiToUtf16(frame)).get()), S_OK); }
    // A frame of four rows, each of them changed from the frame of `n - 1`.
    static std::string Numbered(int n)
    {
        std::string frame;
        for (int row = 1; row <= 4; ++row) {
            std::string text = "row " + std::to_string(row) + " frame " + std::to_string(n);
            text.resize(20, ' ');
            frame += text;
        }
        return frame;
    }

    const int port = FreePort();
};

TEST_F(LcdprocDisplayAgainstAFake, AGreetingLostAmongEndlessOtherLinesIsGivenUpAndSaid)
{
    FakeLcdd lcdd(port, FakeLcdd::Manner::Chatters);
    Configure("port=" + std::to_string(port));
    // The size probe's connection first, then the worker's, which must end too.
    ASSERT_TRUE(Eventually([&] { return lcdd.closed() >= 2; })) << log.Text();
    EXPECT_TRUE(Eventually([&] { return log.Contains("it did not answer the greeting"); })) << log.Text();
}

TEST_F(LcdprocDisplayAgainstAFake, NewSettingsEndAGreetingThatStalls)
{
    FakeLcdd silent(port, FakeLcdd::Manner::Silent);
    Configure("port=" + std::to_string(port));
    ASSERT_TRUE(Eventually([&] { return silent.accepted() == 2; })) << "the worker waits for the greeting";

    const int otherPort = FreePort();
    FakeLcdd greets(otherPort, FakeLcdd::Manner::Greets);
    log.Clear();
    Configure("port=" + std::to_string(otherPort));
    ASSERT_TRUE(Eventually([&] { return log.Contains("to LCDd at 127.0.0.1:" + std::to_string(otherPort)); }))
        << log.Text();
    EXPECT_EQ(silent.closed(), 2);
    EXPECT_FALSE(log.Contains("did not answer the greeting")) << "the old handshake was not waited out\n" << log.Text();
}

TEST_F(LcdprocDisplayAgainstAFake, AnLcddThatNeverStopsTalkingStillGetsEveryNewFrame)
{
    FakeLcdd lcdd(port, FakeLcdd::Manner::Floods);
    Configure("port=" + std::to_string(port));
    for (int n = 1; n <= 3; ++n) {
        Write(Numbered(n));
        ASSERT_TRUE(Eventually([&] {
            return lcdd.Heard("widget_set pixtera r4 1 4 \"row 4 frame " + std::to_string(n));
        })) << "frame "
            << n << " waits behind LCDd's chatter\n"
            << log.Text();
    }
}

TEST_F(LcdprocDisplayAgainstAFake, AnLcddThatAnswersNothingIsLeftWithOneLineAndConnectedAgain)
{
    FakeLcdd lcdd(port, FakeLcdd::Manner::Mute);
    Configure("port=" + std::to_string(port));
    ASSERT_TRUE(Eventually([&] { return lcdd.Heard("screen_add pixtera") == 1; }));
    // Each frame is sent before the next comes, so that none is merged into a later one.
    for (int n = 1; n <= 200 && !log.Contains("unanswered"); ++n) {
        Write(Numbered(n));
        ASSERT_TRUE(Eventually([&] {
            return log.Contains("unanswered") ||
                   lcdd.Heard("widget_set pixtera r4 1 4 \"row 4 frame " + std::to_string(n));
        }));
    }
    ASSERT_TRUE(log.Contains("unanswered")) << "commands awaiting replies pile up without end";
    EXPECT_EQ(log.Count("LCDd at 127.0.0.1:" + std::to_string(port) + " left "), 1) << log.Text();
    EXPECT_EQ(log.Count("commands unanswered; connecting again in a second"), 1) << log.Text();
    EXPECT_TRUE(Eventually([&] { return log.Contains("connected again to LCDd"); })) << log.Text();
    EXPECT_TRUE(Eventually([&] { return lcdd.Heard("screen_add pixtera") == 2; })) << "set up anew on the new link";
    EXPECT_FALSE(log.Contains("closed the connection")) << "the drop is said once\n" << log.Text();
}

} // namespace
