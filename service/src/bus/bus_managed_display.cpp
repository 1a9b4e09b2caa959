// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "bus_replies.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {

using namespace reply;

namespace {

std::string Counted(LONG count, const char* one, const char* many)
{
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string QueueEditFailure(IManagedDisplay& display)
{
    VARIANT_BOOL running = 0;
    display.IsRunning(&running);
    return running ? "the queue can only be edited while the display's output is stopped: call StopOutput first"
                   : "pixtera2.xml could not be written (the service's log says why); the change is kept until the "
                     "service ends";
}

std::string QueueIndexFailure(IManagedDisplay& display, int32_t index)
{
    LONG count = 0;
    display.QueueCount(&count);
    return "no queue item " + std::to_string(index) + " (the queue has " + Counted(count, "item", "items") +
           ", numbered from 0)";
}

// The same COM object? Compared by their IUnknown, as COM defines identity.
bool SameObject(IUnknown* a, IUnknown* b)
{
    if (!a || !b)
        return false;
    ComPtr<IUnknown> first;
    ComPtr<IUnknown> second;
    a->QueryInterface(IID_IUnknown, first.OutVoid());
    b->QueryInterface(IID_IUnknown, second.OutVoid());
    return first.get() == second.get();
}

} // namespace

sdbus::ObjectPath BusServer::ExportDisplay(LONG index)
{
    const sdbus::ObjectPath path(bus::DisplayPath(index));
    if (displays_.count(index))
        return path;
    ComPtr<IManagedDisplay> display;
    Check(manager_.displays().Item(index, display.Out()));
    auto object = sdbus::createObject(*connection_, path);
    const char* const i = bus::kManagedDisplay;
    guard_.Method(*object, "GetDriver").onInterface(i).withOutputParamNames("driver").implementedAs([this, display] {
        ComPtr<IDisplayDriver> driver;
        Check(display->GetDriver(driver.Out()));
        // A fault belongs to its own plug-in: one that failed before is passed over, not reported
        // to a client that asked about another.
        std::string failed;
        for (LONG n = 0; n < manager_.drivers().Size(); ++n) {
            const auto record = manager_.drivers().At(n);
            if (record->fault->failed()) {
                failed += (failed.empty() ? "" : ", ") + record->fault->name();
                continue;
            }
            try {
                if (GuardedCall(*record->fault, [&] { return SameObject(record->object.get(), driver.get()); }))
                    return ExportDriver(n);
            } catch (const sdbus::Error&) {
                failed += (failed.empty() ? "" : ", ") + record->fault->name();
            }
        }
        throw wire::ErrorFor(E_FAIL, failed.empty()
                                         ? "the display's driver is not among the drivers"
                                         : "the display's driver is not among the working drivers; failed: " + failed);
    });
    guard_.Method(*object, "IsRunning").onInterface(i).withOutputParamNames("running").implementedAs([display] {
        VARIANT_BOOL running = 0;
        Check(display->IsRunning(&running));
        return running != 0;
    });
    guard_.Method(*object, "StartOutput").onInterface(i).implementedAs([display] {
        Check(display->StartOutput(), [] { return "the output runs already"; });
    });
    guard_.Method(*object, "StopOutput").onInterface(i).implementedAs([display] { Check(display->StopOutput()); });
    guard_.Method(*object, "QueueCount").onInterface(i).withOutputParamNames("count").implementedAs([display] {
        return Long([&](LONG* v) { return display->QueueCount(v); });
    });
    guard_.Method(*object, "AddQueueItem")
        .onInterface(i)
        .withInputParamNames("file", "seconds")
        .implementedAs([display](const std::string& file, int32_t seconds) {
            Check(display->AddQueueItem(BString(std::string_view(file)).get(), seconds),
                  [&] { return QueueEditFailure(*display); });
        });
    guard_.Method(*object, "QueueFile")
        .onInterface(i)
        .withInputParamNames("index")
        .withOutputParamNames("file")
        .implementedAs([display](int32_t n) {
            return Text([&](BSTR* v) { return display->QueueFile(n, v); },
                        [&] { return QueueIndexFailure(*display, n); });
        });
    guard_.Method(*object, "QueueDuration")
        .onInterface(i)
        .withInputParamNames("index")
        .withOutputParamNames("seconds")
        .implementedAs([display](int32_t n) {
            return Long([&](LONG* v) { return display->QueueDuration(n, v); },
                        [&] { return QueueIndexFailure(*display, n); });
        });
    guard_.Method(*object, "SetQueueDuration")
        .onInterface(i)
        .withInputParamNames("index", "seconds")
        .implementedAs([display](int32_t n, int32_t seconds) {
            LONG count = 0;
            display->QueueCount(&count);
            Check(display->SetQueueDuration(n, seconds),
                  [&] { return n < 0 || n >= count ? QueueIndexFailure(*display, n) : QueueEditFailure(*display); });
        });
    guard_.Method(*object, "DeleteQueueItem")
        .onInterface(i)
        .withInputParamNames("index")
        .implementedAs(
            [display](int32_t n) { Check(display->DeleteQueueItem(n), [&] { return QueueEditFailure(*display); }); });
    guard_.Method(*object, "MoveQueueItemUp")
        .onInterface(i)
        .withInputParamNames("index")
        .implementedAs(
            [display](int32_t n) { Check(display->MoveQueueItemUp(n), [&] { return QueueEditFailure(*display); }); });
    guard_.Method(*object, "MoveQueueItemDown")
        .onInterface(i)
        .withInputParamNames("index")
        .implementedAs(
            [display](int32_t n) { Check(display->MoveQueueItemDown(n), [&] { return QueueEditFailure(*display); }); });
    ExportTraffic(*object, index);
    ExportLink(*object, index);
    ExportShown(*object, index);
    ExportPower(*object, index);
    ExportInput(*object, index);
    ExportLeds(*object, index);
    guard_.Method(*object, "BorrowOutput").onInterface(bus::kDisplayLease).implementedAs([this, display, index] {
        auto& clients = borrowers_[index];
        if (clients.empty()) {
            // The first borrower: what the display did before is what the last return restores.
            VARIANT_BOOL running = 0;
            display->IsRunning(&running);
            runningBeforeLease_[index] = running != 0;
        }
        Check(display->StopOutput());
        clients.insert(displays_.at(index)->getCurrentlyProcessedMessage()->getSender());
    });
    guard_.Method(*object, "ReturnOutput").onInterface(bus::kDisplayLease).implementedAs([this, index] {
        if (!ReturnLease(index, displays_.at(index)->getCurrentlyProcessedMessage()->getSender()))
            throw wire::ErrorFor(E_FAIL, "this connection holds no lease on the display");
    });
    object->finishRegistration();
    displays_[index] = std::move(object);
    return path;
}

void BusServer::ExportTraffic(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    // Changes with every frame: read when wanted, never signalled.
    object.registerProperty("LastFrameTraffic")
        .onInterface(bus::kManagedDisplay)
        .withGetter([display] {
            const ManagedDisplay::FrameTraffic traffic = display->lastFrameTraffic();
            return sdbus::Struct<std::int32_t, std::int32_t, std::int64_t, std::int64_t>(
                traffic.bytes, traffic.messages, traffic.clocks, traffic.microseconds);
        })
        .withUpdateBehavior(sdbus::Flags::EMITS_NO_SIGNAL);
    // Per second, announced when it changed (EmitThroughput): a static screen costs nothing.
    object.registerProperty("Throughput").onInterface(bus::kManagedDisplay).withGetter([this, index] {
        const Throughput& now = throughput_[index].announced();
        return sdbus::Struct<std::int32_t, std::int32_t, std::int64_t>(now.frames, now.bytes, now.microseconds);
    });
    display->ObserveFrames([this, index] { PostFrameWritten(index); });
    throughput_[index].Start(display->TakeTrafficTotals());
}

void BusServer::PostFrameWritten(LONG index)
{
    {
        std::lock_guard lock(framesMutex_);
        framesWritten_.insert(index);
    }
    PostWake(framesPending_);
}

std::optional<ThroughputWindow::Clock::time_point> BusServer::EmitThroughput()
{
    const auto now = ThroughputWindow::Clock::now();
    if (framesPending_.exchange(false)) {
        std::set<LONG> written;
        {
            std::lock_guard lock(framesMutex_);
            written.swap(framesWritten_);
        }
        for (LONG index : written)
            throughput_[index].Noticed(now);
    }
    std::optional<ThroughputWindow::Clock::time_point> next;
    std::vector<ComPtr<ManagedDisplay>> displays; // asked for only when a window is due
    for (auto it = throughput_.begin(); it != throughput_.end();) {
        auto& [index, window] = *it;
        if (window.Due(now)) {
            if (displays.empty())
                displays = manager_.displays().Displays();
            if (index < 0 || static_cast<std::size_t>(index) >= displays.size()) {
                it = throughput_.erase(it); // a display that went: nothing to measure
                continue;
            }
            ManagedDisplay& display = *displays[static_cast<std::size_t>(index)];
            // A window that goes on needs no word of the next frame; one that ends does.
            TrafficTotals totals = display.TrafficTotalsNow();
            if (window.EndsWith(totals))
                totals = display.TakeTrafficTotals();
            const auto changed = window.Close(now, totals);
            if (const auto object = displays_.find(index); changed && object != displays_.end())
                object->second->emitPropertiesChangedSignal(bus::kManagedDisplay, {"Throughput"});
        }
        if (const auto deadline = window.deadline(); deadline && (!next || *deadline < *next))
            next = deadline;
        ++it;
    }
    return next;
}

void BusServer::ExportLink(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    links_[index] = display->link();
    if (display->reportsLink())
        polledLinks_.insert(index);
    // As last polled, so that a client reads what PropertiesChanged announced.
    object.registerProperty("Linked").onInterface(bus::kManagedDisplay).withGetter([this, index] {
        return links_[index].linked;
    });
    object.registerProperty("OutageSince").onInterface(bus::kManagedDisplay).withGetter([this, index] {
        return static_cast<std::int64_t>(links_[index].outageSince);
    });
}

std::optional<std::chrono::steady_clock::time_point> BusServer::EmitLinkChanges()
{
    constexpr auto kLinkPoll = std::chrono::seconds(1); // as often as a display's traffic is measured
    if (polledLinks_.empty())
        return std::nullopt;
    const auto now = std::chrono::steady_clock::now();
    if (now < nextLinkPoll_)
        return linkDown_ ? std::optional(nextLinkPoll_) : std::nullopt;
    nextLinkPoll_ = now + kLinkPoll;
    linkDown_ = false;
    const auto displays = manager_.displays().Displays();
    for (auto it = polledLinks_.begin(); it != polledLinks_.end();) {
        const LONG index = *it;
        if (index < 0 || static_cast<std::size_t>(index) >= displays.size()) {
            it = polledLinks_.erase(it); // a display that went: nothing to ask
            continue;
        }
        const ManagedDisplay::Link link = displays[static_cast<std::size_t>(index)]->link();
        linkDown_ = linkDown_ || !link.linked;
        if (std::exchange(links_[index], link) != link)
            if (const auto object = displays_.find(index); object != displays_.end())
                object->second->emitPropertiesChangedSignal(bus::kManagedDisplay, {"Linked", "OutageSince"});
        ++it;
    }
    return linkDown_ ? std::optional(nextLinkPoll_) : std::nullopt;
}

void BusServer::ExportShown(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    guard_.Method(object, "ShowQueueItem")
        .onInterface(bus::kManagedDisplay)
        .withInputParamNames("index", "holdSeconds")
        .implementedAs([display](int32_t n, std::uint32_t holdSeconds) {
            Check(display->ShowQueueItem(n, holdSeconds), [&] { return QueueIndexFailure(*display, n); });
        });
    // Changes with the design shown, not with its frames: cheap enough to signal.
    object.registerProperty("ShownQueueItem").onInterface(bus::kManagedDisplay).withGetter([display] {
        return static_cast<std::int32_t>(display->shownQueueItem());
    });
    display->ObserveShown([this, index] { PostShownChange(index); });
}

} // namespace pixtera
