// SPDX-License-Identifier: MIT
// The socket server alone: how lines are cut, and running out of file descriptors.
#include "socket_server.h"

#include "captured_log.h"
#include "protocol_client.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

using namespace pixtera::lcdproc;
using pixtera::test::CapturedLog;
using pixtera::test::Eventually;
using pixtera::test::ProtocolClient;

class Server : public ::testing::Test {
protected:
    void SetUp() override { state.AttachDisplay(0, {20, 4, 5, 8}); }
    bool Start()
    {
        std::string why;
        return server.Start({"127.0.0.1", 0}, why);
    }

    CapturedLog log;
    ServerState state{false};
    SocketServer server{state, 8};
};

// Everything a client sends, and all it was answered until it was quiet.
std::string Exchange(int port, const std::string& bytes, std::size_t replies)
{
    ProtocolClient client(port);
    client.Send(bytes);
    std::string answered;
    for (std::size_t i = 0; i < replies; ++i)
        if (const auto line = client.Line())
            answered += *line + "|";
    return answered;
}

TEST_F(Server, LinesEndAsLcddEndsThem)
{
    ASSERT_TRUE(Start());
    const std::string connect = "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 4 cellwid 5 cellhgt 8|";
    EXPECT_EQ(Exchange(server.port(), "hello\rnoop\r", 2), connect + "noop complete|") << "a carriage return alone";
    EXPECT_EQ(Exchange(server.port(), "hello\r\nnoop\r\ninfo\n", 3), connect + "noop complete|Pixtera display|")
        << "CR LF: one end, the empty line between does nothing";
    EXPECT_EQ(Exchange(server.port(), std::string("hello\nnoop\0info\n", 16), 3),
              connect + "noop complete|Pixtera display|")
        << "a NUL";
}

TEST_F(Server, ALineOfTheLongestLengthSpansReadsWholeAndOneMoreByteIsRefused)
{
    ASSERT_TRUE(Start());
    // A quoted argument with an escape across the reads' 4 KB boundaries.
    auto line = [](std::size_t length) {
        std::string text = "noop \"";
        while (text.size() < length - 1)
            text += text.size() % 4096 == 4095 ? "\\" : "x";
        return text.substr(0, length - 1) + "\"";
    };
    ASSERT_EQ(line(kLongestLine).size(), kLongestLine);
    const std::string connect = "connect LCDproc 0.5.9 protocol 0.3 lcd wid 20 hgt 4 cellwid 5 cellhgt 8|";
    EXPECT_EQ(Exchange(server.port(), "hello\n" + line(kLongestLine) + "\ninfo\n", 3),
              connect + "noop complete|Pixtera display|");
    EXPECT_EQ(Exchange(server.port(), "hello\n" + line(kLongestLine + 1) + "\ninfo\n", 3),
              connect + "huh? Line too long|Pixtera display|")
        << "its rest is skipped, the next line is read";
}

// Takes the process's free file descriptors, all but `spare`, until destroyed.
class FileDescriptorsTaken {
public:
    explicit FileDescriptorsTaken(std::size_t spare)
    {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = 256;
        setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = dup(STDERR_FILENO)) >= 0;)
            taken_.push_back(fd);
        for (std::size_t i = 0; i < spare && !taken_.empty(); ++i) {
            close(taken_.back());
            taken_.pop_back();
        }
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

TEST_F(Server, WithoutItsSpareDescriptorAWaitingClientWaitsAndIsServedLater)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers check memory through a pipe of their own: with no descriptor left they report
    // the server thread's start as a bad object.
    GTEST_SKIP() << "needs every descriptor, and the sanitizers need some";
#endif
    // A socket of the client's own made first: there is none to make later.
    const int waiting = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(waiting, 0);
    {
        // The listener, the eventfd and epoll, and nothing for the spare: as when another thread
        // took its number between the close and the accept that refuses a client.
        const FileDescriptorsTaken allButThree(3);
        ASSERT_TRUE(Start());
        EXPECT_TRUE(log.Contains("no file descriptor to spare for refusing clients"));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(server.port()));
        ASSERT_EQ(connect(waiting, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(send(waiting, "hello\n", 6, MSG_NOSIGNAL), 6);
        // The loop tries for the spare now and then, and meanwhile leaves the client alone:
        // without a descriptor, taking it would fail at once, again and again.
        const auto rounds = server.rounds();
        ASSERT_TRUE(Eventually([&] { return server.rounds() >= rounds + 2; }));
        EXPECT_FALSE(log.Contains("no file descriptor for a new client")) << "no try to take the client";
    }
    char reply[128] = {};
    ASSERT_TRUE(Eventually([&] { return recv(waiting, reply, sizeof reply - 1, MSG_DONTWAIT) > 0; }))
        << "served once descriptors are back";
    EXPECT_EQ(std::string(reply).substr(0, 15), "connect LCDproc");
    close(waiting);
    EXPECT_EQ(log.Count("no file descriptor to spare"), 1);
}

} // namespace
