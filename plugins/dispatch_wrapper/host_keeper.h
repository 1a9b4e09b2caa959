// SPDX-License-Identifier: MIT
#pragma once
// Keeps one plug-in alive in a host process: starts the host, makes the calls with their
// deadline, and after a failure starts a new host after growing pauses (1, 2, 4 ... 60 s), creates
// the plug-in again and replays what makes it what it was: its configuration, its user
// characters, its background, its last frame and the states its LEDs were set to.
//
// Hosts are started on the keeper's own thread, which lives as long as the keeper: the kernel
// sends a host its parent-death signal when the thread that started it ends.
//
// Locking: callMutex_ makes calls one at a time (a plug-in object is called by one thread at a
// time, as in the service's process); stateMutex_ guards the host and the fields below it. A
// thread that takes both takes callMutex_ first. keySinkMutex_ guards the key sink alone and is
// held while the sink is called (on a host's output thread), never with the others.

#include "display_answers.h"
#include "host_process.h"

#include <pixtera/sdk/display_input.h>

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace pixtera::host {

class HostKeeper {
public:
    // A host that worked for `healthyAfter` before it failed starts the pauses from the beginning.
    HostKeeper(std::filesystem::path program, std::chrono::milliseconds callLimit,
               std::chrono::milliseconds healthyAfter);
    HostKeeper(const HostKeeper&) = delete;
    HostKeeper& operator=(const HostKeeper&) = delete;
    ~HostKeeper();

    // Starts the first host with the plug-in `progId`; its interfaces (Interfaces bits), or none
    // with the reason.
    std::optional<LONG> Start(const std::u16string& progId, std::string& error);

    // One call; none when there is no working host or the host failed with it (it is then killed
    // and a new one comes after the pause).
    std::optional<Result> Invoke(const Call& call);
    // The same unless another call is under way (a slow or hung host): then nothing is sent and
    // `busy` says so. For questions from threads that must not wait behind another's call.
    std::optional<Result> InvokeIfIdle(const Call& call, bool& busy);

    // Counts the hosts that came up; none while there is no working host.
    std::optional<LONG> generation() const;

    // Configure before the first host starts: kept for it.
    void KeepConfiguration(std::u16string text);

    // Since when (wall-clock seconds since the epoch) the module has been out of reach because
    // its host was lost; none when no host was lost since the plug-in last said it was linked.
    std::optional<LONGLONG> hostLostSince() const;
    // The hosted plug-in says its module is linked: a host lost before no longer counts.
    void NoteLinked();

    // Where the hosted plug-in's keys go from now on (none: nowhere); once this returns, the old
    // sink is called no more. Whether the plug-in sends them is the AdviseKeys call's business.
    void SetKeySink(IKeySink* sink);

private:
    std::optional<Result> InvokeSerialised(const Call& call); // under callMutex_
    void Work();
    std::unique_ptr<HostProcess> Launch(std::string& error, std::uint64_t& replayed);
    bool CatchUp(HostProcess& host, std::uint64_t replayed, std::string& error);
    std::vector<Call> ReplayCalls() const;
    bool Replay(HostProcess& host, const std::vector<Call>& calls, std::string& error);
    void Lose(const std::string& why);
    void Remember(const Call& call);
    std::optional<LONG> LedBefore(const Call& call) const;
    void RestoreLed(const Call& call, std::optional<LONG> before);
    std::chrono::seconds NextPause();
    void DeliverKey(const KeyEventMessage& event);

    const std::filesystem::path program_;
    const std::chrono::milliseconds callLimit_;
    const std::chrono::milliseconds healthyAfter_;

    std::mutex callMutex_; // one call at a time

    mutable std::mutex stateMutex_; // guards everything below
    std::condition_variable wake_;
    std::unique_ptr<HostProcess> host_;
    std::u16string progId_;
    std::string name_;
    LONG interfaces_ = 0;
    LONG generation_ = 0;
    bool startRequested_ = false;
    bool startDone_ = false;
    std::string startError_;
    bool lost_ = false;
    bool stopping_ = false;
    int failuresInARow_ = 0;
    std::chrono::steady_clock::time_point retryAt_;
    std::optional<std::chrono::steady_clock::time_point> upSince_; // of the host that works; none after a failure
    std::optional<LONGLONG> hostLostSince_;
    // What a new host replays.
    std::optional<std::u16string> configuration_;
    std::array<std::optional<std::array<BYTE, 8>>, 8> glyphs_;
    std::optional<std::u16string> background_;
    std::optional<std::u16string> frame_;
    Method frameMethod_ = Method::Write; // how frame_ came: Write or WriteUnicode
    std::optional<LONG> backlight_;
    std::vector<Call> attachedDisplays_; // IScreenSource's displays, for every new host
    bool keysAdvised_ = false;
    std::array<std::optional<LONG>, kMostLeds> leds_; // IDisplayLeds' states set, by index
    std::uint64_t remembered_ = 0; // counts the calls kept above: a replay knows what it missed

    std::mutex keySinkMutex_; // guards keySink_, held while it is called
    ComPtr<IKeySink> keySink_;

    std::thread thread_;
};

} // namespace pixtera::host
