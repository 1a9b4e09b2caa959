// SPDX-License-Identifier: MIT
// A serial module's batch on its descriptor: what goes without a pause between leaves in one
// write, and nothing written after a pause goes before it.

#include "device_link.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using namespace pixtera::lcd;
using namespace std::chrono_literals;

// Each write arrives as a message of its own on a packet socket.
std::vector<std::string> Messages(int fd)
{
    std::vector<std::string> messages;
    char buffer[256];
    for (ssize_t n = 0; (n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) >= 0;)
        messages.emplace_back(buffer, static_cast<std::size_t>(n));
    return messages;
}

TEST(DeviceLink, ASerialBatchIsOneWriteUpToEachPause)
{
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
    DeviceLink link(ends[0]);
    const int module = ends[1];

    LinkBatch batch;
    batch.Add("\xFE"
              "G");
    batch.Break(); // a message boundary means nothing on a serial line
    batch.Add("ab");
    batch.Pause(2ms);
    batch.Add("cd");
    batch.Add('e');
    std::vector<std::vector<std::string>> atPauses;
    std::string error;
    ASSERT_TRUE(link.Send(
        batch, [&](std::chrono::microseconds) { atPauses.push_back(Messages(module)); }, error))
        << error;
    ASSERT_EQ(atPauses.size(), 1u);
    EXPECT_EQ(atPauses[0], std::vector<std::string>{"\xFE"
                                                    "Gab"})
        << "before the pause, in one write";
    EXPECT_EQ(Messages(module), std::vector<std::string>{"cde"});
    EXPECT_EQ(link.traffic().bytes, 7u);

    close(module);
    EXPECT_FALSE(link.Send(
        batch, [](std::chrono::microseconds) {}, error))
        << "a module gone fails the batch";
    EXPECT_FALSE(error.empty());
}

} // namespace
