// SPDX-License-Identifier: MIT
#include "topic_values.h"

#include <pixtera/mqtt/mqtt_connection.h>
#include <pixtera/platform/codepage.h>
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

std::size_t TextSize(const Value& value)
{
    const auto* text = std::get_if<std::string>(&value);
    return text ? text->size() : 0;
}

// A copy of at most `longest` bytes: never a cut string that keeps its long buffer.
Value Cut(Value value, std::size_t longest)
{
    if (auto* text = std::get_if<std::string>(&value); text && text->size() > longest)
        *text = std::string(Utf8Prefix(*text, longest));
    return value;
}

// The whole payload's value, copied only as far as it is kept.
Value WholeValue(std::string_view payload, std::size_t longest)
{
    if (payload.size() > longest)
        return std::string(Utf8Prefix(payload, longest));
    return PayloadValue(payload);
}

// Without spare capacity: the bound counts what is held.
Value Compacted(Value value)
{
    if (auto* text = std::get_if<std::string>(&value))
        text->shrink_to_fit();
    return value;
}

std::string Quoted(std::string_view text) { return "\"" + Printable(text) + "\""; }

std::string JsonProblem(const JsonFields& json, const JsonLimits& limits, std::size_t namesTooLong,
                        std::size_t longestName)
{
    switch (json.verdict) {
    case JsonFields::Verdict::TooLong:
        return "a JSON object longer than " + std::to_string(limits.longestPayload / 1024) +
               " KiB; its fields are left out";
    case JsonFields::Verdict::TooManyFields:
        return "a JSON object of more than " + std::to_string(limits.mostFields) + " fields; its fields are left out";
    default: break;
    }
    std::string problem;
    if (json.nestedLeftOut > 0)
        problem = std::to_string(json.nestedLeftOut) + " JSON objects or arrays longer than " +
                  std::to_string(limits.longestNested) + " bytes; they are left out";
    if (namesTooLong > 0)
        problem += (problem.empty() ? "" : "; ") + std::to_string(namesTooLong) +
                   " JSON fields whose item names would be longer than " + std::to_string(longestName) +
                   " bytes; they are left out";
    return problem;
}

} // namespace

TopicValues::TopicValues(TopicLimits limits) : limits_(std::move(limits))
{
    ItemChanges ignored;
    Put(kConnected, "MQTT\\Connected", 0.0, ignored);
}

ItemChanges TopicValues::Store(const std::string& topic, std::string_view payload)
{
    if (topic.size() > limits_.longestName) {
        std::lock_guard lock(mutex_);
        if (!std::exchange(longTopicSaid_, true))
            LogWarning("MQTT data: a topic of " + std::to_string(topic.size()) + " bytes is left out (at most " +
                       std::to_string(limits_.longestName) + "), and any later one: " + Quoted(topic));
        return {};
    }
    // Read before the lock: the poll need not wait for it.
    const JsonFields json = ReadJsonFields(payload, limits_.json);
    Value whole = WholeValue(payload, limits_.longestText);
    std::lock_guard lock(mutex_);
    ItemChanges changes;
    Put(topic, TreePath(topic), std::move(whole), changes);
    std::size_t namesTooLong = 0;
    for (const auto& [field, value] : json.fields) {
        std::string name = topic + "." + field;
        if (name.size() > limits_.longestName) {
            ++namesTooLong;
            continue;
        }
        Put(name, TreePath(topic) + "\\" + field, Cut(value, limits_.longestText), changes);
    }
    if (const auto problem = JsonProblem(json, limits_.json, namesTooLong, limits_.longestName); !problem.empty())
        SayOnceFor(topic, problem);
    return changes;
}

ItemChanges TopicValues::SetConnected(bool connected)
{
    std::lock_guard lock(mutex_);
    ItemChanges changes;
    Put(kConnected, "MQTT\\Connected", connected ? 1.0 : 0.0, changes);
    return changes;
}

std::vector<TopicItem> TopicValues::Items() const
{
    std::lock_guard lock(mutex_);
    return items_;
}

void TopicValues::Update(std::vector<TopicItem>& copy) const
{
    std::lock_guard lock(mutex_);
    const std::uint64_t since =
        copy.empty() ? 0 : std::max_element(copy.begin(), copy.end(), [](const auto& a, const auto& b) {
                               return a.version < b.version;
                           })->version;
    copy.resize(items_.size());
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].version > since || copy[i].name.empty())
            copy[i] = items_[i];
}

bool TopicValues::Put(const std::string& name, std::string description, Value value, ItemChanges& changes)
{
    if (const auto known = index_.find(name); known != index_.end()) {
        TopicItem& item = items_[known->second];
        Value& stored = item.value;
        const std::size_t room = limits_.mostBytes - (bytes_ - TextSize(stored));
        if (TextSize(value) > room) {
            SayNoRoom(name);
            value = Cut(std::move(value), room);
        }
        if (stored == value)
            return false;
        bytes_ = bytes_ - TextSize(stored) + TextSize(value);
        stored = Compacted(std::move(value));
        item.version = ++version_;
        changes.items.push_back(static_cast<LONG>(known->second));
        return true;
    }
    if (items_.size() > limits_.mostTopics) {
        if (!std::exchange(full_, true))
            LogWarning("MQTT data: more than " + std::to_string(limits_.mostTopics) + " topics; \"" + name +
                       "\" and later new topics are left out (narrow topics=)");
        return false;
    }
    const std::size_t size = name.size() + description.size() + TextSize(value);
    if (bytes_ + size > limits_.mostBytes) {
        SayNoRoom(name);
        return false;
    }
    bytes_ += size;
    changes.items.push_back(static_cast<LONG>(items_.size()));
    index_.emplace(name, items_.size());
    items_.push_back({name, std::move(description), Compacted(std::move(value)), ++version_});
    return true;
}

void TopicValues::SayNoRoom(const std::string& name)
{
    if (!std::exchange(bytesSaid_, true))
        LogWarning("MQTT data: the values fill all " + std::to_string(limits_.mostBytes / 1024) +
                   " KiB there is room for at " + Quoted(name) +
                   "; later new topics are left out and growing texts cut (narrow topics=)");
}

void TopicValues::SayOnceFor(const std::string& topic, const std::string& problem)
{
    if (!index_.contains(topic) || !toldAbout_.insert(topic).second)
        return; // a topic left out was said already
    LogWarning("MQTT data: " + Quoted(topic) + " sent " + problem + " (said once for this topic)");
}

} // namespace pixtera::mqtt
