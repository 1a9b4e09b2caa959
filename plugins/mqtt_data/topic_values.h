// SPDX-License-Identifier: MIT
#pragma once
// The values the broker sent, one item per topic (and per top-level field of a JSON object), in
// the order they first came, with `mqtt.connected` first. Items are never taken away: a value
// stays until its topic sends another. Filled by the connection's thread, read by the poll.

#include <pixtera/mqtt/payload_values.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pixtera::mqtt {

struct TopicItem {
    std::string name; // "home/kitchen/temperature", "zigbee2mqtt/sensor.temperature"
    std::string description; // "MQTT\home\kitchen\temperature": the designer's tree
    Value value;
};

class TopicValues {
public:
    static constexpr const char* kConnected = "mqtt.connected";

    // At most `limit` items besides mqtt.connected: a "#" on a busy broker must not grow without end.
    explicit TopicValues(std::size_t limit);

    // A message's value, and its JSON fields; true when a value changed or an item appeared.
    bool Store(const std::string& topic, std::string_view payload);
    bool SetConnected(bool connected);

    std::vector<TopicItem> Items() const;

private:
    bool Put(const std::string& name, std::string description, Value value);

    const std::size_t limit_;
    mutable std::mutex mutex_; // guards everything below
    std::vector<TopicItem> items_;
    std::unordered_map<std::string, std::size_t> index_;
    bool full_ = false; // said once
};

} // namespace pixtera::mqtt
