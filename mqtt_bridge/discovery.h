// SPDX-License-Identifier: MIT
#pragma once
// Where pixtera-mqtt publishes on the broker and what it announces to Home Assistant: its MQTT
// discovery messages (retained config topics) for every value, every display and the message.

#include <string>
#include <string_view>

namespace pixtera::bridge {

class Topics {
public:
    explicit Topics(std::string machine) : machine_(std::move(machine)), base_("pixtera/" + machine_) {}

    const std::string& machine() const { return machine_; }
    std::string Status() const { return base_ + "/status"; }
    // An item's value: "pixtera/nas/Disk./srv.UsedPercent"; never one of the topics below
    // (ValueTopicName).
    std::string Value(std::string_view item) const;
    // Displays are numbered from 1, as the designer numbers them.
    std::string Backlight(int display) const { return base_ + "/display/" + std::to_string(display) + "/backlight"; }
    std::string Brightness(int display) const { return base_ + "/display/" + std::to_string(display) + "/brightness"; }
    std::string Message() const { return base_ + "/message"; }
    std::string CommandPattern(std::string_view what) const
    {
        return base_ + "/display/+/" + std::string(what) + "/set";
    }

    // Home Assistant's discovery: "homeassistant/<component>/pixtera_<machine>/<id>/config", with
    // the JSON it reads. The node level makes this machine's configs one pattern to subscribe to.
    std::string SensorConfigTopic(std::string_view item) const;
    std::string SensorConfig(std::string_view item) const;
    std::string LightConfigTopic(int display) const;
    std::string LightConfig(int display, bool dims) const;
    std::string TextConfigTopic() const;
    std::string TextConfig() const;
    // Every config topic of this machine.
    std::string ConfigPattern() const { return "homeassistant/+/" + NodeId() + "/+/config"; }
    bool IsConfigTopic(std::string_view topic) const;
    // Where the bridge tells itself that the retained configs it subscribed to have all come:
    // outside Home Assistant's patterns and pixtera/<machine>/.
    std::string Marker() const { return "homeassistant/" + NodeId() + "/sync"; }

    // Where earlier versions put the configs, without the node level.
    std::string FormerSensorConfigTopic(std::string_view item) const;
    std::string FormerLightConfigTopic(int display) const;
    std::string FormerTextConfigTopic() const;

private:
    std::string NodeId() const { return "pixtera_" + machine_; }
    std::string ConfigTopic(std::string_view component, std::string_view id) const;

    std::string machine_;
    std::string base_;
};

} // namespace pixtera::bridge
