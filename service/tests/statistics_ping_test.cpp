// SPDX-License-Identifier: MIT
#include "statistics_ping.h"
#include "test_environment.h"

#include <pixtera/platform/registry.h>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <regex>
#include <thread>

namespace {

using namespace pixtera;

// Answers one HTTP request on 127.0.0.1 and hands over what was asked.
class OneRequestServer {
public:
    explicit OneRequestServer(int waitMs = 10000) : waitMs_(waitMs)
    {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 1);
        request_ = std::async(std::launch::async, [this] { return Serve(); });
    }
    ~OneRequestServer() { close(listener_); }

    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // The request's head, or "" when none came in time.
    std::string Request() { return request_.get(); }

private:
    std::string Serve()
    {
        pollfd wait{listener_, POLLIN, 0};
        if (poll(&wait, 1, waitMs_) != 1)
            return {};
        const int client = accept(listener_, nullptr, nullptr);
        std::string head;
        char buffer[1024];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = read(client, buffer, sizeof buffer);
            if (n <= 0)
                break;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
        (void)!write(client, reply.data(), reply.size());
        close(client);
        return head;
    }

    int waitMs_;
    int listener_ = -1;
    int port_ = 0;
    std::future<std::string> request_;
};

RegKey StatisticsKey()
{
    RegKey key;
    EXPECT_EQ(key.Create(HKEY_LOCAL_MACHINE, kStatisticsKey), ERROR_SUCCESS);
    return key;
}

const std::regex kIdForm(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9a-f]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})");

TEST(StatisticsPing, IsOnOnlyForANumberNamedStats)
{
    EXPECT_FALSE(StatisticsEnabled());
    auto key = StatisticsKey();
    key.SetString("stats", "1");
    EXPECT_FALSE(StatisticsEnabled()) << "stored as text";
    key.SetDword("stats", 0);
    EXPECT_TRUE(StatisticsEnabled()) << "the number is not looked at";
}

TEST(StatisticsPing, TheInstallationIdIsMadeOnceInItsFormat)
{
    auto key = StatisticsKey();
    const std::string id = InstallationId();
    EXPECT_TRUE(std::regex_match(id, kIdForm)) << id;
    EXPECT_EQ(key.QueryString("InstallationID"), id);
    EXPECT_EQ(InstallationId(), id) << "later runs reuse it";
    key.SetDword("InstallationID", 7);
    const std::string replaced = InstallationId();
    EXPECT_TRUE(std::regex_match(replaced, kIdForm));
    EXPECT_NE(replaced, id) << "a non-text id is replaced";
    EXPECT_EQ(FormatInstallationId({0xABCDEF01, 0x2345, 0x6789, {0xAB, 0xCD, 0xEF, 0x01, 0x23, 0x45, 0x67, 0x89}}),
              "{ABCDEF01-2345-6789-ABCD-EF0123456789}");
    EXPECT_EQ(FormatInstallationId({0, 0, 0xABCD, {}}), "{00000000-0000-abcd-0000-000000000000}");
}

TEST(StatisticsPing, AskedForTheStatsPathWithTheUserAgent)
{
    OneRequestServer server;
    ASSERT_TRUE(SendPing(server.url() + "/stats.php?id={X}"));
    const std::string request = server.Request();
    EXPECT_EQ(request.rfind("GET /stats.php?id={X} HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("User-Agent: Pixtera 1.5.0.1\r\n"), std::string::npos) << request;
}

TEST(StatisticsPing, TheThreadPingsTheConfiguredEndpoint)
{
    OneRequestServer server;
    setenv("PIXTERA_STATS_ENDPOINT", server.url().c_str(), 1);
    StatisticsKey().SetDword("stats", 1);
    StartStatisticsPing();
    const std::string request = server.Request();
    unsetenv("PIXTERA_STATS_ENDPOINT");
    const std::string id = StatisticsKey().QueryString("InstallationID").value_or("(none)");
    EXPECT_EQ(request.rfind("GET /stats.php?id=" + id + " HTTP/1.1", 0), 0u) << request;
}

TEST(StatisticsPing, WithoutStatsNoThreadStarts)
{
    OneRequestServer server(1000);
    setenv("PIXTERA_STATS_ENDPOINT", server.url().c_str(), 1);
    StartStatisticsPing();
    unsetenv("PIXTERA_STATS_ENDPOINT");
    EXPECT_EQ(server.Request(), "") << "nobody asked";
    RegKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, kStatisticsKey), ERROR_FILE_NOT_FOUND) << "and no id was made";
}

TEST(StatisticsPing, AnUnreachableEndpointChangesNothing)
{
    auto key = StatisticsKey();
    key.SetString("InstallationID", "{kept}");
    EXPECT_FALSE(SendPing("http://127.0.0.1:1/stats.php?id={kept}"));
    EXPECT_EQ(key.QueryString("InstallationID"), "{kept}");
    EXPECT_EQ(StatisticsEndpoint(), "http://stats.pixtera.invalid") << "the harmless default";
}

} // namespace
