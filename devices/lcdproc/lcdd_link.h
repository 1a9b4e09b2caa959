// SPDX-License-Identifier: MIT
#pragma once
// A TCP connection to LCDd: connecting with a time limit, sending, reading reply lines.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace pixtera::lcdproc {

class LcddLink {
public:
    LcddLink() = default;
    LcddLink(const LcddLink&) = delete;
    LcddLink& operator=(const LcddLink&) = delete;
    ~LcddLink() { Close(); }

    // False with the reason in `error` (refused, unreachable, no answer, unknown host).
    bool Connect(const std::string& host, int port, std::chrono::milliseconds limit, std::string* error = nullptr);
    void Close();
    bool connected() const { return fd_ >= 0; }

    // Sends everything in one write where the kernel takes it; false when the link broke.
    bool Send(const std::string& bytes);
    // LCDd's lines are short: a longer one is no LCDd's, and ends the link before it fills memory.
    static constexpr std::size_t kLongestLine = 8192;

    // The next complete line, waiting up to `limit`; nothing on a time-out, and the link is
    // closed when LCDd closed it or sent more than kLongestLine bytes without a newline.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);

    // Sleeps until LCDd sent something or closed the link, `wake` (an eventfd, say) is readable
    // or `limit` passed (none: no limit); without a link, on `wake` and `limit` alone. Nothing
    // else wakes it: a link that stays quiet costs nothing.
    enum class Woken { Link, Wake, Time };
    Woken Wait(int wake, std::optional<std::chrono::milliseconds> limit) const;

private:
    int fd_ = -1;
    std::string pending_;
};

} // namespace pixtera::lcdproc
