// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include "signal_throttle.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/plugin_info.h>

namespace pixtera {
namespace {

using wire::Check;

// Failures get a sentence after their code where a client can do something about them.
auto NoSentence = [] { return std::string(); };

template <class Getter, class Why = decltype(NoSentence)>
int32_t Long(Getter getter, Why why = NoSentence)
{
    LONG value = 0;
    const HRESULT hr = getter(&value);
    if (FAILED(hr))
        throw why().empty() ? wire::ErrorFor(hr) : wire::ErrorFor(hr, why());
    return value;
}

template <class Getter, class Why = decltype(NoSentence)>
std::string Text(Getter getter, Why why = NoSentence)
{
    BString text;
    const HRESULT hr = getter(text.Out());
    if (FAILED(hr))
        throw why().empty() ? wire::ErrorFor(hr) : wire::ErrorFor(hr, why());
    return text.utf8();
}

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

std::string IdFailure(IDataCollection& data, int32_t id)
{
    LONG count = 0;
    data.Count(&count);
    if (count == 0)
        return "no data item with id " + std::to_string(id) + " (there are no data items)";
    return "no data item with id " + std::to_string(id) + " (ids are 1 to " + std::to_string(count) + ")";
}

std::string IndexFailure(const char* what, int32_t index, LONG count)
{
    return std::string("no ") + what + " " + std::to_string(index) + " (there " + (count == 1 ? "is " : "are ") +
           std::to_string(count) + ", numbered from 0)";
}

// A fed text is copied at every poll of its provider and composed into frames: longer than any
// display could show, it is refused.
constexpr std::size_t kMaxFedText = 4096;

// More names in one call than any design shows: reading them all would hold up every other client.
constexpr std::size_t kMaxNamesPerCall = 65536;

void CheckNameCount(const std::vector<std::string>& names)
{
    if (names.size() > kMaxNamesPerCall)
        throw wire::ErrorFor(E_INVALIDARG, "at most " + std::to_string(kMaxNamesPerCall) + " names in one call; got " +
                                               std::to_string(names.size()));
}

// A call into a plug-in made for a bus client, under the plug-in's fault guard: an exception from
// the plug-in (or an earlier fault) reaches the client as RPC_E_SERVERFAULT, never the service.
template <class Call>
auto GuardedCall(PluginFault& fault, Call&& call)
{
    if (fault.failed())
        throw wire::ErrorFor(RPC_E_SERVERFAULT,
                             "the plug-in " + fault.name() + " failed before and is not called again");
    try {
        return call();
    } catch (const sdbus::Error& error) {
        // A failing result code, already on its way to the client; a hosted plug-in whose host
        // failed is a fault as well.
        if (wire::HresultOf(error) == E_PLUGIN_HOST_FAILED)
            fault.Report();
        throw;
    } catch (...) {
        fault.Report();
        throw wire::ErrorFor(RPC_E_SERVERFAULT, "the plug-in " + fault.name() + " threw; it is not called again");
    }
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
    for (const auto& display : manager_.displays().Displays())
        display->ObservePower(nullptr);
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
    try {
        while (!leaving_) {
            while (connection_->processPendingRequest()) {
            }
            EmitPowerChanges();
            const auto now = std::chrono::steady_clock::now();
            if (valuesPending_.exchange(false))
                throttle.Changed(now);
            if (throttle.Due(now)) {
                EmitChangedValues();
                throttle.Announced(now);
            }
            const auto data = connection_->getEventLoopPollData();
            int wait = -1;
            if (const auto deadline = throttle.deadline())
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

void BusServer::ExportManager()
{
    auto object = sdbus::createObject(*connection_, bus::kManagerPath);
    managerObject_ = object.get();
    IManager& manager = manager_;
    guard_.Method(*object, "GetDriverManager")
        .onInterface(bus::kManager)
        .withOutputParamNames("drivers")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDriverManagerPath); });
    guard_.Method(*object, "GetDataManager").onInterface(bus::kManager).withOutputParamNames("data").implementedAs([] {
        return sdbus::ObjectPath(bus::kDataManagerPath);
    });
    guard_.Method(*object, "LoadConfiguration")
        .onInterface(bus::kManager)
        .withInputParamNames("path")
        .withOutputParamNames("completed")
        .implementedAs([this, &manager](const std::string& path) {
            VARIANT_BOOL completed = 0;
            Check(manager.LoadConfiguration(BString(std::string_view(path)).get(), &completed));
            ExportAll(); // the load may have made new drivers and displays
            return completed != 0;
        });
    guard_.Method(*object, "Shutdown").onInterface(bus::kManager).implementedAs([&manager] {
        Check(manager.Shutdown());
    });
    // The designer's Power dialog wrote the user's power policy: it applies from now on.
    guard_.Method(*object, "ReloadPowerPolicy").onInterface(bus::kManager).implementedAs([this] {
        if (PowerPolicy* power = manager_.power())
            power->Reload(ReadPowerSettings());
    });
    guard_.Method(*object, "GetDisplayManager")
        .onInterface(bus::kManager)
        .withOutputParamNames("displays")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDisplayManagerPath); });
    ExportLifetime(*object);
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

