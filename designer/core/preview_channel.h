// SPDX-License-Identifier: MIT
#pragma once
// The preview's traffic with the service, which must never hold up the window: on a thread of its
// own with a bus connection of its own, it watches the service's bus name and whether the service
// answers, reads the values the preview shows (one batch per tick, and only those that can have
// changed since) and mirrors frames to the previewed display. Every call has a deadline of a second, so a service that
// hangs costs the window nothing but a status line.

#include <pixtera/platform/variant.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pixtera::designer {

// Whether the service is there and answers, as the channel last saw it.
enum class ServiceLiveness {
    Stopped, // nobody owns the service's bus name
    Answering, // the last call came back in time
    NotAnswering, // the last call ran into its deadline
};

class PreviewChannel {
public:
    using ValueMap = std::map<std::u16string, Variant, std::less<>>;

    struct Snapshot {
        std::string server; // the unique bus name of the service, empty while there is none
        ServiceLiveness state = ServiceLiveness::Stopped;
        ValueMap values; // the latest of every wanted value read so far
        std::set<std::u16string, std::less<>> volatiles; // names whose value can change at every reading
        unsigned valuesRead = 0; // counts batches, so a reader can tell new values
    };

    // `notify` runs on the channel's thread whenever the snapshot changed; it must only hand over
    // to the owner's thread. `deadline` bounds every call.
    explicit PreviewChannel(std::function<void()> notify, std::chrono::milliseconds deadline = std::chrono::seconds(1));
    ~PreviewChannel();
    PreviewChannel(const PreviewChannel&) = delete;
    PreviewChannel& operator=(const PreviewChannel&) = delete;

    // False when there was no session bus to connect to.
    bool connected() const { return connected_; }

    // One tick: the names the last rendering read, and a new frame to mirror to display `display`
    // (0-based) of the service, or none. Never waits for the bus, and wakes the channel only when
    // there is something to do: new names, a frame, or values that can change at any time.
    void Tick(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame);

    Snapshot Take() const;

    // Batches read so far, for benchmarks and tests.
    unsigned batches() const;

private:
    struct Request {
        std::optional<std::pair<int, std::string>> frame;
        bool pending = false;
    };

    void Run();
    void Cycle(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame);
    void SetServer(const std::string& server);
    void ReadValues(const std::vector<std::u16string>& names);
    void MirrorFrame(int display, const std::string& frame);
    void Retry(std::pair<int, std::string> frame);
    void Probe();
    void Answered(bool inTime);
    void Wake();

    const std::function<void()> notify_;
    const std::chrono::milliseconds deadline_;
    bool connected_ = false;
    int wakeFd_ = -1;

    mutable std::mutex mutex_; // guards snapshot_, request_, wanted_, anyVolatile_, leaving_
    Snapshot snapshot_;
    Request request_;
    std::vector<std::u16string> wanted_; // the names the preview shows
    bool anyVolatile_ = false; // one of them must be read at every tick
    bool leaving_ = false;

    // Only the channel's thread touches these.
    struct BusState;
    std::unique_ptr<BusState> bus_;
    std::thread thread_;
};

} // namespace pixtera::designer
