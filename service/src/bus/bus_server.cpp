// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "signal_throttle.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>
#include <pixtera/remote/bus_names.h>

namespace pixtera {

BusServer::BusServer(Manager& manager) : manager_(manager), connection_(sdbus::createSessionBusConnection())
{
    ExportManager();
    ExportDriverManager();
    ExportDataManager();
    ExportDisplayManager();
    ExportFeed();
    ExportAll();

    bus_ = sdbus::createProxy(*connection_, bus::kBusDaemonName, "/org/freedesktop/DBus");
    // Only the bus says who left: a forged farewell would take a client's references and leases.
    bus_->registerSignalHandler(
        "org.freedesktop.DBus", "NameOwnerChanged",
        guard_.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                            [this](const std::string& name, const std::string&, const std::string& newOwner) {
                                if (newOwner.empty())
                                    ForgetClient(name);
                            }));
    bus_->finishRegistration();

    try {
        connection_->requestName(bus::kServiceName);
        ownsName_ = true;
    } catch (const sdbus::Error& error) {
        LogError(std::string("The service name ") + bus::kServiceName + " is taken: " + error.getMessage());
    }
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    loop_ = Thread(kPluginThreadStack, [this] { RunLoop(); });
}

BusServer::~BusServer()
{
    for (const auto& display : manager_.displays().Displays()) {
        display->ObservePower(nullptr);
        display->ObserveShown(nullptr);
        display->ObserveFrames(nullptr);
    }
    leaving_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto woken = write(wakeFd_, &one, sizeof one);
    loop_.join();
    close(wakeFd_);
    try {
        if (ownsName_)
            connection_->releaseName(bus::kServiceName);
    } catch (const sdbus::Error&) {
        // The bus went away first.
    }
}

void BusServer::ExportAll()
{
    const auto displays = static_cast<LONG>(manager_.displays().Displays().size());
    for (LONG index = 0; index < displays; ++index)
        ExportDisplay(index);
    for (LONG index = 0; index < manager_.drivers().Size(); ++index)
        ExportDriver(index);
}

void BusServer::RunLoop()
{
    NameThisThread("px-bus");
    // The connection's own event loop, with the change signals added: calls are handled as they
    // come, and changed values are announced at most every kSignalPeriod, a timer armed only by
    // a change: with nothing changing, the thread sleeps until a call comes.
    constexpr auto kSignalPeriod = std::chrono::milliseconds(250);
    SignalThrottle throttle(kSignalPeriod);
    auto subscription = manager_.data().changeSignal()->Subscribe([this] { PostWake(valuesPending_); });
    auto keySubscription = manager_.displays().keys().Subscribe(keys_);
    auto menuEvents = manager_.menuEvents().Listen([this] { PostWake(menuEventsPending_); });
    try {
        while (!leaving_) {
            while (connection_->processPendingRequest()) {
            }
            EmitPowerChanges();
            EmitShownChanges();
            EmitKeys();
            EmitMenuEvents();
            auto traffic = EmitThroughput();
            if (const auto links = EmitLinkChanges(); links && (!traffic || *links < *traffic))
                traffic = links;
            const auto now = std::chrono::steady_clock::now();
            if (valuesPending_.exchange(false))
                throttle.Changed(now);
            if (throttle.Due(now)) {
                EmitChangedValues();
                throttle.Announced(now);
            }
            const auto data = connection_->getEventLoopPollData();
            int wait = -1;
            auto deadline = throttle.deadline();
            if (traffic && (!deadline || *traffic < *deadline))
                deadline = traffic;
            if (deadline)
                wait = static_cast<int>(
                    std::max<long long>(0, std::chrono::ceil<std::chrono::milliseconds>(*deadline - now).count()));
            if (data.timeout_usec != UINT64_MAX) {
                timespec monotonic{};
                clock_gettime(CLOCK_MONOTONIC, &monotonic);
                const auto current =
                    std::chrono::seconds(monotonic.tv_sec) + std::chrono::nanoseconds(monotonic.tv_nsec);
                const auto due =
                    std::chrono::ceil<std::chrono::milliseconds>(data.getAbsoluteTimeout() - current).count();
                wait = wait < 0 ? static_cast<int>(std::max<long long>(due, 0))
                                : std::min(wait, static_cast<int>(std::max<long long>(due, 0)));
            }
            pollfd fds[2] = {{data.fd, data.events, 0}, {wakeFd_, POLLIN, 0}};
            poll(fds, 2, wait);
            if (fds[1].revents & POLLIN) {
                std::uint64_t ignored = 0;
                [[maybe_unused]] const auto drained = read(wakeFd_, &ignored, sizeof ignored);
            }
        }
    } catch (const sdbus::Error& error) {
        LogError("The session bus connection ended: " + error.getMessage());
    }
}

