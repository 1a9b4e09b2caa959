// SPDX-License-Identifier: MIT
#pragma once
// What the bridge needs of its broker connection, so that a test can stand in for the broker at
// the moments a real one cannot be made to choose (a connection lost between two publishes).

#include <pixtera/mqtt/mqtt_connection.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace pixtera::bridge {

class BrokerLink {
public:
    virtual ~BrokerLink() = default;
    virtual void Subscribe(const std::string& pattern) = 0;
    virtual void Unsubscribe(const std::string& pattern) = 0;
    // False, and nothing sent, while the broker is away.
    virtual bool Publish(const std::string& topic, std::string_view payload, bool retained) = 0;
};

using BrokerFactory =
    std::function<std::unique_ptr<BrokerLink>(const mqtt::ConnectionSettings&, mqtt::ConnectionHandlers)>;

// A real broker connection (mqtt::Connection).
std::unique_ptr<BrokerLink> ConnectBroker(const mqtt::ConnectionSettings& settings, mqtt::ConnectionHandlers handlers);

} // namespace pixtera::bridge
