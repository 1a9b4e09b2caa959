// SPDX-License-Identifier: MIT
#pragma once
// pixtera-mqtt's options, from the command line and from a --config file of the same keys as
// key=value lines (the command line wins): host, port, publish, username, password_file, tls_ca,
// screen_hold, layout (yes or no), designs (a folder), and group (NAME:DISPLAYS, as often as there are groups; those of
// the command line replace the file's).

#include <pixtera/mqtt/mqtt_connection.h>

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::bridge {

inline constexpr unsigned kDefaultScreenHold = 60;
inline constexpr unsigned kLongestScreenHold = 86400;

struct BridgeOptions {
    mqtt::ConnectionSettings broker;
    std::vector<std::string> publish; // item names; "*" for every item
    std::string machine; // the <hostname> in topics
    std::string key; // MachineKey(): what names this machine to Home Assistant for good
    std::map<std::string, std::set<int>> groups; // a group's displays, numbered from 1
    // How long a design chosen by a display's select shows before its queue goes on.
    unsigned screenHoldSeconds = kDefaultScreenHold;
    // pixtera/<machine>/layout is read (layout=yes); designs it may name beyond the queues'.
    bool layout = false;
    std::string designs; // a folder of this user's or root's; empty for none
};

// A group's name: [a-z0-9_-], 1 to 32 of them.
bool ValidGroupName(std::string_view name);
inline constexpr std::size_t kMostGroups = 32;
// The highest display number a group may name.
inline constexpr int kMostDisplays = 64;

struct ParsedOptions {
    std::optional<BridgeOptions> options;
    std::string error; // for standard error, with exit code 2
    bool help = false;
};

ParsedOptions ParseBridgeOptions(const std::vector<std::string>& arguments, std::string_view hostname);
std::string BridgeHelp();

// gethostname() for topics: lower case, anything outside [a-z0-9_-] as '_'; "all" and "group",
// the broadcasts' first levels, get a '_' after them.
std::string TopicMachineName(std::string_view hostname);

} // namespace pixtera::bridge
