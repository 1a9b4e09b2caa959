// SPDX-License-Identifier: MIT
#include "earlier_configs.h"

#include <algorithm>
#include <random>
#include <unistd.h>
#include <utility>

namespace pixtera::bridge {

EarlierConfigs::EarlierConfigs(std::string markerTopic, std::string marker, std::chrono::milliseconds wait)
    : markerTopic_(std::move(markerTopic)),
      marker_(std::move(marker)),
      wait_(std::min(wait, std::chrono::milliseconds(kLongestWait)))
{
}

void EarlierConfigs::Asked(Clock::time_point now)
{
    if (!deadline_)
        deadline_ = now + wait_;
}

std::optional<std::string> EarlierConfigs::Heard(const mqtt::Message& message)
{
    if (taken_)
        return std::nullopt;
    if (message.topic == markerTopic_) {
        markerBack_ = markerBack_ || message.payload == marker_;
        return std::nullopt;
    }
    if (message.payload.empty()) { // cleared while we listen
        configs_.erase(message.topic);
        return std::nullopt;
    }
    if (message.topic.size() > kLongestTopic || configs_.count(message.topic))
        return std::nullopt;
    if (configs_.size() < kMostConfigs) {
        configs_.insert(message.topic);
        return std::nullopt;
    }
    if (std::exchange(full_, true))
        return std::nullopt;
    return "more than " + std::to_string(kMostConfigs) +
           " discovery configs of this machine are on the broker; only as many are cleared when they are stale";
}

bool EarlierConfigs::Complete(Clock::time_point now) const
{
    return markerBack_ || full_ || (deadline_ && now >= *deadline_);
}

std::optional<EarlierConfigs::Clock::time_point> EarlierConfigs::Deadline() const { return deadline_; }

bool EarlierConfigs::AnyHeard(const std::function<bool(const std::string&)>& matching) const
{
    return std::any_of(configs_.begin(), configs_.end(), matching);
}

std::vector<std::string> EarlierConfigs::TakeStale(const std::set<std::string>& live)
{
    std::vector<std::string> stale;
    if (std::exchange(taken_, true))
        return stale;
    for (const auto& topic : configs_)
        if (!live.count(topic))
            stale.push_back(topic);
    configs_.clear();
    return stale;
}

std::string NewMarker()
{
    std::random_device random;
    return std::to_string(getpid()) + "-" + std::to_string(random()) + std::to_string(random());
}

} // namespace pixtera::bridge
