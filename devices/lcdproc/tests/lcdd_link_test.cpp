// SPDX-License-Identifier: MIT
// The link's sleep: woken by LCDd's lines and its closing, by the wake-up, by its limit, and
// never held when a line is already waiting; a line without end is not kept.

#include "lcdd_link.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string_view>

namespace {

using namespace pixtera::lcdproc;
using namespace std::chrono_literals;
using Woken = LcddLink::Woken;

// A listening socket on a free loopback port, and the one connection it accepts.
class Peer {
public:
    Peer()
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, 1);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
    }
    ~Peer()
    {
        Close();
        close(listener_);
    }
    void Accept() { client_ = accept(listener_, nullptr, nullptr); }
    void Say(std::string_view text) { ASSERT_EQ(write(client_, text.data(), text.size()), ssize_t(text.size())); }
    void Close()
    {
        if (client_ >= 0)
            close(client_);
        client_ = -1;
    }

    int port = 0;

private:
    int listener_ = -1;
    int client_ = -1;
};

class LinkWait : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_GE(wake, 0);
        ASSERT_TRUE(link.Connect("127.0.0.1", peer.port, 1000ms));
        peer.Accept();
    }
    void TearDown() override { close(wake); }

    Peer peer;
    LcddLink link;
    const int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

TEST_F(LinkWait, WakesForLcddsLinesItsWakeUpAndItsClosing)
{
    EXPECT_EQ(link.Wait(wake, 0ms), Woken::Time) << "nothing has happened";
    eventfd_write(wake, 1);
    EXPECT_EQ(link.Wait(wake, std::nullopt), Woken::Wake);
    eventfd_t count = 0;
    eventfd_read(wake, &count);

    peer.Say("success\n");
    ASSERT_EQ(link.Wait(wake, std::nullopt), Woken::Link);
    EXPECT_EQ(link.ReadLine(0ms), "success");

    peer.Close();
    ASSERT_EQ(link.Wait(wake, std::nullopt), Woken::Link) << "a closed link wakes too";
    EXPECT_FALSE(link.ReadLine(0ms));
    EXPECT_FALSE(link.connected());
    eventfd_write(wake, 1);
    EXPECT_EQ(link.Wait(wake, std::nullopt), Woken::Wake) << "without a link, on the wake-up alone";
}

TEST_F(LinkWait, ALineAlreadyReadButNotTakenWakesAtOnce)
{
    peer.Say("success\nlisten pixtera\n");
    ASSERT_EQ(link.ReadLine(1000ms), "success");
    // Both lines came in one read: the second waits in the link, not in the socket.
    EXPECT_EQ(link.Wait(wake, 0ms), Woken::Link);
    EXPECT_EQ(link.ReadLine(0ms), "listen pixtera");
}

TEST_F(LinkWait, ALineAtTheLimitComesAndOneBeyondItEndsTheLink)
{
    const std::string longest(LcddLink::kLongestLine, 'a');
    peer.Say(longest + "\n");
    EXPECT_EQ(link.ReadLine(1000ms), longest);
    ASSERT_TRUE(link.connected());

    // A peer that never ends its line: what is kept is bounded, and the link given up.
    peer.Say(std::string(LcddLink::kLongestLine + 1, 'b'));
    EXPECT_FALSE(link.ReadLine(1000ms));
    EXPECT_FALSE(link.connected());
}

} // namespace
