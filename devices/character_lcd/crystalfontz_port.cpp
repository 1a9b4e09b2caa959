// SPDX-License-Identifier: MIT
#include "crystalfontz_port.h"

#include <pixtera/platform/thread.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace pixtera::lcd {
namespace {

void Signal(int eventFd)
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(eventFd, &one, sizeof one);
}

bool WriteAll(int fd, std::string_view bytes, std::string& error)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            error = written < 0 ? std::string("write: ") + std::strerror(errno) : "write: nothing was taken";
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

PacketPort::PacketPort(ReportSink reports, PacketTiming timing)
    : reports_(std::move(reports)), timing_(timing), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    thread_ = std::thread([this] {
        NameThisThread("px-packets");
        Run();
        std::lock_guard lock(mutex_);
        running_ = false;
        changed_.notify_all();
    });
}

PacketPort::~PacketPort() { Stop(); }

void PacketPort::Attach(int fd)
{
    UniqueFd copy(fcntl(fd, F_DUPFD_CLOEXEC, 0));
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        attached_ = std::move(copy);
    }
    Signal(wake_.get());
}

void PacketPort::Detach()
{
    std::unique_lock lock(mutex_);
    attached_.reset();
    if (!running_)
        return;
    const std::uint64_t asked = ++detachAsked_;
    Signal(wake_.get());
    changed_.wait(lock, [&] { return detachDone_ >= asked || !running_; });
}

void PacketPort::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        attached_.reset();
        changed_.notify_all(); // a command waiting for its answer gives up
    }
    Signal(wake_.get());
    if (thread_.joinable())
        thread_.join();
    port_.reset();
}

std::uint64_t PacketPort::resent() const
{
    std::lock_guard lock(mutex_);
    return resent_;
}

std::uint64_t PacketPort::dropped() const
{
    std::lock_guard lock(mutex_);
    return dropped_;
}

std::optional<Packet> PacketPort::Transact(int fd, const Packet& command, std::string& error)
{
    const std::string bytes = EncodePacket(command);
    for (int attempt = 0; attempt < timing_.tries; ++attempt) {
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                // Nothing reads the port any more: the command goes once, unanswered.
                if (attempt == 0 && !WriteAll(fd, bytes, error))
                    return std::nullopt;
                error = "stopped";
                return std::nullopt;
            }
            answers_.clear(); // what came before this command answers none of it
            if (attempt > 0)
                ++resent_;
        }
        if (!WriteAll(fd, bytes, error))
            return std::nullopt;
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + timing_.answer;
        for (;;) {
            while (!answers_.empty()) {
                Packet answer = std::move(answers_.front());
                answers_.pop_front();
                if (answer.command == command.command)
                    return answer;
            }
            if (stopping_) {
                error = "stopped";
                return std::nullopt;
            }
            if (changed_.wait_until(lock, deadline) == std::cv_status::timeout && answers_.empty())
                break;
        }
    }
    error = "no answer to command " + std::to_string(command.command) + " after " + std::to_string(timing_.tries) +
            " tries";
    return std::nullopt;
}

void PacketPort::Take(const Packet& packet)
{
    switch (packet.kind) {
    case PacketKind::Response:
    case PacketKind::Error: {
        std::lock_guard lock(mutex_);
        if (answers_.size() == kKeptAnswers)
            answers_.pop_front();
        answers_.push_back(packet);
        changed_.notify_all();
        break;
    }
    case PacketKind::Report:
        if (reports_)
            reports_(packet);
        break;
    case PacketKind::Command: break; // a module never sends one: an echo or noise
    }
}

void PacketPort::Run()
{
    for (;;) {
        pollfd fds[2] = {{wake_.get(), POLLIN, 0}, {port_ ? port_.get() : -1, POLLIN, 0}};
        const int ready = poll(fds, 2, reader_.pending() ? static_cast<int>(kQuiet.count()) : -1);
        if (ready < 0 && errno != EINTR)
            return;
        if (ready == 0) {
            Deliver(reader_.Flush());
            continue;
        }
        if (fds[0].revents & POLLIN) {
            std::uint64_t drained = 0;
            [[maybe_unused]] const auto got = read(wake_.get(), &drained, sizeof drained);
            std::lock_guard lock(mutex_);
            if (stopping_)
                return;
            if (detachDone_ < detachAsked_) {
                port_.reset();
                reader_.Flush(); // a half packet of the old port completes nothing
                dropped_ = reader_.dropped();
                detachDone_ = detachAsked_;
                changed_.notify_all();
            }
            if (attached_)
                port_ = std::move(attached_);
            continue;
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL) && !(fds[1].revents & POLLIN)) {
            port_.reset(); // unplugged: the writer opens it again and hands it over
            continue;
        }
        if (!(fds[1].revents & POLLIN))
            continue;
        char bytes[256];
        const ssize_t got = read(port_.get(), bytes, sizeof bytes);
        if (got < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (got <= 0) {
            port_.reset();
            continue;
        }
        Deliver(reader_.Feed(std::string_view(bytes, static_cast<std::size_t>(got))));
    }
}

void PacketPort::Deliver(const std::vector<Packet>& packets)
{
    {
        std::lock_guard lock(mutex_);
        dropped_ = reader_.dropped();
    }
    for (const Packet& packet : packets)
        Take(packet);
}

} // namespace pixtera::lcd
