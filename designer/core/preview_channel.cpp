// SPDX-License-Identifier: MIT
#include "preview_channel.h"

#include <pixtera/bus/handler_guard.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/remote/service_name.h>

#include <sdbus-c++/sdbus-c++.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

namespace pixtera::designer {

// The connection and what the channel knows of the current server; its thread's alone.
struct PreviewChannel::BusState {
    bus::HandlerGuard guard{"The designer's preview channel"}; // every signal is read under it
    std::unique_ptr<sdbus::IConnection> connection;
    std::unique_ptr<sdbus::IProxy> busDaemon;
    std::string server;
    std::unique_ptr<sdbus::IProxy> data;
    std::map<std::string, std::unique_ptr<sdbus::IProxy>> objects; // by path, for the current server
    std::set<std::u16string, std::less<>> known; // read at least once from this server
    std::set<std::u16string, std::less<>> volatiles; // read every tick
    std::map<int32_t, std::u16string> idNames;
    std::set<int32_t> changedIds; // announced since the last cycle
    std::map<int, std::string> driverPaths;
    std::chrono::steady_clock::time_point lastHeard; // the last answer or signal, in time or not

    sdbus::IProxy& Object(const std::string& path)
    {
        auto& proxy = objects[path];
        if (!proxy)
            proxy = sdbus::createProxy(*connection, server, path);
        return *proxy;
    }
};

namespace {

// While the preview shows the service's values, a service that has said nothing for this long is
// asked whether it still answers: a hung one sends no change signals either.
constexpr auto kProbeAfter = std::chrono::seconds(3);

// A failure the service itself answered with is an answer; anything else (no reply in time, a
// broken connection) is not.
bool ServiceAnswered(const sdbus::Error& error) { return error.getName().rfind(bus::kErrorPrefix, 0) == 0; }

} // namespace

PreviewChannel::PreviewChannel(std::function<void()> notify, std::chrono::milliseconds deadline)
    : notify_(std::move(notify)), deadline_(deadline), bus_(std::make_unique<BusState>())
{
    try {
        bus_->connection = sdbus::createSessionBusConnection();
        bus_->busDaemon = sdbus::createProxy(*bus_->connection, bus::kBusDaemonName, "/org/freedesktop/DBus");
        // Only the bus says who the service is: a forged word would make another program the service.
        bus_->busDaemon->registerSignalHandler(
            "org.freedesktop.DBus", "NameOwnerChanged",
            bus_->guard.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                                     [this](const std::string& name, const std::string&, const std::string& owner) {
                                         if (name == bus::kServiceName)
                                             SetServer(owner);
                                     }));
        bus_->busDaemon->finishRegistration();
    } catch (const sdbus::Error&) {
        return; // no session bus: no service to talk to
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0)
        return;
    connected_ = true;
    SetServer(remote::ServiceNameOwner(*bus_->connection, deadline_));
    thread_ = std::thread([this] { Run(); });
}

