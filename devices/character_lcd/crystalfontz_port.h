// SPDX-License-Identifier: MIT
#pragma once
// The stream of a CrystalFontz packet module. The writer thread owns the port and sends commands
// through Transact, which waits for the answer of the same command and sends the command again
// when none comes in time; a thread of the port's own reads a duplicate of the descriptor, handed
// over at every connection, finds the packets in what comes and hands the module's reports (keys,
// temperatures) on as they arrive, between answers or not. The duplicate shares the port's
// exclusive lock, so it is given up before the writer opens the port again.

#include "crystalfontz_packet.h"

#include <pixtera/platform/unique_fd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace pixtera::lcd {

struct PacketTiming {
    // The modules answer within 250 ms; a command without an answer by then is sent again.
    std::chrono::milliseconds answer{250};
    int tries = 3;
};

class PacketPort {
public:
    using ReportSink = std::function<void(const Packet&)>;

    explicit PacketPort(ReportSink reports, PacketTiming timing = {});
    PacketPort(const PacketPort&) = delete;
    PacketPort& operator=(const PacketPort&) = delete;
    ~PacketPort();

    // The port was opened (on the writer's thread): its input is read from now on.
    void Attach(int fd);
    // The port is about to be opened again: the duplicate of the old one is closed when this
    // returns.
    void Detach();
    // No report is handed on after this returns; later attachments are ignored.
    void Stop();

    // Writes `command` to `fd` and returns its answer (a response, or an error packet, of the same
    // command); none, with the reason, when the port failed, no answer came after every try, or
    // the port was stopped ("stopped": the command is still written, once, when it was not yet).
    std::optional<Packet> Transact(int fd, const Packet& command, std::string& error);

    // Commands sent again for want of an answer, and bytes the reader gave up on.
    std::uint64_t resent() const;
    std::uint64_t dropped() const;

private:
    void Run();
    void Take(const Packet& packet);
    void Deliver(const std::vector<Packet>& packets);

    static constexpr std::size_t kKeptAnswers = 8; // a module answers one command at a time
    // A packet's bytes come back to back: a part of one that waits this long is none.
    static constexpr std::chrono::milliseconds kQuiet{50};

    const ReportSink reports_;
    const PacketTiming timing_;
    const UniqueFd wake_; // an eventfd: a new port, or the end
    // guards attached_, stopping_, running_, the detach counts, answers_, resent_ and dropped_
    mutable std::mutex mutex_;
    std::condition_variable changed_; // a detach done, or an answer
    UniqueFd attached_; // handed over, not yet taken by the thread
    bool stopping_ = false;
    bool running_ = true; // the thread has not ended
    std::uint64_t detachAsked_ = 0;
    std::uint64_t detachDone_ = 0;
    std::deque<Packet> answers_;
    std::uint64_t resent_ = 0;
    std::uint64_t dropped_ = 0;
    // The thread's own.
    PacketReader reader_;
    UniqueFd port_;
    std::thread thread_; // last: it uses everything above
};

} // namespace pixtera::lcd
