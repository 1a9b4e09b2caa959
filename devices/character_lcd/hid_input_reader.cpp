// SPDX-License-Identifier: MIT
#include "hid_input_reader.h"

#include <pixtera/platform/thread.h>

#include <array>
#include <cerrno>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pixtera::lcd {

HidInputReader::HidInputReader(Handler handler)
    : handler_(std::move(handler)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), thread_([this] { Run(); })
{
}

HidInputReader::~HidInputReader()
{
    Stop();
    if (thread_.joinable())
        thread_.join();
}

void HidInputReader::Attach(UniqueFd watch, std::shared_ptr<HidReports> reports)
{
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        handed_ = Source{std::move(watch), std::move(reports)};
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
}

void HidInputReader::Stop()
{
    {
        // Taken while the handler runs: when this returns no report is being handed on.
        std::lock_guard lock(mutex_);
        stopping_ = true;
        handed_.reset();
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wake_.get(), &one, sizeof one);
}

bool HidInputReader::ReadOne(Source& source)
{
    std::array<std::uint8_t, kLargestReport> report{};
    std::size_t got = 0;
    const int error = source.reports->Read(report, got);
    if (error == ENODEV || error == EIO)
        return false;
    if (error != 0 || got == 0)
        return true; // nothing after all (EAGAIN, a timeout): wait again
    std::lock_guard lock(mutex_);
    if (!stopping_)
        handler_(std::span<const std::uint8_t>(report.data(), std::min(got, report.size())));
    return true;
}

void HidInputReader::Run()
{
    NameThisThread("px-hid-keys");
    std::optional<Source> source;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (handed_) {
                source = std::move(handed_);
                handed_.reset();
            }
        }
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {source ? source->watch.get() : -1, POLLIN, 0}};
        if (poll(fds, source ? 2 : 1, -1) < 0)
            continue;
        if (fds[0].revents & POLLIN) {
            std::uint64_t drained = 0;
            [[maybe_unused]] const auto got = read(wake_.get(), &drained, sizeof drained);
        }
        if (!source)
            continue;
        if (fds[1].revents & POLLIN) {
            if (!ReadOne(*source))
                source.reset();
        } else if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            source.reset(); // unplugged: until the writer connects again
        }
    }
}

} // namespace pixtera::lcd
