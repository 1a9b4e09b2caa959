// SPDX-License-Identifier: MIT
#include "broker_link.h"

namespace pixtera::bridge {
namespace {

class MqttBrokerLink final : public BrokerLink {
public:
    MqttBrokerLink(const mqtt::ConnectionSettings& settings, mqtt::ConnectionHandlers handlers)
        : connection_(settings, std::move(handlers))
    {
    }
    void Subscribe(const std::string& pattern) override { connection_.Subscribe(pattern); }
    void Unsubscribe(const std::string& pattern) override { connection_.Unsubscribe(pattern); }
    bool Publish(const std::string& topic, std::string_view payload, bool retained) override
    {
        return connection_.Publish(topic, payload, retained);
    }

private:
    mqtt::Connection connection_;
};

} // namespace

std::unique_ptr<BrokerLink> ConnectBroker(const mqtt::ConnectionSettings& settings, mqtt::ConnectionHandlers handlers)
{
    return std::make_unique<MqttBrokerLink>(settings, std::move(handlers));
}

} // namespace pixtera::bridge
