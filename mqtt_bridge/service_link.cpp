// SPDX-License-Identifier: MIT
#include "service_link.h"

#include "display_signals.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>
#include <pixtera/remote/service_name.h>

#include <algorithm>
#include <map>

namespace pixtera::bridge {
namespace {

// What a value on the bus says: numbers of any width as numbers, texts and flags as texts; an
// empty value (ay) or anything else as nothing.
std::optional<mqtt::Value> FromVariant(const sdbus::Variant& value)
{
    const std::string type = value.peekValueType();
    if (type == "d")
        return value.get<double>();
    if (type == "n")
        return static_cast<double>(value.get<std::int16_t>());
    if (type == "i")
        return static_cast<double>(value.get<std::int32_t>());
    if (type == "u")
        return static_cast<double>(value.get<std::uint32_t>());
    if (type == "x")
        return static_cast<double>(value.get<std::int64_t>());
    if (type == "b")
        return value.get<bool>() ? 1.0 : 0.0;
    if (type == "s")
        return value.get<std::string>();
    return std::nullopt;
}

} // namespace

bool ServiceAway(const sdbus::Error& error)
{
    // sd-bus names a local failure of the connection (ENOTCONN, EPIPE ...) System.Error.<errno>.
    return wire::HresultOf(error) == RPC_E_DISCONNECTED || error.getName().rfind("System.Error.", 0) == 0;
}

std::string RefusalReason(const sdbus::Error& error)
{
    const bool ours = error.getName().rfind(bus::kErrorPrefix, 0) == 0;
    if (std::string reason = wire::ReasonOf(error); ours && !reason.empty())
        return reason;
    return error.getName() + (error.getMessage().empty() ? "" : " (" + error.getMessage() + ")");
}

ServiceLink::ServiceLink(std::function<void()> valuesChanged, std::function<void()> powerChanged,
                         DisplaySignals displays)
    : calls_(sdbus::createSessionBusConnection()),
      signals_(sdbus::createSessionBusConnection()),
      data_(sdbus::createProxy(*calls_, bus::kServiceName, bus::kDataManagerPath))
{
    WatchServiceOwner();
    // The match names the service by its well-known name: it holds across restarts. A forged
    // signal would only wake the bridge, but each wake is a round of calls to the service.
    watchedData_ = sdbus::createProxy(*signals_, bus::kServiceName, bus::kDataManagerPath);
    watchedData_->registerSignalHandler(bus::kDataCollection, "ValuesChanged",
                                        guard_.OnSignalFrom(
                                            [this] {
                                                std::lock_guard lock(ownerMutex_);
                                                return serviceOwner_;
                                            },
                                            "ValuesChanged",
                                            [valuesChanged](const std::vector<std::int32_t>&) { valuesChanged(); }));
    watchedData_->finishRegistration();
    // Every display's power: one match on the properties interface, for any display object.
    signals_->addMatch("type='signal',sender='" + std::string(bus::kServiceName) +
                           "',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',arg0='" +
                           bus::kDisplayPower + "'",
                       guard_.OnMessage("PropertiesChanged",
                                        [this, powerChanged](sdbus::Message& message) {
                                            if (FromService(message, "PropertiesChanged"))
                                                powerChanged();
                                        }),
                       sdbus::floating_slot);
    // The LEDs are published with the power: one more match, the same wake.
    signals_->addMatch("type='signal',sender='" + std::string(bus::kServiceName) +
                           "',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',arg0='" +
                           bus::kDisplayLeds + "'",
                       guard_.OnMessage("PropertiesChanged",
                                        [this, powerChanged](sdbus::Message& message) {
                                            if (FromService(message, "PropertiesChanged"))
                                                powerChanged();
                                        }),
                       sdbus::floating_slot);
    WatchDisplays(std::move(displays));
    signals_->enterEventLoopAsync();
}

// Who owns the service's name, as only the bus says: a signal addressed to this connection
// passes a match on that name whoever sends it. Watched before it is asked, so no change is missed.
void ServiceLink::WatchServiceOwner()
{
    signals_->addMatch(
        "type='signal',sender='" + std::string(bus::kBusDaemonName) +
            "',interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='" + bus::kServiceName + "'",
        guard_.OnSignalFrom(bus::kBusDaemonName, "NameOwnerChanged",
                            [this](const std::string& name, const std::string&, const std::string& owner) {
                                if (name != bus::kServiceName)
                                    return;
                                std::lock_guard lock(ownerMutex_);
                                serviceOwner_ = owner;
                            }),
        sdbus::floating_slot);
    std::string owner = remote::ServiceNameOwner(*signals_);
    std::lock_guard lock(ownerMutex_);
    serviceOwner_ = std::move(owner);
}

bool ServiceLink::FromService(const sdbus::Message& message, std::string_view what) const
{
    {
        std::lock_guard lock(ownerMutex_);
        if (!serviceOwner_.empty() && message.getSender() == serviceOwner_)
            return true;
    }
    guard_.Dropped(message, what, "it does not come from the service");
    return false;
}

// The displays' keys: a match on the service's name, its sender checked, the display read from
// the signal's path and its key checked, so that nothing but a display's key reaches the broker.
void ServiceLink::WatchDisplays(DisplaySignals displays)
{
    if (displays.keyPressed)
        signals_->addMatch("type='signal',sender='" + std::string(bus::kServiceName) + "',interface='" +
                               bus::kDisplayInput + "',member='KeyPressed'",
                           guard_.OnMessage("KeyPressed",
                                            [this, pressed = std::move(displays.keyPressed)](sdbus::Message& message) {
                                                if (!FromService(message, "KeyPressed"))
                                                    return true;
                                                bool noKey = false;
                                                const auto key = ReadKeyPressed(message, noKey);
                                                if (noKey)
                                                    guard_.Dropped(message, "KeyPressed", "it names no key");
                                                else if (!key)
                                                    return false;
                                                else
                                                    pressed(key->display, key->key);
                                                return true;
                                            }),
                           sdbus::floating_slot);
    if (displays.menuEvent)
        signals_->addMatch("type='signal',sender='" + std::string(bus::kServiceName) + "',interface='" +
                               bus::kDisplayInput + "',member='MenuEvent'",
                           guard_.OnMessage("MenuEvent",
                                            [this, published = std::move(displays.menuEvent)](sdbus::Message& message) {
                                                if (!FromService(message, "MenuEvent"))
                                                    return true;
                                                bool badName = false;
                                                const auto event = ReadMenuEvent(message, badName);
                                                if (badName)
                                                    guard_.Dropped(message, "MenuEvent", "it names no event");
                                                else if (!event)
                                                    return false;
                                                else
                                                    published(event->display, event->name);
                                                return true;
                                            }),
                           sdbus::floating_slot);
    if (!displays.trafficChanged && !displays.screenChanged && !displays.linkChanged)
        return;
    // One match for the displays' own properties; which changed says who is told.
    signals_->addMatch("type='signal',sender='" + std::string(bus::kServiceName) +
                           "',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',arg0='" +
                           bus::kManagedDisplay + "'",
                       guard_.OnMessage("PropertiesChanged",
                                        [this, traffic = std::move(displays.trafficChanged),
                                         screen = std::move(displays.screenChanged),
                                         link = std::move(displays.linkChanged)](sdbus::Message& message) {
                                            if (!FromService(message, "PropertiesChanged"))
                                                return true;
                                            const auto display = DisplayOfPath(message.getPath());
                                            if (!display)
                                                return false;
                                            std::string interface;
                                            std::map<std::string, sdbus::Variant> changed;
                                            message >> interface >> changed;
                                            if (traffic && changed.contains("Throughput"))
                                                traffic(*display);
                                            if (screen && changed.contains("ShownQueueItem"))
                                                screen();
                                            if (link && (changed.contains("Linked") || changed.contains("OutageSince")))
                                                link(*display);
                                            return true;
                                        }),
                       sdbus::floating_slot);
}

ServiceLink::~ServiceLink() { signals_->leaveEventLoop(); }

int ServiceLink::ItemCount()
{
    std::int32_t count = 0;
    data_->callMethod("Count").onInterface(bus::kDataCollection).storeResultsTo(count);
    return count;
}

std::vector<std::string> ServiceLink::ItemNames()
{
    const std::int32_t count = ItemCount();
    std::vector<std::string> names;
    for (std::int32_t id = 1; id <= count; ++id) {
        std::string name;
        data_->callMethod("Name").onInterface(bus::kDataCollection).withArguments(id).storeResultsTo(name);
        names.push_back(std::move(name));
    }
    return names;
}

std::vector<std::optional<mqtt::Value>> ServiceLink::Values(const std::vector<std::string>& names)
{
    std::vector<sdbus::Variant> values;
    data_->callMethod("Values").onInterface(bus::kDataCollection).withArguments(names).storeResultsTo(values);
    std::vector<std::optional<mqtt::Value>> result;
    for (const auto& value : values)
        result.push_back(FromVariant(value));
    return result;
}

int ServiceLink::DisplayCount()
{
    auto manager = sdbus::createProxy(*calls_, bus::kServiceName, bus::kDisplayManagerPath);
    std::int32_t count = 0;
    manager->callMethod("Count").onInterface(bus::kDisplayManager).storeResultsTo(count);
    return count;
}

std::unique_ptr<sdbus::IProxy> ServiceLink::Display(int display)
{
    return sdbus::createProxy(*calls_, bus::kServiceName, bus::DisplayPath(display));
}

bool ServiceLink::Backlight(int display)
{
    return Display(display)->getProperty("Backlight").onInterface(bus::kDisplayPower).get<bool>();
}

int ServiceLink::PowerCaps(int display)
{
    return Display(display)->getProperty("Caps").onInterface(bus::kDisplayPower).get<std::int32_t>();
}

void ServiceLink::SetBacklight(int display, bool on)
{
    Display(display)->callMethod("SetBacklight").onInterface(bus::kDisplayPower).withArguments(on);
}

void ServiceLink::SetBrightness(int display, int percent)
{
    Display(display)
        ->callMethod("SetBrightness")
        .onInterface(bus::kDisplayPower)
        .withArguments(static_cast<std::uint8_t>(percent));
}

void ServiceLink::SetMessage(const std::string& text)
{
    auto feed = sdbus::createProxy(*calls_, bus::kServiceName, bus::kFeedPath);
    feed->callMethod("SetValue")
        .onInterface(bus::kDataFeed)
        .withArguments(std::string("message"), sdbus::Variant(text));
}

ServiceLink::Facts ServiceLink::DisplayFacts(int display)
{
    sdbus::ObjectPath path;
    Display(display)->callMethod("GetDriver").onInterface(bus::kManagedDisplay).storeResultsTo(path);
    auto driver = sdbus::createProxy(*calls_, bus::kServiceName, path);
    Facts facts;
    std::int32_t value = 0;
    driver->callMethod("GetColumns").onInterface(bus::kDisplayDriver).storeResultsTo(value);
    facts.columns = value;
    driver->callMethod("GetRows").onInterface(bus::kDisplayDriver).storeResultsTo(value);
    facts.rows = value;
    try {
        driver->callMethod("GetPluginName").onInterface(bus::kPluginInfo).storeResultsTo(facts.driver);
    } catch (const sdbus::Error& error) {
        if (ServiceAway(error))
            throw;
    }
    return facts;
}

std::optional<DisplayThroughput> ServiceLink::Throughput(int display)
{
    try {
        const auto value = Display(display)
                               ->getProperty("Throughput")
                               .onInterface(bus::kManagedDisplay)
                               .get<sdbus::Struct<std::int32_t, std::int32_t, std::int64_t>>();
        return DisplayThroughput{std::get<0>(value), std::get<1>(value), std::get<2>(value)};
    } catch (const sdbus::Error& error) {
        if (ServiceAway(error))
            throw;
        return std::nullopt;
    }
}

std::optional<DisplayLink> ServiceLink::Link(int display)
{
    try {
        const auto object = Display(display);
        const bool linked = object->getProperty("Linked").onInterface(bus::kManagedDisplay).get<bool>();
        const auto since = object->getProperty("OutageSince").onInterface(bus::kManagedDisplay).get<std::int64_t>();
        return linked ? DisplayLink{} : DisplayLink{false, std::max<std::int64_t>(since, 0)};
    } catch (const sdbus::Error& error) {
        if (ServiceAway(error))
            throw;
        return std::nullopt;
    }
}

bool ServiceLink::HasKeys(int display)
{
    std::string xml;
    Display(display)->callMethod("Introspect").onInterface("org.freedesktop.DBus.Introspectable").storeResultsTo(xml);
    return xml.find("\"" + std::string(bus::kDisplayInput) + "\"") != std::string::npos;
}

bool ServiceLink::Blanked(int display)
{
    return Display(display)->getProperty("Blanked").onInterface(bus::kDisplayPower).get<bool>();
}

bool ServiceLink::Running(int display)
{
    bool running = false;
    Display(display)->callMethod("IsRunning").onInterface(bus::kManagedDisplay).storeResultsTo(running);
    return running;
}

void ServiceLink::ShowOver(int display, const std::string& frame)
{
    auto object = Display(display);
    object->callMethod("BorrowOutput").onInterface(bus::kDisplayLease);
    sdbus::ObjectPath path;
    object->callMethod("GetDriver").onInterface(bus::kManagedDisplay).storeResultsTo(path);
    sdbus::createProxy(*calls_, bus::kServiceName, path)
        ->callMethod("Write")
        .onInterface(bus::kDisplayDriver)
        .withArguments(frame);
}

void ServiceLink::GiveBack(int display)
{
    Display(display)->callMethod("ReturnOutput").onInterface(bus::kDisplayLease);
}

std::vector<std::string> ServiceLink::QueueFiles(int display, std::size_t most)
{
    auto object = Display(display);
    std::int32_t count = 0;
    object->callMethod("QueueCount").onInterface(bus::kManagedDisplay).storeResultsTo(count);
    std::vector<std::string> files;
    for (std::int32_t n = 0; n < count && files.size() < most; ++n) {
        std::string file;
        object->callMethod("QueueFile").onInterface(bus::kManagedDisplay).withArguments(n).storeResultsTo(file);
        files.push_back(std::move(file));
    }
    return files;
}

std::vector<QueueEntry> ServiceLink::Queue(int display, std::size_t most)
{
    auto object = Display(display);
    std::vector<QueueEntry> entries;
    for (std::string& file : QueueFiles(display, most)) {
        std::int32_t seconds = 0;
        object->callMethod("QueueDuration")
            .onInterface(bus::kManagedDisplay)
            .withArguments(static_cast<std::int32_t>(entries.size()))
            .storeResultsTo(seconds);
        entries.push_back({std::move(file), seconds});
    }
    return entries;
}

void ServiceLink::ReplaceQueue(int display, const std::vector<QueueEntry>& entries)
{
    const bool running = Running(display);
    auto object = Display(display);
    object->callMethod("StopOutput").onInterface(bus::kManagedDisplay);
    const auto start = [&] {
        if (running)
            object->callMethod("StartOutput").onInterface(bus::kManagedDisplay);
    };
    try {
        std::int32_t count = 0;
        object->callMethod("QueueCount").onInterface(bus::kManagedDisplay).storeResultsTo(count);
        for (std::int32_t n = count - 1; n >= 0; --n)
            object->callMethod("DeleteQueueItem").onInterface(bus::kManagedDisplay).withArguments(n);
        for (const QueueEntry& entry : entries)
            object->callMethod("AddQueueItem")
                .onInterface(bus::kManagedDisplay)
                .withArguments(entry.file, static_cast<std::int32_t>(entry.seconds));
    } catch (const sdbus::Error& error) {
        // A refused edit (the configuration could not be written) leaves the display showing
        // what it has, not stopped.
        if (!ServiceAway(error))
            start();
        throw;
    }
    start();
}

int ServiceLink::ShownQueueItem(int display)
{
    return Display(display)->getProperty("ShownQueueItem").onInterface(bus::kManagedDisplay).get<std::int32_t>();
}

void ServiceLink::ShowQueueItem(int display, int index, unsigned holdSeconds)
{
    Display(display)
        ->callMethod("ShowQueueItem")
        .onInterface(bus::kManagedDisplay)
        .withArguments(static_cast<std::int32_t>(index), static_cast<std::uint32_t>(holdSeconds));
}

} // namespace pixtera::bridge
