// SPDX-License-Identifier: MIT
#include "discovery.h"

#include "item_names.h"
#include "message_text.h"

#include <pixtera/sdk/key_names.h>

#include <nlohmann/json.hpp>

#include <ctime>

namespace pixtera::bridge {
namespace {

using Json = nlohmann::ordered_json;

// A name that is no UTF-8 (none comes over the bus) would make dump() throw.
std::string Text(const Json& config) { return config.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string DisplayId(int display) { return "display_" + std::to_string(display); }

// Item ids are A-Z a-z 0-9 _ and -xx in hex: "-d" never starts an escape, so none of these is an
// item's id.
std::string DiagnosticId(int display, Diagnostic what)
{
    switch (what) {
    case Diagnostic::Driver: return DisplayId(display) + "-driver";
    case Diagnostic::Size: return DisplayId(display) + "-size";
    case Diagnostic::Output: break;
    }
    return DisplayId(display) + "-output";
}

std::string DiagnosticLevel(Diagnostic what)
{
    return what == Diagnostic::Driver ? "driver" : what == Diagnostic::Size ? "size" : "output";
}

std::string DiagnosticName(Diagnostic what)
{
    return what == Diagnostic::Driver ? "Driver" : what == Diagnostic::Size ? "Size" : "Output";
}

Json Availability(const std::string& topic)
{
    return Json{{"topic", topic}, {"payload_available", "online"}, {"payload_not_available", "offline"}};
}

} // namespace

Topics::Topics(std::string machine, std::string key)
    : machine_(std::move(machine)), key_(std::move(key)), base_("pixtera/" + machine_)
{
    key_.resize(32, '0');
}

std::string Topics::Value(std::string_view item) const { return base_ + "/" + ValueTopicName(item); }

std::string Topics::DiagnosticState(int display, Diagnostic what) const
{
    return Display(display) + "/" + DiagnosticLevel(what);
}

std::string Topics::ConfigTopic(std::string_view component, std::string_view id) const
{
    return "homeassistant/" + std::string(component) + "/" + NodeId() + "/" + std::string(id) + "/config";
}

namespace {

// What every entity shares: `id` is unique among the entities of its component and makes the
// unique id; `readable` is what Home Assistant names the entity after.
Json Entity(const std::string& name, const std::string& id, const std::string& readable, const std::string& machine,
            const std::string& key)
{
    return Json{{"name", name},
                {"unique_id", "pixtera_" + key.substr(0, 16) + "_" + id},
                {"object_id", "pixtera_" + machine + "_" + readable}};
}

Json MachineDevice(const std::string& machine, const std::string& key)
{
    return Json{{"identifiers", Json::array({"pixtera_" + key.substr(0, 16)})},
                {"name", "Pixtera on " + machine},
                {"manufacturer", "Pixtera"},
                {"model", "pixtera-mqtt"},
                {"sw_version", PIXTERA_VERSION}};
}

} // namespace

std::string Topics::SensorConfigTopic(std::string_view item) const { return ConfigTopic("sensor", ItemObjectId(item)); }

std::string Topics::SensorConfig(std::string_view item) const
{
    Json config = Entity(std::string(item), ItemObjectId(item), ReadableId(item), machine_, key_);
    config["availability_topic"] = Status();
    config["payload_available"] = "online";
    config["payload_not_available"] = "offline";
    config["device"] = MachineDevice(machine_, key_);
    config["state_topic"] = Value(item);
    return Text(config);
}

namespace {

Json DisplayDevice(int display, const std::string& machine, const std::string& key)
{
    return Json{{"identifiers", Json::array({"pixtera_" + key.substr(0, 16) + "_" + DisplayId(display)})},
                {"name", "Display " + std::to_string(display) + " on " + machine},
                {"manufacturer", "Pixtera"},
                {"model", "Character display"},
                {"via_device", "pixtera_" + key.substr(0, 16)}};
}

// A display's entities: on its own device, through the machine's, available while both are.
void OnDisplay(Json& config, int display, const std::string& machine, const std::string& key, const std::string& status,
               const std::string& available)
{
    config["availability"] = Json::array({Availability(status), Availability(available)});
    config["availability_mode"] = "all";
    config["device"] = DisplayDevice(display, machine, key);
}

} // namespace

std::string Topics::LightConfigTopic(int display) const { return ConfigTopic("light", DisplayId(display)); }

std::string Topics::LightConfig(int display, bool dims) const
{
    Json config = Entity("Backlight", DisplayId(display), DisplayId(display), machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["command_topic"] = Backlight(display) + "/set";
    config["state_topic"] = Backlight(display);
    config["payload_on"] = "ON";
    config["payload_off"] = "OFF";
    if (dims) {
        config["brightness_command_topic"] = Brightness(display) + "/set";
        config["brightness_scale"] = 100;
    }
    return Text(config);
}

std::string Topics::NotifyConfigTopic(int display) const { return ConfigTopic("notify", DisplayId(display)); }

std::string Topics::NotifyConfig(int display) const
{
    Json config = Entity("Notification", DisplayId(display) + "_notify", DisplayId(display), machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["command_topic"] = Notify(display);
    return Text(config);
}

std::string Topics::DiagnosticConfigTopic(int display, Diagnostic what) const
{
    return ConfigTopic("sensor", DiagnosticId(display, what));
}

std::string Topics::DiagnosticConfig(int display, Diagnostic what) const
{
    Json config = Entity(DiagnosticName(what), DiagnosticId(display, what),
                         DisplayId(display) + "_" + DiagnosticLevel(what), machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["entity_category"] = "diagnostic";
    config["state_topic"] = DiagnosticState(display, what);
    return Text(config);
}

std::string Topics::ScreenConfigTopic(int display) const
{
    return ConfigTopic("select", DisplayId(display) + "_screen");
}

std::string Topics::ScreenConfig(int display, const std::vector<std::string>& options) const
{
    Json config = Entity("Screen", DisplayId(display) + "_screen", DisplayId(display) + "_screen", machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["command_topic"] = Screen(display) + "/set";
    config["state_topic"] = Screen(display);
    config["options"] = options;
    return Text(config);
}

std::string Topics::LineConfigTopic(int display, int row) const
{
    return ConfigTopic("text", DisplayId(display) + "_line_" + std::to_string(row));
}

std::string Topics::LineConfig(int display, int row, int columns) const
{
    const std::string id = DisplayId(display) + "_line_" + std::to_string(row);
    Json config = Entity("Line " + std::to_string(row), id, id, machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["command_topic"] = Line(display, row) + "/set";
    config["state_topic"] = Line(display, row);
    config["min"] = 0;
    config["max"] = std::min<int>(columns, static_cast<int>(kLongestMessage)); // Home Assistant's most
    config["mode"] = "text";
    return Text(config);
}

namespace {

struct TrafficSensor {
    const char* level; // of its state topic, and its id after "-"
    const char* name;
    const char* unit;
    const char* deviceClass; // none when null
};

// "-fr", "-by", "-bu" start no escape: no item has these ids.
TrafficSensor SensorOf(Traffic what)
{
    switch (what) {
    case Traffic::Frames: return {"frames", "Frames per second", "fps", nullptr};
    case Traffic::Bytes: return {"bytes", "Bytes per second", "B/s", "data_rate"};
    case Traffic::BusTime: break;
    }
    return {"bus_time", "Last frame's bus time", "ms", "duration"};
}

} // namespace

std::vector<std::string> KeyEventTypes()
{
    std::vector<std::string> types;
    for (const auto& [code, name] : kNamedKeys)
        types.emplace_back(name);
    for (LONG key = kKeyF1; key <= kKeyF8; ++key)
        types.push_back(KeyName(key));
    types.emplace_back("Raw");
    return types;
}

std::string KeyEventPayload(const std::string& key, int presses)
{
    constexpr std::string_view kRaw = "Raw:";
    Json event;
    if (key.starts_with(kRaw)) {
        event["event_type"] = "Raw";
        event["code"] = key.substr(kRaw.size());
    } else {
        event["event_type"] = key;
    }
    if (presses > 1)
        event["presses"] = presses;
    return Text(event);
}

std::string LinkAttributesPayload(std::int64_t outageSince)
{
    Json attributes{{"outage_since", nullptr}};
    const auto at = static_cast<std::time_t>(outageSince);
    std::tm utc{};
    char text[40];
    if (outageSince > 0 && gmtime_r(&at, &utc) && std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S+00:00", &utc))
        attributes["outage_since"] = text;
    return Text(attributes);
}

std::string Topics::TrafficState(int display, Traffic what) const
{
    return Display(display) + "/" + SensorOf(what).level;
}

std::string Topics::EventConfigTopic(int display) const { return ConfigTopic("event", DisplayId(display)); }

std::string Topics::EventConfig(int display) const
{
    Json config = Entity("Keys", DisplayId(display) + "_keys", DisplayId(display) + "_keys", machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["state_topic"] = Key(display);
    config["event_types"] = KeyEventTypes();
    config["device_class"] = "button";
    return Text(config);
}

std::string Topics::TrafficConfigTopic(int display, Traffic what) const
{
    return ConfigTopic("sensor", DisplayId(display) + "-" + SensorOf(what).level);
}

std::string Topics::TrafficConfig(int display, Traffic what) const
{
    const TrafficSensor sensor = SensorOf(what);
    Json config = Entity(sensor.name, DisplayId(display) + "-" + sensor.level, DisplayId(display) + "_" + sensor.level,
                         machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    config["entity_category"] = "diagnostic";
    config["state_topic"] = TrafficState(display, what);
    config["unit_of_measurement"] = sensor.unit;
    if (sensor.deviceClass)
        config["device_class"] = sensor.deviceClass;
    config["state_class"] = "measurement";
    return Text(config);
}

// "-li" starts no escape either.
std::string Topics::LinkConfigTopic(int display) const { return ConfigTopic("sensor", DisplayId(display) + "-link"); }

std::string Topics::LinkConfig(int display) const
{
    Json config = Entity("Link", DisplayId(display) + "-link", DisplayId(display) + "_link", machine_, key_);
    // The machine's availability alone: the display's is offline exactly when this has news.
    config["availability_topic"] = Status();
    config["payload_available"] = "online";
    config["payload_not_available"] = "offline";
    config["device"] = DisplayDevice(display, machine_, key_);
    config["entity_category"] = "diagnostic";
    config["state_topic"] = LinkState(display);
    config["json_attributes_topic"] = LinkAttributes(display);
    config["device_class"] = "enum";
    config["options"] = Json::array({"connected", "outage"});
    return Text(config);
}

std::string Topics::TextConfigTopic() const { return ConfigTopic("text", "message"); }

std::string Topics::TextConfig() const
{
    Json config = Entity("Message", "message", "message", machine_, key_);
    config["availability_topic"] = Status();
    config["payload_available"] = "online";
    config["payload_not_available"] = "offline";
    config["device"] = MachineDevice(machine_, key_);
    config["command_topic"] = Message() + "/set";
    config["state_topic"] = Message();
    config["max"] = kLongestMessage;
    return Text(config);
}

namespace {

// homeassistant/<component>/<node>/<id>/config, each a level of its own
bool IsNodeConfigTopic(std::string_view topic, const std::string& nodeId)
{
    const std::string node = "/" + nodeId + "/";
    constexpr std::string_view kPrefix = "homeassistant/";
    constexpr std::string_view kSuffix = "/config";
    if (!topic.starts_with(kPrefix) || !topic.ends_with(kSuffix) || topic.size() < kPrefix.size() + kSuffix.size())
        return false;
    const std::string_view levels = topic.substr(kPrefix.size(), topic.size() - kPrefix.size() - kSuffix.size());
    const auto at = levels.find(node);
    if (at == std::string_view::npos || at == 0)
        return false;
    const std::string_view component = levels.substr(0, at);
    const std::string_view id = levels.substr(at + node.size());
    return !id.empty() && component.find('/') == std::string_view::npos && id.find('/') == std::string_view::npos;
}

} // namespace

bool Topics::IsConfigTopic(std::string_view topic) const
{
    return IsNodeConfigTopic(topic, NodeId()) || IsFormerNodeConfigTopic(topic);
}

bool Topics::IsFormerNodeConfigTopic(std::string_view topic) const { return IsNodeConfigTopic(topic, FormerNodeId()); }

std::string Topics::FormerSensorConfigTopic(std::string_view item) const
{
    return "homeassistant/sensor/" + FormerNodeId() + "_" + ReadableId(item) + "/config";
}

std::string Topics::FormerLightConfigTopic(int display) const
{
    return "homeassistant/light/" + FormerNodeId() + "_" + DisplayId(display) + "/config";
}

std::string Topics::FormerTextConfigTopic() const { return "homeassistant/text/" + FormerNodeId() + "_message/config"; }

std::string Topics::DisplayEntity(int display, const std::string& name, const std::string& id) const
{
    Json config = Entity(name, DisplayId(display) + "_" + id, DisplayId(display) + "_" + id, machine_, key_);
    OnDisplay(config, display, machine_, key_, Status(), DisplayAvailability(display));
    return Text(config);
}

} // namespace pixtera::bridge
