// SPDX-License-Identifier: MIT
#include "discovery.h"

#include "message_text.h"

#include <nlohmann/json.hpp>

namespace pixtera::bridge {
namespace {

using Json = nlohmann::ordered_json;

} // namespace

std::string Topics::Value(std::string_view item) const
{
    std::string topic = base_ + "/";
    for (char c : item)
        topic += c == '+' || c == '#' ? '_' : c;
    return topic;
}

std::string Topics::ObjectId(std::string_view what) const
{
    std::string id = "pixtera_" + machine_ + "_";
    for (char c : what) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        id += (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '-' ? lower : '_';
    }
    return id;
}

namespace {

// What every entity of one machine shares: its device and its availability.
Json Entity(const std::string& name, const std::string& id, const std::string& machine, const std::string& status)
{
    return Json{{"name", name},
                {"unique_id", id},
                {"object_id", id},
                {"availability_topic", status},
                {"payload_available", "online"},
                {"payload_not_available", "offline"},
                {"device",
                 {{"identifiers", Json::array({"pixtera_" + machine})},
                  {"name", "Pixtera on " + machine},
                  {"manufacturer", "Pixtera"},
                  {"model", "pixtera-mqtt"},
                  {"sw_version", PIXTERA_VERSION}}}};
}

} // namespace

std::string Topics::SensorConfigTopic(std::string_view item) const
{
    return "homeassistant/sensor/" + ObjectId(item) + "/config";
}

std::string Topics::SensorConfig(std::string_view item) const
{
    Json config = Entity(std::string(item), ObjectId(item), machine_, Status());
    config["state_topic"] = Value(item);
    return config.dump();
}

std::string Topics::LightConfigTopic(int display) const
{
    return "homeassistant/light/" + ObjectId("display_" + std::to_string(display)) + "/config";
}

std::string Topics::LightConfig(int display, bool dims) const
{
    Json config = Entity("Display " + std::to_string(display), ObjectId("display_" + std::to_string(display)), machine_,
                         Status());
    config["command_topic"] = Backlight(display) + "/set";
    config["state_topic"] = Backlight(display);
    config["payload_on"] = "ON";
    config["payload_off"] = "OFF";
    if (dims) {
        config["brightness_command_topic"] = Brightness(display) + "/set";
        config["brightness_scale"] = 100;
    }
    return config.dump();
}

std::string Topics::TextConfigTopic() const { return "homeassistant/text/" + ObjectId("message") + "/config"; }

std::string Topics::TextConfig() const
{
    Json config = Entity("Message", ObjectId("message"), machine_, Status());
    config["command_topic"] = Message() + "/set";
    config["state_topic"] = Message();
    config["max"] = kLongestMessage;
    return config.dump();
}

} // namespace pixtera::bridge