void BusServer::ExportDriverManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDriverManagerPath);
    IDriverManager& drivers = manager_.drivers();
    guard_.Method(*object, "AddDriver")
        .onInterface(bus::kDriverManager)
        .withInputParamNames("progId", "configuration", "isolated")
        .withOutputParamNames("created")
        .implementedAs([this, &drivers](const std::string& progId, const std::string& configuration, bool isolated) {
            VARIANT_BOOL created = 0;
            Check(drivers.AddDriver(BString(std::string_view(progId)).get(),
                                    BString(std::string_view(configuration)).get(), isolated ? 1 : 0, &created));
            if (created)
                ExportDriver(manager_.drivers().Size() - 1);
            return created != 0;
        });
    guard_.Method(*object, "Count")
        .onInterface(bus::kDriverManager)
        .withOutputParamNames("count")
        .implementedAs([&drivers] { return Long([&](LONG* v) { return drivers.Count(v); }); });
    guard_.Method(*object, "Item")
        .onInterface(bus::kDriverManager)
        .withInputParamNames("index")
        .withOutputParamNames("driver")
        .implementedAs([this, &drivers](int32_t index) {
            ComPtr<IDispatch> driver;
            Check(drivers.Item(index, driver.Out()), [&] {
                return index < 0 || index >= manager_.drivers().Size()
                           ? IndexFailure("driver", index, manager_.drivers().Size())
                           : std::string("the plug-in has no IDispatch; its object is ") + bus::DriverPath(index);
            });
            return ExportDriver(index);
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

void BusServer::ExportDataManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDataManagerPath);
    dataObject_ = object.get();
    IDataCollection& data = manager_.data();
    object->registerSignal("ValuesChanged")
        .onInterface(bus::kDataCollection)
        .withParameters<std::vector<int32_t>>("ids");
    guard_.Method(*object, "GetDataCollection")
        .onInterface(bus::kDataManager)
        .withOutputParamNames("collection")
        .implementedAs([] { return sdbus::ObjectPath(bus::kDataManagerPath); });
    guard_.Method(*object, "Count")
        .onInterface(bus::kDataCollection)
        .withOutputParamNames("count")
        .implementedAs([&data] { return Long([&](LONG* v) { return data.Count(v); }); });
    guard_.Method(*object, "Value")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("key")
        .withOutputParamNames("value")
        .implementedAs([&data](const sdbus::Variant& key) {
            Variant comKey;
            // A key of a type with no VARIANT form is a key of another type: E_FAIL.
            if (FAILED(wire::FromBus(key, comKey.Out())) || (comKey.vt != VT_BSTR && comKey.vt != VT_I2))
                throw wire::ErrorFor(E_FAIL, "Value takes a name (s) or an id (n); got " + key.peekValueType());
            Variant value;
            Check(data.Value(comKey, value.Out()));
            return wire::ToBus(value);
        });
    // One round trip for all the values a client shows, and which of them it must read every time.
    guard_.Method(*object, "Values")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("names")
        .withOutputParamNames("values")
        .implementedAs([this](const std::vector<std::string>& names) {
            CheckNameCount(names);
            std::vector<sdbus::Variant> values;
            values.reserve(names.size());
            for (const auto& name : names) {
                Variant value;
                if (FAILED(manager_.data().ReadValue(Utf8ToUtf16(name), value.Out())))
                    value = Variant::FromText(u"Error");
                values.push_back(wire::ToBus(value));
            }
            return values;
        });
    guard_.Method(*object, "Volatile")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("names")
        .withOutputParamNames("volatile")
        .implementedAs([this](const std::vector<std::string>& names) {
            CheckNameCount(names);
            std::vector<bool> result;
            for (const auto& name : names)
                result.push_back(manager_.data().HowValueChanges(Utf8ToUtf16(name)) == ValueSource::Changes::AnyTime);
            return result;
        });
    guard_.Method(*object, "Name")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("id")
        .withOutputParamNames("name")
        .implementedAs([&data](int32_t id) {
            return Text([&](BSTR* v) { return data.Name(id, v); }, [&] { return IdFailure(data, id); });
        });
    guard_.Method(*object, "Description")
        .onInterface(bus::kDataCollection)
        .withInputParamNames("id")
        .withOutputParamNames("description")
        .implementedAs([&data](int32_t id) {
            return Text([&](BSTR* v) { return data.Description(id, v); }, [&] { return IdFailure(data, id); });
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

void BusServer::ExportFeed()
{
    auto object = sdbus::createObject(*connection_, bus::kFeedPath);
    guard_.Method(*object, "SetValue")
        .onInterface(bus::kDataFeed)
        .withInputParamNames("name", "value")
        .implementedAs([this](const std::string& name, const sdbus::Variant& value) { Feed(name, value); });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

void BusServer::Feed(const std::string& name, const sdbus::Variant& value)
{
    if (value.peekValueType() == "s") {
        const std::size_t bytes = value.get<std::string>().size();
        if (bytes > kMaxFedText)
            throw wire::ErrorFor(E_INVALIDARG, "a text fed is at most " + std::to_string(kMaxFedText) + " bytes; got " +
                                                   std::to_string(bytes));
    }
    Variant comValue;
    const HRESULT converted = wire::FromBus(value, comValue.Out());
    std::vector<std::string> names;
    const BString wanted(std::string_view{name});
    for (LONG n = 0; n < manager_.drivers().Size(); ++n) {
        const auto record = manager_.drivers().At(n);
        if (!record || record->fault->failed())
            continue;
        const HRESULT hr = GuardedCall(*record->fault, [&]() -> HRESULT {
            const auto feed = record->object.As<IDataFeed>();
            if (!feed)
                return E_NOINTERFACE;
            if (FAILED(converted))
                return DISP_E_TYPEMISMATCH;
            const HRESULT stored = feed->SetValue(wanted.get(), comValue);
            if (stored == DISP_E_UNKNOWNNAME) {
                BString list;
                if (SUCCEEDED(feed->GetFeedNames(list.Out())) && !list.view().empty())
                    names.push_back(list.utf8());
            }
            return stored;
        });
        if (SUCCEEDED(hr))
            return;
        if (hr == DISP_E_TYPEMISMATCH)
            throw wire::ErrorFor(hr, "SetValue takes a number (n, i, u, x, d), a text (s) or a flag (b); got " +
                                         value.peekValueType());
        if (hr != E_NOINTERFACE && hr != DISP_E_UNKNOWNNAME)
            Check(hr);
    }
    std::string known;
    for (const auto& list : names)
        known += (known.empty() ? "" : ",") + list;
    throw wire::ErrorFor(E_INVALIDARG, known.empty() ? "no item can be set: configure Pixtera.BusData with names=..."
                                                     : "no item " + name + " can be set; the names are " + known);
}

void BusServer::ExportDisplayManager()
{
    auto object = sdbus::createObject(*connection_, bus::kDisplayManagerPath);
    IDisplayManager& displays = manager_.displays();
    guard_.Method(*object, "Count")
        .onInterface(bus::kDisplayManager)
        .withOutputParamNames("count")
        .implementedAs([&displays] { return Long([&](LONG* v) { return displays.Count(v); }); });
    guard_.Method(*object, "Item")
        .onInterface(bus::kDisplayManager)
        .withInputParamNames("index")
        .withOutputParamNames("display")
        .implementedAs([this, &displays](int32_t index) {
            ComPtr<IManagedDisplay> display;
            Check(displays.Item(index, display.Out()), [&] {
                LONG count = 0;
                displays.Count(&count);
                return IndexFailure("display", index, count);
            });
            return ExportDisplay(index);
        });
    object->finishRegistration();
    objects_.push_back(std::move(object));
}

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
    ExportPower(*object, index);
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

void BusServer::ExportPower(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    const char* const p = bus::kDisplayPower;
    guard_.Method(object, "SetBacklight").onInterface(p).withInputParamNames("on").implementedAs([display](bool on) {
        Check(display->SetBacklight(on), [] { return "the display's driver has no backlight to switch"; });
    });
    guard_.Method(object, "SetBrightness")
        .onInterface(p)
        .withInputParamNames("percent")
        .implementedAs([display](std::uint8_t percent) {
            Check(display->SetBrightness(percent), [percent] {
                return percent > 100 ? std::string("the brightness is a percentage, 0 to 100")
                                     : "the display's driver cannot dim";
            });
        });
    object.registerProperty("Backlight").onInterface(p).withGetter([display] { return display->backlight(); });
    object.registerProperty("Blanked").onInterface(p).withGetter([display] { return display->blanked(); });
    object.registerProperty("Caps")
        .onInterface(p)
        .withGetter([display] { return static_cast<std::int32_t>(display->powerCaps()); })
        .withUpdateBehavior(sdbus::Flags::CONST_PROPERTY_VALUE); // a driver's capabilities never change
    display->ObservePower([this, index] { PostPowerChange(index); });
}

sdbus::ObjectPath BusServer::ExportDriver(LONG index)
{
    const sdbus::ObjectPath path(bus::DriverPath(index));
    if (drivers_.count(index))
        return path;
    const auto record = manager_.drivers().At(index);
    if (!record)
        throw wire::ErrorFor(E_FAIL);
    const ComPtr<IUnknown> driver = record->object;
    const std::shared_ptr<PluginFault> fault = record->fault;
    auto object = sdbus::createObject(*connection_, path);
    // Every call asks the plug-in for the interface: an object without it answers E_NOINTERFACE.
    // The returned call runs `use` on the interface under the fault guard.
    auto display = [driver, fault](auto use) {
        return GuardedCall(*fault, [&] {
            HRESULT hr = S_OK;
            auto interface = driver.As<IDisplayDriver>(&hr);
            Check(hr);
            return use(*interface);
        });
    };
    auto info = [driver, fault](auto use) {
        return GuardedCall(*fault, [&] {
            HRESULT hr = S_OK;
            auto interface = driver.As<IPluginInfo>(&hr);
            Check(hr);
            return use(*interface);
        });
    };
    const char* const d = bus::kDisplayDriver;
    using Getter = HRESULT (STDMETHODCALLTYPE IDisplayDriver::*)(LONG*);
    for (const auto& [name, getter] :
         std::initializer_list<std::pair<const char*, Getter>>{{"GetColumns", &IDisplayDriver::GetColumns},
                                                               {"GetPixelHeight", &IDisplayDriver::GetPixelHeight},
                                                               {"GetPixelWidth", &IDisplayDriver::GetPixelWidth},
                                                               {"GetCharHeight", &IDisplayDriver::GetCharHeight},
                                                               {"GetCharWidth", &IDisplayDriver::GetCharWidth},
                                                               {"GetRows", &IDisplayDriver::GetRows},
                                                               {"LoaderQuery", &IDisplayDriver::LoaderQuery}}) {
        guard_.Method(*object, name)
            .onInterface(d)
            .withOutputParamNames("value")
            .implementedAs([display, getter = getter] {
                return display([&](IDisplayDriver& driverInterface) {
                    return Long([&](LONG* v) { return (driverInterface.*getter)(v); });
                });
            });
    }
    guard_.Method(*object, "SetBackground")
        .onInterface(d)
        .withInputParamNames("file")
        .implementedAs([display](const std::string& file) {
            const BString text(std::string_view{file});
            display([&](IDisplayDriver& driverInterface) { Check(driverInterface.SetBackground(text.get())); });
        });
    guard_.Method(*object, "SetCustomChar")
        .onInterface(d)
        .withInputParamNames("code", "rows")
        .implementedAs([display](int32_t code, const std::vector<uint8_t>& r) {
            if (r.size() != 8)
                throw wire::ErrorFor(E_INVALIDARG);
            display([&](IDisplayDriver& driverInterface) {
                Check(driverInterface.SetCustomChar(code, r[0], r[1], r[2], r[3], r[4], r[5], r[6], r[7]));
            });
        });
    guard_.Method(*object, "Write")
        .onInterface(d)
        .withInputParamNames("frame")
        .implementedAs([display](const std::string& frame) {
            const BString text(std::string_view{frame});
            display([&](IDisplayDriver& driverInterface) { Check(driverInterface.Write(text.get())); });
        });
    guard_.Method(*object, "GetRom")
        .onInterface(bus::kDisplayCharacterSet)
        .withOutputParamNames("rom")
        .implementedAs([driver, fault] {
            return GuardedCall(*fault, [&] {
                HRESULT hr = S_OK;
                auto characterSet = driver.As<IDisplayCharacterSet>(&hr);
                Check(hr);
                return Text([&](BSTR* v) { return characterSet->GetRom(v); });
            });
        });
    guard_.Method(*object, "GetPluginName")
        .onInterface(bus::kPluginInfo)
        .withOutputParamNames("name")
        .implementedAs(
            [info] { return info([](IPluginInfo& i) { return Text([&](BSTR* v) { return i.GetPluginName(v); }); }); });
    guard_.Method(*object, "GetConfiguration")
        .onInterface(bus::kPluginInfo)
        .withOutputParamNames("configuration")
        .implementedAs([info] {
            return info([](IPluginInfo& i) { return Text([&](BSTR* v) { return i.GetConfiguration(v); }); });
        });
    object->finishRegistration();
    drivers_[index] = std::move(object);
    return path;
}

} // namespace pixtera
