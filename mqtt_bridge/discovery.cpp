// SPDX-License-Identifier: MIT
#include "discovery.h"

#include "item_names.h"
#include "message_text.h"

#include <nlohmann/json.hpp>

namespace pixtera::bridge {
namespace {

using Json = nlohmann::ordered_json;

// What every entity of one machine shares: its device and its availability. `id` is unique among
// the entities of its component; `readable` is what Home Assistant names the entity after.
Json Entity(const std::string& name, const std::string& id, const std::string& readable, const std::string& machine,
            const std::string& status)
{
    return Json{{"name", name},
                {"unique_id", "pixtera_" + machine + "_" + id},
                {"object_id", "pixtera_" + machine + "_" + readable},
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

// A name that is no UTF-8 (none comes over the bus) would make dump() throw.
std::string Text(const Json& config) { return config.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string DisplayId(int display) { return "display_" + std::to_string(display); }

} // namespace

std::string Topics::Value(std::string_view item) const { return base_ + "/" + ValueTopicName(item); }

std::string Topics::ConfigTopic(std::string_view component, std::string_view id) const
{
    return "homeassistant/" + std::string(component) + "/" + NodeId() + "/" + std::string(id) + "/config";
}

std::string Topics::SensorConfigTopic(std::string_view item) const { return ConfigTopic("sensor", ItemObjectId(item)); }

std::string Topics::SensorConfig(std::string_view item) const
{
    Json config = Entity(std::string(item), ItemObjectId(item), ReadableId(item), machine_, Status());
    config["state_topic"] = Value(item);
    return Text(config);
}

std::string Topics::LightConfigTopic(int display) const { return ConfigTopic("light", DisplayId(display)); }

std::string Topics::LightConfig(int display, bool dims) const
{
    Json config =
        Entity("Display " + std::to_string(display), DisplayId(display), DisplayId(display), machine_, Status());
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

std::string Topics::TextConfigTopic() const { return ConfigTopic("text", "message"); }

std::string Topics::TextConfig() const
{
    Json config = Entity("Message", "message", "message", machine_, Status());
    config["command_topic"] = Message() + "/set";
    config["state_topic"] = Message();
    config["max"] = kLongestMessage;
    return Text(config);
}

bool Topics::IsConfigTopic(std::string_view topic) const
{
    // homeassistant/<component>/<node>/<id>/config, each a level of its own
    const std::string node = "/" + NodeId() + "/";
    constexpr std::string_view kPrefix = "homeassistant/";
    constexpr std::string_view kSuffix = "/config";
    if (!topic.starts_with(kPrefix) || !topic.ends_with(kSuffix))
        return false;
    const std::string_view levels = topic.substr(kPrefix.size(), topic.size() - kPrefix.size() - kSuffix.size());
    const auto at = levels.find(node);
    if (at == std::string_view::npos || at == 0)
        return false;
    const std::string_view component = levels.substr(0, at);
    const std::string_view id = levels.substr(at + node.size());
    return !id.empty() && component.find('/') == std::string_view::npos && id.find('/') == std::string_view::npos;
}

std::string Topics::FormerSensorConfigTopic(std::string_view item) const
{
    return "homeassistant/sensor/" + NodeId() + "_" + ReadableId(item) + "/config";
}

std::string Topics::FormerLightConfigTopic(int display) const
{
    return "homeassistant/light/" + NodeId() + "_" + DisplayId(display) + "/config";
}

std::string Topics::FormerTextConfigTopic() const { return "homeassistant/text/" + NodeId() + "_message/config"; }

} // namespace pixtera::bridge
