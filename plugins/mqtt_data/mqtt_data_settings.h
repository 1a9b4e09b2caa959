// SPDX-License-Identifier: MIT
#pragma once
// Pixtera.MqttData's configuration:
// host=127.0.0.1;port=1883;topics=home/+/temperature,nas/disk/free;username=...;password_file=...;
// tls_ca=...;client_id=...

#include <pixtera/mqtt/mqtt_connection.h>
#include <pixtera/sdk/configuration_text.h>

#include <string>
#include <vector>

namespace pixtera::mqtt {

struct MqttDataSettings {
    ConnectionSettings connection;
    std::vector<std::string> topics; // subscription patterns, "+" and "#" allowed
};

// `problems` names each field that cannot be used, and why.
MqttDataSettings ReadMqttDataSettings(const ConfigurationText& fields, std::vector<std::string>& problems);

} // namespace pixtera::mqtt
