// SPDX-License-Identifier: MIT
#include "topic_values.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>

namespace pixtera::mqtt {
namespace {

// Topic levels become the designer's tree levels.
std::string TreePath(std::string_view topic)
{
    std::string path = "MQTT\\";
    for (char c : topic)
        path += c == '/' ? '\\' : c;
    return path;
}

// Longer texts are cut: a display shows a few dozen characters, a broker may send megabytes.
constexpr std::size_t kLongestText = 4096;

Value Bounded(Value value)
{
    if (auto* text = std::get_if<std::string>(&value); text && text->size() > kLongestText)
        text->resize(kLongestText);
    return value;
}

} // namespace

TopicValues::TopicValues(std::size_t limit) : limit_(limit)
{
    items_.push_back({kConnected, "MQTT\\Connected", 0.0});
    index_[kConnected] = 0;
}

bool TopicValues::Store(const std::string& topic, std::string_view payload)
{
    const auto fields = JsonFields(payload);
    std::lock_guard lock(mutex_);
    bool changed = Put(topic, TreePath(topic), Bounded(PayloadValue(payload)));
    for (const auto& [field, value] : fields)
        changed |= Put(topic + "." + field, TreePath(topic) + "\\" + field, Bounded(value));
    return changed;
}

bool TopicValues::SetConnected(bool connected)
{
    std::lock_guard lock(mutex_);
    return Put(kConnected, "MQTT\\Connected", connected ? 1.0 : 0.0);
}

std::vector<TopicItem> TopicValues::Items() const
{
    std::lock_guard lock(mutex_);
    return items_;
}

bool TopicValues::Put(const std::string& name, std::string description, Value value)
{
    if (const auto known = index_.find(name); known != index_.end()) {
        Value& stored = items_[known->second].value;
        if (stored == value)
            return false;
        stored = std::move(value);
        return true;
    }
    if (items_.size() > limit_) {
        if (!std::exchange(full_, true))
            LogWarning("MQTT data: more than " + std::to_string(limit_) + " topics; \"" + name +
                       "\" and later new topics are left out (narrow topics=)");
        return false;
    }
    index_.emplace(name, items_.size());
    items_.push_back({name, std::move(description), std::move(value)});
    return true;
}

} // namespace pixtera::mqtt