void BusServer::PostWake(std::atomic<bool>& flag)
{
    flag = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto woken = write(wakeFd_, &one, sizeof one);
}

void BusServer::PostPowerChange(LONG display)
{
    {
        std::lock_guard lock(powerMutex_);
        powerChanged_.insert(display);
    }
    PostWake(powerPending_);
}

void BusServer::EmitPowerChanges()
{
    if (!powerPending_.exchange(false))
        return;
    std::set<LONG> changed;
    {
        std::lock_guard lock(powerMutex_);
        changed.swap(powerChanged_);
    }
    for (LONG index : changed)
        if (const auto object = displays_.find(index); object != displays_.end())
            object->second->emitPropertiesChangedSignal(bus::kDisplayPower, {"Backlight", "Blanked"});
}

void BusServer::PostShownChange(LONG display)
{
    {
        std::lock_guard lock(shownMutex_);
        shownChanged_.insert(display);
    }
    PostWake(shownPending_);
}

void BusServer::EmitShownChanges()
{
    if (!shownPending_.exchange(false))
        return;
    std::set<LONG> changed;
    {
        std::lock_guard lock(shownMutex_);
        changed.swap(shownChanged_);
    }
    for (LONG index : changed)
        if (const auto object = displays_.find(index); object != displays_.end())
            object->second->emitPropertiesChangedSignal(bus::kManagedDisplay, {"ShownQueueItem"});
}

void BusServer::EmitChangedValues()
{
    const std::vector<LONG> changed = manager_.data().TakeChangedIds();
    if (changed.empty() || !dataObject_)
        return;
    dataObject_->emitSignal("ValuesChanged")
        .onInterface(bus::kDataCollection)
        .withArguments(std::vector<int32_t>(changed.begin(), changed.end()));
}

void BusServer::ExportLifetime(sdbus::IObject& object)
{
    guard_.Method(object, "AddRef").onInterface(bus::kLifetime).withOutputParamNames("count").implementedAs([this]() {
        const std::string client = managerObject_->getCurrentlyProcessedMessage()->getSender();
        manager_.AddRef();
        return ++references_[client];
    });
    guard_.Method(object, "Release").onInterface(bus::kLifetime).withOutputParamNames("count").implementedAs([this]() {
        const std::string client = managerObject_->getCurrentlyProcessedMessage()->getSender();
        const auto it = references_.find(client);
        if (it == references_.end() || it->second == 0)
            return std::uint32_t{0};
        const std::uint32_t left = --it->second;
        if (left == 0)
            references_.erase(it);
        manager_.Release();
        return left;
    });
}

void BusServer::ForgetClient(const std::string& client)
{
    // A client that ends without returning a display (a designer that crashed) gives it back.
    for (auto& [display, clients] : borrowers_)
        if (clients.count(client))
            ReturnLease(display, client);
    const auto it = references_.find(client);
    if (it == references_.end())
        return;
    const std::uint32_t held = it->second;
    references_.erase(it);
    for (std::uint32_t i = 0; i < held; ++i)
        manager_.Release();
}

bool BusServer::ReturnLease(LONG display, const std::string& client)
{
    auto& clients = borrowers_[display];
    if (!clients.erase(client))
        return false;
    if (!clients.empty())
        return true;
    // The borrower's frame goes: a display that ran shows its queue again (its greeting when that
    // is empty); one that was stopped before it was lent stays stopped, with its own last frame.
    const auto displays = manager_.displays().Displays();
    if (display < 0 || static_cast<std::size_t>(display) >= displays.size())
        return true;
    ManagedDisplay& managed = *displays[static_cast<std::size_t>(display)];
    managed.DrawnOver();
    if (runningBeforeLease_[display])
        managed.StartOutput();
    else
        managed.ShowOwnFrame();
    return true;
}

} // namespace pixtera
