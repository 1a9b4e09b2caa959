// SPDX-License-Identifier: MIT
// The kernel side of serial detection, on pseudo-terminals: a port another program holds (open or
// locked) is never taken, and a free one is probed through real termios.

#include "kernel_devices.h"
#include "module_detection.h"
#include "serial_lcd_model.h"
#include "test_environment.h"

#include <pixtera/platform/unique_fd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace pixtera::detection;

struct Pty {
    Pty()
    {
        int m = -1, s = -1;
        char name[256];
        if (openpty(&m, &s, name, nullptr, nullptr) == 0) {
            master.reset(m);
            slave.reset(s);
            path = name;
        }
    }
    pixtera::UniqueFd master;
    pixtera::UniqueFd slave;
    std::string path;
};

TEST(KernelDevices, APortHeldByAnotherProgramIsNeverTaken)
{
    Pty locked;
    ASSERT_FALSE(locked.path.empty());
    pixtera::UniqueFd holder(open(locked.path.c_str(), O_RDWR | O_NOCTTY));
    ASSERT_EQ(flock(holder.get(), LOCK_EX | LOCK_NB), 0);
    KernelDevices devices;
    int error = 0;
    EXPECT_EQ(devices.OpenSerial(locked.path, error), nullptr);
    EXPECT_EQ(error, EBUSY) << "locked";

    Pty opened;
    locked.slave.reset();
    opened.slave.reset();
    const pid_t child = fork();
    if (child == 0) {
        // Holds the port open, as a terminal program would, until killed.
        [[maybe_unused]] const int fd = open(opened.path.c_str(), O_RDWR | O_NOCTTY);
        pause();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(pixtera::test::Eventually([&] { return OpenedElsewhere(opened.path); }));
    error = 0;
    EXPECT_EQ(devices.OpenSerial(opened.path, error), nullptr);
    EXPECT_EQ(error, EBUSY) << "opened by another process";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(OpenedElsewhere(opened.path));
    EXPECT_NE(devices.OpenSerial(opened.path, error), nullptr) << "free again";

    error = 0;
    EXPECT_EQ(devices.OpenSerial("/dev/null", error), nullptr);
    EXPECT_EQ(error, ENOTTY) << "not a serial port";
}

TEST(KernelDevices, AModuleOnAFreePortAnswersThroughTermios)
{
    Pty port;
    ASSERT_FALSE(port.path.empty());
    port.slave.reset();
    std::atomic<bool> done{false};
    std::thread module([&] {
        pixtera::lcd::test::SerialLcdModel model(20, 4);
        while (!done) {
            pollfd ready{port.master.get(), POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            char buffer[64];
            const ssize_t n = read(port.master.get(), buffer, sizeof buffer);
            if (n > 0)
                model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            const std::string replies = model.TakeReplies();
            if (!replies.empty())
                pixtera::WriteAll(port.master.get(), replies);
        }
    });
    KernelDevices devices;
    int error = 0;
    auto serial = devices.OpenSerial(port.path, error);
    ASSERT_NE(serial, nullptr) << std::strerror(error);
    ASSERT_TRUE(serial->SetSpeed(19200));
    ASSERT_TRUE(serial->Write("\xFE\x37"));
    EXPECT_EQ(serial->Read(1, std::chrono::seconds(5)), "\x09");
    EXPECT_EQ(serial->Read(1, std::chrono::milliseconds(50)), "") << "nothing more came";
    EXPECT_FALSE(serial->SetSpeed(1234));
    done = true;
    module.join();
}

} // namespace
