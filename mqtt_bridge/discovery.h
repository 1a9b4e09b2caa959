// SPDX-License-Identifier: MIT
#pragma once
// Where pixtera-mqtt publishes on the broker and what it announces to Home Assistant: its MQTT
// discovery messages (retained config topics). The machine is a device with a sensor for every
// value and the message; each display a device of its own, through the machine's (`via_device`),
// with its light, its notifications and its diagnostic sensors, available while the machine and
// the display both are (the display is not while its module's link is lost); its link sensor
// alone is available with the machine, so that it says so during the outage. Entities are known by unique ids made from
// the machine's key and never its host name, so a host renamed keeps them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

// A display's diagnostic sensors: what the service says of it.
enum class Diagnostic { Driver, Size, Output };
inline constexpr Diagnostic kDiagnostics[] = {Diagnostic::Driver, Diagnostic::Size, Diagnostic::Output};
// A display's traffic sensors: frames written and bytes to the module a second, and the last
// frame's time on its link.
enum class Traffic { Frames, Bytes, BusTime };
inline constexpr Traffic kTraffic[] = {Traffic::Frames, Traffic::Bytes, Traffic::BusTime};

// The event types a display's keys have: the named keys, F1 to F8, and Raw for any other code.
std::vector<std::string> KeyEventTypes();
// {"event_type": "Up"}; a raw key {"event_type": "Raw", "code": "0x41"}; pressed more than once
// while it waited, with "presses".
std::string KeyEventPayload(const std::string& key, int presses);
// A link sensor's attributes: {"outage_since": "2026-12-09T10:42:07+00:00"}, null for none (0).
std::string LinkAttributesPayload(std::int64_t outageSince);

class Topics {
public:
    // `key`: MachineKey(), 32 hex digits.
    Topics(std::string machine, std::string key);

    const std::string& machine() const { return machine_; }
    std::string Status() const { return base_ + "/status"; }
    // An item's value: "pixtera/nas/Disk./srv.UsedPercent"; never one of the topics below
    // (ValueTopicName).
    std::string Value(std::string_view item) const;
    // Displays are numbered from 1, as the designer numbers them.
    std::string Display(int display) const { return base_ + "/display/" + std::to_string(display); }
    std::string Backlight(int display) const { return Display(display) + "/backlight"; }
    std::string Brightness(int display) const { return Display(display) + "/brightness"; }
    // "online" while the service has the display and its module is linked, else "offline"; retained.
    std::string DisplayAvailability(int display) const { return Display(display) + "/available"; }
    std::string DiagnosticState(int display, Diagnostic what) const;
    std::string Notify(int display) const { return Display(display) + "/notify"; }
    // Its keys, each an event (KeyEventPayload), not retained.
    std::string Key(int display) const { return Display(display) + "/key"; }
    std::string TrafficState(int display, Traffic what) const;
    // "connected" or "outage"; retained. Its attributes: {"outage_since": ISO 8601 or null}.
    std::string LinkState(int display) const { return Display(display) + "/link"; }
    std::string LinkAttributes(int display) const { return LinkState(display) + "/attributes"; }
    std::string Message() const { return base_ + "/message"; }
    // The displays' queue as a list of design names; retained, read when configured.
    std::string Layout() const { return base_ + "/layout"; }
    // The design a display shows (its name, "None" while none of its queue shows); retained.
    std::string Screen(int display) const { return Display(display) + "/screen"; }
    // Line `row` (from 1) of a display's message board, as last set; retained.
    std::string Line(int display, int row) const { return Display(display) + "/line/" + std::to_string(row); }
    std::string CommandPattern(std::string_view what) const
    {
        return base_ + "/display/+/" + std::string(what) + "/set";
    }
    std::string NotifyPattern() const { return base_ + "/display/+/notify"; }
    // Every machine's bridge hears these.
    static std::string AllNotify() { return "pixtera/all/notify"; }
    static std::string GroupNotify(std::string_view group) { return "pixtera/group/" + std::string(group) + "/notify"; }
    // Home Assistant says "online" there when it starts: everything is announced again.
    static std::string HomeAssistantStatus() { return "homeassistant/status"; }

    // Home Assistant's discovery: "homeassistant/<component>/<node>/<id>/config", with the JSON it
    // reads. The node level makes this machine's configs one pattern to subscribe to.
    std::string SensorConfigTopic(std::string_view item) const;
    std::string SensorConfig(std::string_view item) const;
    std::string LightConfigTopic(int display) const;
    std::string LightConfig(int display, bool dims) const;
    std::string NotifyConfigTopic(int display) const;
    std::string NotifyConfig(int display) const;
    std::string DiagnosticConfigTopic(int display, Diagnostic what) const;
    std::string DiagnosticConfig(int display, Diagnostic what) const;
    // A display's select of its queue's designs, `options` in the queue's order.
    std::string ScreenConfigTopic(int display) const;
    std::string ScreenConfig(int display, const std::vector<std::string>& options) const;
    // A text entity per line of a display's message board, at most `columns` characters.
    std::string LineConfigTopic(int display, int row) const;
    std::string LineConfig(int display, int row, int columns) const;
    // A display with keys: an event entity.
    std::string EventConfigTopic(int display) const;
    std::string EventConfig(int display) const;
    std::string TrafficConfigTopic(int display, Traffic what) const;
    std::string TrafficConfig(int display, Traffic what) const;
    std::string LinkConfigTopic(int display) const;
    std::string LinkConfig(int display) const;
    std::string TextConfigTopic() const;
    std::string TextConfig() const;
    // For a display's entities made elsewhere (its LEDs, led_entities.h): the config topic of `id`
    // on `component`, and what every entity of the display has, as JSON.
    std::string DisplayConfigTopic(std::string_view component, std::string_view id) const
    {
        return ConfigTopic(component, id);
    }
    std::string DisplayEntity(int display, const std::string& name, const std::string& id) const;
    // Every config topic of this machine.
    std::string ConfigPattern() const { return "homeassistant/+/" + NodeId() + "/+/config"; }
    // This machine's or the layout's before it (a node named after the host alone).
    bool IsConfigTopic(std::string_view topic) const;
    bool IsFormerNodeConfigTopic(std::string_view topic) const;
    // Where the bridge tells itself that the retained configs it subscribed to have all come:
    // outside Home Assistant's patterns and pixtera/<machine>/.
    std::string Marker() const { return "homeassistant/" + NodeId() + "/sync"; }

    // Where earlier versions put the configs: the node named after the host alone (two hosts
    // whose names differ only in punctuation shared it), and before that no node level at all.
    std::string FormerNodePattern() const { return "homeassistant/+/" + FormerNodeId() + "/+/config"; }
    std::string FormerSensorConfigTopic(std::string_view item) const;
    std::string FormerLightConfigTopic(int display) const;
    std::string FormerTextConfigTopic() const;

private:
    std::string NodeId() const { return "pixtera_" + machine_ + "_" + key_.substr(0, 8); }
    std::string FormerNodeId() const { return "pixtera_" + machine_; }
    std::string ConfigTopic(std::string_view component, std::string_view id) const;

    std::string machine_;
    std::string key_;
    std::string base_;
};

} // namespace pixtera::bridge