PreviewChannel::~PreviewChannel()
{
    {
        std::lock_guard lock(mutex_);
        leaving_ = true;
    }
    Wake();
    if (thread_.joinable())
        thread_.join();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

void PreviewChannel::Wake()
{
    if (wakeFd_ < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(wakeFd_, &one, sizeof one);
}

void PreviewChannel::Tick(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame)
{
    {
        std::lock_guard lock(mutex_);
        const bool namesChanged = names != wanted_;
        if (namesChanged)
            wanted_ = names;
        if (!namesChanged && !frame && !anyVolatile_)
            return; // stored values come with their change signal
        if (frame)
            request_.frame = std::move(frame);
        request_.pending = true;
    }
    Wake();
}

PreviewChannel::Snapshot PreviewChannel::Take() const
{
    std::lock_guard lock(mutex_);
    return snapshot_;
}

unsigned PreviewChannel::batches() const
{
    std::lock_guard lock(mutex_);
    return snapshot_.valuesRead;
}

void PreviewChannel::Run()
{
    sdbus::IConnection& connection = *bus_->connection;
    for (;;) {
        try {
            while (connection.processPendingRequest()) {
            }
            Request request;
            std::vector<std::u16string> names;
            {
                std::lock_guard lock(mutex_);
                if (leaving_)
                    return;
                request = std::move(request_);
                request_ = {};
                names = wanted_;
            }
            // A change signal that arrived is a reason of its own to read.
            if ((request.pending || !bus_->changedIds.empty()) && !bus_->server.empty())
                Cycle(names, std::move(request.frame));
            const bool probing = !bus_->server.empty() && !names.empty();
            if (probing && std::chrono::steady_clock::now() - bus_->lastHeard >= kProbeAfter)
                Probe();
            const auto data = connection.getEventLoopPollData();
            int waitMs =
                probing ? static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(kProbeAfter).count())
                        : -1;
            if (data.timeout_usec != UINT64_MAX) {
                timespec now{};
                clock_gettime(CLOCK_MONOTONIC, &now);
                const auto current = std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
                const auto due =
                    std::chrono::duration_cast<std::chrono::milliseconds>(data.getAbsoluteTimeout() - current);
                const int busMs = static_cast<int>(std::max<long long>(due.count(), 0));
                waitMs = waitMs < 0 ? busMs : std::min(waitMs, busMs);
            }
            pollfd fds[2] = {{data.fd, data.events, 0}, {wakeFd_, POLLIN, 0}};
            poll(fds, 2, waitMs);
            if (fds[1].revents & POLLIN) {
                std::uint64_t ignored = 0;
                [[maybe_unused]] const auto drained = read(wakeFd_, &ignored, sizeof ignored);
            }
        } catch (const sdbus::Error&) {
            // The bus itself went away: nothing more can be learnt.
            std::lock_guard lock(mutex_);
            snapshot_.server.clear();
            snapshot_.state = ServiceLiveness::Stopped;
            return;
        }
    }
}

void PreviewChannel::SetServer(const std::string& server)
{
    BusState& bus = *bus_;
    if (server == bus.server)
        return;
    bus.server = server;
    bus.data.reset();
    bus.objects.clear();
    bus.known.clear();
    bus.volatiles.clear();
    bus.idNames.clear();
    bus.changedIds.clear();
    bus.driverPaths.clear();
    bus.lastHeard = std::chrono::steady_clock::now();
    if (!server.empty()) {
        bus.data = sdbus::createProxy(*bus.connection, server, bus::kDataManagerPath);
        bus.data->registerSignalHandler(bus::kDataCollection, "ValuesChanged",
                                        bus.guard.OnSignal("ValuesChanged", [this](const std::vector<int32_t>& ids) {
                                            bus_->changedIds.insert(ids.begin(), ids.end());
                                            bus_->lastHeard = std::chrono::steady_clock::now();
                                        }));
        bus.data->finishRegistration();
    }
    {
        std::lock_guard lock(mutex_);
        snapshot_.server = server;
        snapshot_.state = server.empty() ? ServiceLiveness::Stopped : ServiceLiveness::Answering;
        snapshot_.values.clear();
        snapshot_.volatiles.clear();
        anyVolatile_ = false;
    }
    if (notify_)
        notify_();
}

void PreviewChannel::Probe()
{
    try {
        auto& peer = bus_->Object(bus::kManagerPath);
        auto call = peer.createMethodCall("org.freedesktop.DBus.Peer", "Ping");
        peer.callMethod(call, static_cast<uint64_t>(deadline_.count()) * 1000);
        Answered(true);
    } catch (const sdbus::Error& error) {
        Answered(ServiceAnswered(error));
    }
}

void PreviewChannel::Answered(bool inTime)
{
    bus_->lastHeard = std::chrono::steady_clock::now();
    const ServiceLiveness state = inTime ? ServiceLiveness::Answering : ServiceLiveness::NotAnswering;
    {
        std::lock_guard lock(mutex_);
        if (snapshot_.state == state || snapshot_.state == ServiceLiveness::Stopped)
            return;
        snapshot_.state = state;
    }
    if (notify_)
        notify_();
}

void PreviewChannel::Cycle(const std::vector<std::u16string>& names, std::optional<std::pair<int, std::string>> frame)
{
    try {
        ReadValues(names);
        if (frame)
            MirrorFrame(frame->first, frame->second);
        Answered(true);
    } catch (const sdbus::Error& error) {
        Answered(ServiceAnswered(error));
        if (frame)
            Retry(std::move(*frame));
    }
}

// A frame that did not reach the display goes again, unless a newer one is waiting.
void PreviewChannel::Retry(std::pair<int, std::string> frame)
{
    {
        std::lock_guard lock(mutex_);
        if (request_.frame || snapshot_.server.empty())
            return;
        request_.frame = std::move(frame);
        request_.pending = true;
    }
    Wake();
}

void PreviewChannel::ReadValues(const std::vector<std::u16string>& names)
{
    BusState& bus = *bus_;
    const auto timeoutUs = static_cast<uint64_t>(deadline_.count()) * 1000;
    std::vector<std::string> fresh;
    for (const auto& name : names)
        if (!bus.known.count(name))
            fresh.push_back(Utf16ToUtf8(name));
    if (!fresh.empty()) {
        auto call = bus.data->createMethodCall(bus::kDataCollection, "Volatile");
        call << fresh;
        auto reply = bus.data->callMethod(call, timeoutUs);
        std::vector<bool> anyTime;
        reply >> anyTime;
        for (std::size_t i = 0; i < fresh.size() && i < anyTime.size(); ++i)
            if (anyTime[i])
                bus.volatiles.insert(Utf8ToUtf16(fresh[i]));
        std::lock_guard lock(mutex_);
        snapshot_.volatiles = bus.volatiles;
    }
    const bool anyVolatile =
        std::any_of(names.begin(), names.end(), [&](const auto& n) { return bus.volatiles.count(n) > 0; });
    {
        std::lock_guard lock(mutex_);
        anyVolatile_ = anyVolatile;
    }
    std::set<std::u16string, std::less<>> changed;
    for (const int32_t id : bus.changedIds) {
        auto named = bus.idNames.find(id);
        if (named == bus.idNames.end()) {
            auto call = bus.data->createMethodCall(bus::kDataCollection, "Name");
            call << id;
            auto reply = bus.data->callMethod(call, timeoutUs);
            std::string name;
            reply >> name;
            named = bus.idNames.emplace(id, Utf8ToUtf16(name)).first;
        }
        changed.insert(named->second);
    }
    bus.changedIds.clear();

    std::vector<std::string> wanted;
    std::vector<std::u16string> keys;
    for (const auto& name : names) {
        if (bus.known.count(name) && !bus.volatiles.count(name) && !changed.count(name))
            continue;
        if (std::find(keys.begin(), keys.end(), name) != keys.end())
            continue;
        keys.push_back(name);
        wanted.push_back(Utf16ToUtf8(name));
    }
    if (wanted.empty())
        return;
    auto call = bus.data->createMethodCall(bus::kDataCollection, "Values");
    call << wanted;
    auto reply = bus.data->callMethod(call, timeoutUs);
    std::vector<sdbus::Variant> values;
    reply >> values;
    {
        std::lock_guard lock(mutex_);
        for (std::size_t i = 0; i < keys.size() && i < values.size(); ++i) {
            Variant value;
            if (FAILED(wire::FromBus(values[i], value.Out())))
                value = Variant::FromText(u"Error");
            snapshot_.values[keys[i]] = std::move(value);
        }
        ++snapshot_.valuesRead;
    }
    bus.known.insert(keys.begin(), keys.end());
    if (notify_)
        notify_();
}

void PreviewChannel::MirrorFrame(int display, const std::string& frame)
{
    BusState& bus = *bus_;
    const auto timeoutUs = static_cast<uint64_t>(deadline_.count()) * 1000;
    auto& path = bus.driverPaths[display];
    if (path.empty()) {
        auto& managed = bus.Object(bus::DisplayPath(display));
        auto call = managed.createMethodCall(bus::kManagedDisplay, "GetDriver");
        auto reply = managed.callMethod(call, timeoutUs);
        sdbus::ObjectPath driver;
        reply >> driver;
        path = driver;
    }
    auto& driver = bus.Object(path);
    auto call = driver.createMethodCall(bus::kDisplayDriver, "Write");
    call << Utf16ToUtf8(AnsiToUtf16(frame));
    driver.callMethod(call, timeoutUs);
}

} // namespace pixtera::designer
