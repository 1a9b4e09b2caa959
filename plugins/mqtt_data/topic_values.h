// SPDX-License-Identifier: MIT
#pragma once
// The values the broker sent, one item per topic (and per top-level field of a JSON object), in
// the order they first came, with `mqtt.connected` first. Items are never taken away: a value
// stays until its topic sends another. Filled by the connection's thread, read by the poll.
// Whoever may publish decides what arrives, so everything kept is bounded; what is refused is
// said once in the log (JSON objects once per topic).

#include <pixtera/mqtt/payload_values.h>
#include <pixtera/platform/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace pixtera::mqtt {

struct TopicItem {
    std::string name; // "home/kitchen/temperature", "zigbee2mqtt/sensor.temperature"
    std::string description; // "MQTT\home\kitchen\temperature": the designer's tree
    Value value;
    std::uint64_t version = 0; // of the table, when the item last changed
};

// The items one message changed or added, by index.
struct ItemChanges {
    std::vector<LONG> items;
    explicit operator bool() const { return !items.empty(); }
};

struct TopicLimits {
    std::size_t mostTopics = 1000; // items besides mqtt.connected: a "#" on a busy broker
    std::size_t longestName = 256; // bytes of a topic, or of topic.field: longer ones are left out
    std::size_t longestText = 4096; // a display shows a few dozen characters: longer texts are cut
    // All items' names, descriptions and texts together: new items are left out beyond it, and a
    // text that grows is cut to what is left.
    std::size_t mostBytes = 1024 * 1024;
    JsonLimits json = {};
};

class TopicValues {
public:
    static constexpr const char* kConnected = "mqtt.connected";

    explicit TopicValues(TopicLimits limits = {});

    // A message's value, and its JSON fields; the items whose value changed or that appeared.
    ItemChanges Store(const std::string& topic, std::string_view payload);
    ItemChanges SetConnected(bool connected);

    std::vector<TopicItem> Items() const;
    // Brings a copy made by Items() up to date, copying only the items that changed since.
    void Update(std::vector<TopicItem>& copy) const;

private:
    bool Put(const std::string& name, std::string description, Value value, ItemChanges& changes);
    void SayNoRoom(const std::string& name);
    void SayOnceFor(const std::string& topic, const std::string& problem);

    const TopicLimits limits_;
    mutable std::mutex mutex_; // guards everything below
    std::vector<TopicItem> items_;
    std::unordered_map<std::string, std::size_t> index_;
    std::size_t bytes_ = 0; // what mostBytes bounds
    std::uint64_t version_ = 0; // counts changes
    // Topics whose JSON was said to be refused: items all, so bounded as they are.
    std::unordered_set<std::string> toldAbout_;
    bool full_ = false; // said once
    bool longTopicSaid_ = false;
    bool bytesSaid_ = false;
};

} // namespace pixtera::mqtt
