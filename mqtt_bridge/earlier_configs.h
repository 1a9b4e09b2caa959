// SPDX-License-Identifier: MIT
#pragma once
// The retained discovery configs this machine's bridge published before (a display or an item
// since gone would stay in Home Assistant), learned once at start: the bridge subscribes to its
// configs' pattern and to a marker topic, publishes a marker of its own after the subscriptions
// and takes what came before the marker came back, as every retained message of a subscription
// comes before it. The broker decides what arrives: at most kMostConfigs topics of at most
// kLongestTopic bytes are kept, and the wait ends after kLongestWait (or the wait given) without
// the marker.

#include <pixtera/mqtt/mqtt_connection.h>

#include <chrono>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace pixtera::bridge {

class EarlierConfigs {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kMostConfigs = 1000;
    static constexpr std::size_t kLongestTopic = 512;
    static constexpr std::chrono::seconds kLongestWait{5};

    // `marker`: the payload that is ours alone on the marker topic.
    EarlierConfigs(std::string markerTopic, std::string marker, std::chrono::milliseconds wait = kLongestWait);

    const std::string& marker() const { return marker_; }
    // The marker went out (again, on a new connection); the wait runs from the first.
    void Asked(Clock::time_point now);
    // A message of the configs' pattern or the marker topic. What to say in the log when this is
    // the first config left out.
    std::optional<std::string> Heard(const mqtt::Message& message);
    // The marker came back, too many configs came, or the wait is over.
    bool Complete(Clock::time_point now) const;
    // When the wait ends; none before the marker went out.
    std::optional<Clock::time_point> Deadline() const;
    // Whether a config heard so far is `matching`.
    bool AnyHeard(const std::function<bool(const std::string&)>& matching) const;
    // The configs heard that are not `live`, once; nothing is heard after.
    std::vector<std::string> TakeStale(const std::set<std::string>& live);

private:
    const std::string markerTopic_;
    const std::string marker_;
    const std::chrono::milliseconds wait_;
    std::set<std::string> configs_;
    std::optional<Clock::time_point> deadline_;
    bool markerBack_ = false;
    bool full_ = false;
    bool taken_ = false;
};

// A payload no other bridge sends: the process and a random number.
std::string NewMarker();

} // namespace pixtera::bridge
