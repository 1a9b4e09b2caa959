// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal in place of a module's serial port, for the tests: the driver opens path(),
// and the test feeds what arrives at the master end to a module model.

#include "serial_lcd_model.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <string_view>

namespace pixtera::lcd::test {

class PtyPort {
public:
    PtyPort()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        path_ = ptsname(master_);
    }
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;
    ~PtyPort() { close(master_); }
    const std::string& path() const { return path_; }

    // What the module sends to the driver (its keypad's bytes).
    bool Send(std::string_view bytes)
    {
        return write(master_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `done` holds for what arrived, or `silence` milliseconds pass without a byte.
    // While the driver has the port closed (reopening it), the master end reads EIO.
    template <class Done>
    void ReadInto(SerialLcdModel& model, Done done, int silence = 1000)
    {
        char buffer[512];
        auto quietSince = std::chrono::steady_clock::now();
        while (!done() && std::chrono::steady_clock::now() - quietSince < std::chrono::milliseconds(silence)) {
            pollfd poller{master_, POLLIN, 0};
            if (poll(&poller, 1, 10) <= 0)
                continue;
            const ssize_t n = read(master_, buffer, sizeof buffer);
            if (n <= 0) {
                usleep(1000);
                continue;
            }
            model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            quietSince = std::chrono::steady_clock::now();
        }
    }

private:
    int master_ = -1;
    std::string path_;
};

} // namespace pixtera::lcd::test
