// SPDX-License-Identifier: MIT
#pragma once
// The service's objects on the session bus: a thin adaptor from D-Bus calls to the Manager and
// the objects reached from it. Owning the service name is what registering the Manager class for
// local-server use means here; destroying the server gives the name back. The connection, its
// loop, the clients' references and leases live in bus_server.cpp; each interface's handlers in
// its own bus_<interface>.cpp.
//
// Any program on the session bus may call these methods with anything and send this connection
// any signal: every handler runs under guard_, so what a call throws is answered as an error and
// a signal that cannot be read is dropped, never the end of the service.
//
// Threads: every method handler runs on the bus thread, which alone uses the connection, the
// objects and the tables below after construction; it also emits the change signals, so that the
// connection is never used by two threads at once.

#include "manager.h"
#include "throughput_window.h"

#include <pixtera/bus/handler_guard.h>
#include <pixtera/platform/thread.h>

#include <sdbus-c++/sdbus-c++.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace pixtera {

class BusServer {
public:
    // Throws sdbus::Error when there is no session bus.
    explicit BusServer(Manager& manager);
    BusServer(const BusServer&) = delete;
    BusServer& operator=(const BusServer&) = delete;
    ~BusServer();

private:
    void ExportAll();
    void ExportManager();
    void ExportDriverManager();
    void ExportDataManager();
    void ExportDisplayManager();
    void ExportFeed();
    // Hands a pushed value to the provider that takes its name; throws a bus error saying why not.
    void Feed(const std::string& name, const sdbus::Variant& value);
    sdbus::ObjectPath ExportDisplay(LONG index);
    // The display's org.pixtera.IDisplayPower: the backlight, the brightness and the blanking.
    void ExportPower(sdbus::IObject& object, LONG index);
    // The display's org.pixtera.IDisplayInput, when its driver has keys.
    void ExportInput(sdbus::IObject& object, LONG index);
    // The display's org.pixtera.IDisplayLeds, when its driver has LEDs.
    void ExportLeds(sdbus::IObject& object, LONG index);
    // The display's LastFrameTraffic (org.pixtera.IManagedDisplay): zeros unless its driver measures.
    void ExportTraffic(sdbus::IObject& object, LONG index);
    // The display's Linked and OutageSince (org.pixtera.IManagedDisplay), as last polled.
    void ExportLink(sdbus::IObject& object, LONG index);
    // At most once a second, whenever the loop runs, asks the drivers that say whether their
    // module is linked and announces those that changed; when to ask next: while a module is away.
    // Frames being written wake the loop every second anyway (their traffic); a still screen on a
    // linked module costs no wake-up, as nothing sent to it could find it gone.
    std::optional<std::chrono::steady_clock::time_point> EmitLinkChanges();
    // The display's ShowQueueItem and ShownQueueItem (org.pixtera.IManagedDisplay).
    void ExportShown(sdbus::IObject& object, LONG index);
    // From any thread: the queue item a display shows changed; announced on the bus thread.
    void PostShownChange(LONG display);
    void EmitShownChanges();
    // KeyPressed for the keys that waited.
    void EmitKeys();
    // MenuEvent for the events the displays' menus published.
    void EmitMenuEvents();
    // From the refresh thread: display `index` wrote a frame, the first since its window looked.
    void PostFrameWritten(LONG index);
    // Opens the windows of the displays that wrote, closes those due and announces what changed
    // (Throughput); the earliest deadline of those open.
    std::optional<ThroughputWindow::Clock::time_point> EmitThroughput();
    sdbus::ObjectPath ExportDriver(LONG index);
    void ExportLifetime(sdbus::IObject& object);
    void ForgetClient(const std::string& client);
    // Emits ValuesChanged with the ids changed since the last time, if any.
    void EmitChangedValues();
    // Starts the display again when its last borrower has returned it, if it ran before it was
    // lent; false when `client` held
    // no lease on it.
    bool ReturnLease(LONG display, const std::string& client);
    void RunLoop();
    // From any thread: sets `flag` and wakes the bus thread.
    void PostWake(std::atomic<bool>& flag);
    // From any thread: a display's backlight or blanking changed; announced on the bus thread.
    void PostPowerChange(LONG display);
    void EmitPowerChanges();

    Manager& manager_;
    bus::HandlerGuard guard_{"The service's bus objects"};
    std::unique_ptr<sdbus::IConnection> connection_;
    std::vector<std::unique_ptr<sdbus::IObject>> objects_;
    std::map<LONG, std::unique_ptr<sdbus::IObject>> displays_;
    std::map<LONG, std::unique_ptr<sdbus::IObject>> drivers_;
    std::unique_ptr<sdbus::IProxy> bus_; // for NameOwnerChanged
    std::map<std::string, std::uint32_t> references_; // Manager references per client connection
    std::map<LONG, std::set<std::string>> borrowers_; // clients holding each display's output
    std::map<LONG, bool> runningBeforeLease_; // each lent display's state before its first lease
    sdbus::IObject* managerObject_ = nullptr;
    sdbus::IObject* dataObject_ = nullptr;
    bool ownsName_ = false;
    std::atomic<bool> leaving_{false};
    int wakeFd_ = -1; // ends the loop's wait
    std::atomic<bool> valuesPending_{false}; // a stored value changed since the bus thread looked
    std::atomic<bool> powerPending_{false};
    std::atomic<bool> keysPending_{false};
    std::atomic<bool> menuEventsPending_{false};
    // The bus's share of the keys: a signal each, at most kKeysWaiting waiting (see KeyEvents).
    static constexpr std::size_t kKeysWaiting = 64;
    const std::shared_ptr<KeyQueue> keys_ =
        std::make_shared<KeyQueue>("the bus", kKeysWaiting, [this] { PostWake(keysPending_); });
    std::mutex powerMutex_; // guards powerChanged_
    std::set<LONG> powerChanged_;
    std::atomic<bool> shownPending_{false};
    std::mutex shownMutex_; // guards shownChanged_
    std::set<LONG> shownChanged_;
    std::atomic<bool> framesPending_{false};
    std::mutex framesMutex_; // guards framesWritten_
    std::set<LONG> framesWritten_;
    std::map<LONG, ThroughputWindow> throughput_; // the bus thread's
    // The bus thread's: each display's link as last polled (a driver that does not say: linked),
    // the displays whose drivers say, and when they are asked next.
    std::map<LONG, ManagedDisplay::Link> links_;
    std::set<LONG> polledLinks_;
    std::chrono::steady_clock::time_point nextLinkPoll_{};
    bool linkDown_ = false; // some display's module was away when last asked
    Thread loop_;
};

} // namespace pixtera
