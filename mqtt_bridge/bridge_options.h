// SPDX-License-Identifier: MIT
#pragma once
// pixtera-mqtt's options, from the command line and from a --config file of the same keys as
// key=value lines (the command line wins): host, port, publish, username, password_file, tls_ca.

#include <pixtera/mqtt/mqtt_connection.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

struct BridgeOptions {
    mqtt::ConnectionSettings broker;
    std::vector<std::string> publish; // item names; "*" for every item
    std::string machine; // the <hostname> in topics
};

struct ParsedOptions {
    std::optional<BridgeOptions> options;
    std::string error; // for standard error, with exit code 2
    bool help = false;
};

ParsedOptions ParseBridgeOptions(const std::vector<std::string>& arguments, std::string_view hostname);
std::string BridgeHelp();

// gethostname() for topics: lower case, anything outside [a-z0-9_-] as '_'.
std::string TopicMachineName(std::string_view hostname);

} // namespace pixtera::bridge
