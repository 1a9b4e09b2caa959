// SPDX-License-Identifier: MIT
#include "menu_event_entity.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace pixtera::bridge {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMostNameBytes = 64;
constexpr std::string_view kConfigSuffix = "/config";

std::string Text(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

// The keys' entity's id ends in "_keys"; the menu's in "_menu".
std::string MenuId(std::string id)
{
    constexpr std::string_view kKeys = "_keys";
    if (id.ends_with(kKeys))
        id.resize(id.size() - kKeys.size());
    return id + "_menu";
}

} // namespace

bool IsMenuEventName(std::string_view name)
{
    return !name.empty() && name.size() <= kMostNameBytes && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.';
    });
}

std::string MenuEventPayload(const std::string& name, int presses)
{
    Json event{{"event_type", name}};
    if (presses > 1)
        event["presses"] = presses;
    return Text(event);
}

std::string MenuEventTopic(const Topics& topics, int display) { return topics.Display(display) + "/menu"; }

std::string MenuEventConfigTopic(const Topics& topics, int display)
{
    std::string topic = topics.EventConfigTopic(display);
    topic.resize(topic.size() - kConfigSuffix.size());
    return topic + "_menu" + std::string(kConfigSuffix);
}

std::string MenuEventConfig(const Topics& topics, int display, const std::vector<std::string>& names)
{
    // The keys' entity, made the menu's: the same device and availability, ids of its own.
    Json config = Json::parse(topics.EventConfig(display));
    config["name"] = "Menu";
    for (const char* id : {"unique_id", "object_id"})
        if (config.contains(id) && config[id].is_string())
            config[id] = MenuId(config[id].get<std::string>());
    config["state_topic"] = MenuEventTopic(topics, display);
    config["event_types"] = names;
    config.erase("device_class"); // not a button
    return Text(config);
}

MenuEventNames::Heard MenuEventNames::Hear(int display, const std::string& name)
{
    auto& names = names_[display];
    if (std::find(names.begin(), names.end(), name) != names.end())
        return Heard::Known;
    if (names.size() >= kMostNames)
        return Heard::TooMany;
    names.push_back(name);
    return Heard::New;
}

const std::vector<std::string>& MenuEventNames::Of(int display) const
{
    static const std::vector<std::string> kNone;
    const auto names = names_.find(display);
    return names != names_.end() ? names->second : kNone;
}

} // namespace pixtera::bridge
