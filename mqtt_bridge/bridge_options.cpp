// SPDX-License-Identifier: MIT
#include "bridge_options.h"

#include <pixtera/mqtt/password_file.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/configuration_text.h>

#include <pixtera/platform/unique_fd.h>

#include <charconv>
#include <map>

namespace pixtera::bridge {
namespace {

constexpr const char* kKeys[] = {"host",   "port",        "publish", "username", "password_file",
                                 "tls_ca", "screen_hold", "layout",  "designs",  "group"};

bool KnownKey(const std::string& key)
{
    for (const char* known : kKeys)
        if (key == known)
            return true;
    return false;
}

std::string Trim(std::string_view text)
{
    if (!text.empty() && text.back() == '\r') // a file written on Windows
        text.remove_suffix(1);
    return std::string(TrimBlanks(text));
}

// key=value lines; blank lines and lines starting with # are skipped. It says where the password
// is and whom to trust: this user's or root's alone.
std::string ReadConfigFile(const std::string& path, std::map<std::string, std::string>& values,
                           std::vector<std::string>& groups)
{
    const BoundedFile file = ReadBoundedFile(path, 64 * 1024, false, FileOwner::ThisUserOrRoot);
    if (!file)
        return path + " " + file.problem;
    int number = 0;
    for (std::size_t start = 0; start < file.text.size();) {
        const std::size_t end = std::min(file.text.find('\n', start), file.text.size());
        const std::string line = Trim(std::string_view(file.text).substr(start, end - start));
        start = end + 1;
        ++number;
        if (line.empty() || line.front() == '#')
            continue;
        const auto equals = line.find('=');
        const std::string key = equals == std::string::npos ? line : Trim(line.substr(0, equals));
        if (equals == std::string::npos || !KnownKey(key))
            return path + " line " + std::to_string(number) + ": \"" + line.substr(0, 60) +
                   "\" is not one of host=, port=, "
                   "publish=, username=, password_file=, tls_ca=, screen_hold=, layout=, designs=, group=";
        if (key == "group")
            groups.push_back(Trim(line.substr(equals + 1)));
        else
            values.try_emplace(key, Trim(line.substr(equals + 1)));
    }
    return {};
}

// A folder of this user's or root's, named directly: what is wrong with it.
std::string CheckFolder(const std::string& path)
{
    const UniqueFd fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (!fd || fstat(fd.get(), &info) != 0)
        return "is no folder that can be opened (a symbolic link is not followed)";
    if (!S_ISDIR(info.st_mode))
        return "is not a folder";
    if (info.st_uid != geteuid() && info.st_uid != 0)
        return "belongs to another user";
    return {};
}

ParsedOptions Error(std::string text)
{
    ParsedOptions parsed;
    parsed.error = std::move(text);
    return parsed;
}

// "kitchen:1,2" into `groups`; what is wrong with it.
std::string ReadGroup(const std::string& text, std::map<std::string, std::set<int>>& groups)
{
    const auto colon = text.find(':');
    const std::string name = Trim(std::string_view(text).substr(0, colon));
    if (colon == std::string::npos || !ValidGroupName(name))
        return "group \"" + text.substr(0, 60) +
               "\" is not NAME:DISPLAYS (a name of 1 to 32 of a-z 0-9 _ -, then display numbers separated by commas)";
    if (!groups.contains(name) && groups.size() >= kMostGroups)
        return "more than " + std::to_string(kMostGroups) + " groups";
    auto& displays = groups[name];
    for (const std::string& number : CommaList(text.substr(colon + 1))) {
        int display = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), display);
        if (error != std::errc() || end != number.data() + number.size() || display < 1 || display > kMostDisplays)
            return "group " + name + ": \"" + number.substr(0, 20) + "\" is not a display number (1 to " +
                   std::to_string(kMostDisplays) + ")";
        displays.insert(display);
    }
    return {};
}

} // namespace

bool ValidGroupName(std::string_view name)
{
    if (name.empty() || name.size() > 32)
        return false;
    for (char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            return false;
    return true;
}

std::string TopicMachineName(std::string_view hostname)
{
    std::string name;
    for (char c : hostname) {
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        const bool kept =
            (lower >= 'a' && lower <= 'z') || (lower >= '0' && lower <= '9') || lower == '_' || lower == '-';
        name += kept ? lower : '_';
    }
    if (name.empty())
        return "localhost";
    // pixtera/all/ and pixtera/group/ are every machine's broadcasts.
    return name == "all" || name == "group" ? name + "_" : name;
}

std::string BridgeHelp()
{
    return "Usage: pixtera-mqtt [--config FILE] [--host HOST] [--port PORT] [--publish NAMES]\n"
           "                    [--username USER] [--password-file FILE] [--tls-ca FILE]\n"
           "                    [--group NAME:DISPLAYS]... [--screen-hold SECONDS]\n"
           "                    [--layout yes|no] [--designs FOLDER]\n"
           "\n"
           "Publishes this machine's Pixtera values to an MQTT broker under pixtera/<hostname>/<name>,\n"
           "announces them and every display to Home Assistant, and takes its commands.\n"
           "\n"
           "  --host HOST           the broker (default 127.0.0.1)\n"
           "  --port PORT           its port (default 1883)\n"
           "  --publish NAMES       item names separated by commas, or * for every item\n"
           "                        (default CPU.Total,Memory.UsedPercent)\n"
           "  --username USER       for a broker that asks for one\n"
           "  --password-file FILE  a file only you can read whose first line is the password\n"
           "  --tls-ca FILE         the CA of the broker's TLS certificate: TLS or no connection\n"
           "  --group NAME:DISPLAYS displays (numbered from 1) that pixtera/group/NAME/notify reaches,\n"
           "                        as in --group kitchen:1,2; once for each group\n"
           "  --screen-hold SECONDS how long a design chosen by a display's select shows before its\n"
           "                        queue goes on (default 60, at most 86400)\n"
           "  --layout yes|no       whether pixtera/<hostname>/layout sets the displays' queues\n"
           "                        (default no)\n"
           "  --designs FOLDER      designs a layout may name beyond those in the queues\n"
           "  --config FILE         the same keys as key=value lines (host=, port=, publish=,\n"
           "                        username=, password_file=, tls_ca=, screen_hold=, layout=,\n"
           "                        designs=, group=); the command line wins\n"
           "  --help                this text\n";
}

ParsedOptions ParseBridgeOptions(const std::vector<std::string>& arguments, std::string_view hostname)
{
    std::map<std::string, std::string> values;
    std::vector<std::string> groups;
    std::vector<std::string> fileGroups;
    std::string config;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            ParsedOptions parsed;
            parsed.help = true;
            return parsed;
        }
        if (!argument.starts_with("--"))
            return Error("unexpected argument \"" + argument + "\" (see --help)");
        std::string key = argument.substr(2);
        for (char& c : key)
            c = c == '-' ? '_' : c;
        if (key != "config" && !KnownKey(key))
            return Error("unknown option " + argument + " (see --help)");
        if (i + 1 >= arguments.size())
            return Error(argument + " needs a value");
        if (key == "group")
            groups.push_back(arguments[++i]);
        else
            (key == "config" ? config : values[key]) = arguments[++i];
    }
    if (!config.empty())
        if (std::string problem = ReadConfigFile(config, values, fileGroups); !problem.empty())
            return Error(problem);
    if (groups.empty())
        groups = std::move(fileGroups);

    BridgeOptions options;
    options.broker.logName = "pixtera-mqtt";
    options.machine = TopicMachineName(hostname);
    for (const std::string& group : groups)
        if (std::string problem = ReadGroup(group, options.groups); !problem.empty())
            return Error(problem);
    if (values.contains("host"))
        options.broker.host = values["host"];
    if (values.contains("port")) {
        const std::string& text = values["port"];
        int port = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
        if (error != std::errc() || end != text.data() + text.size() || port < 1 || port > 65535)
            return Error("port \"" + text + "\" is not a port number (1 to 65535)");
        options.broker.port = port;
    }
    if (values.contains("screen_hold")) {
        const std::string& text = values["screen_hold"];
        unsigned seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (error != std::errc() || end != text.data() + text.size() || seconds < 1 || seconds > kLongestScreenHold)
            return Error("screen_hold \"" + text.substr(0, 20) + "\" is not a number of seconds (1 to " +
                         std::to_string(kLongestScreenHold) + ")");
        options.screenHoldSeconds = seconds;
    }
    if (values.contains("layout")) {
        const std::string& text = values["layout"];
        if (text != "yes" && text != "no")
            return Error("layout \"" + text.substr(0, 20) + "\" is neither yes nor no");
        options.layout = text == "yes";
    }
    if (const std::string& path = values["designs"]; !path.empty()) {
        if (std::string problem = CheckFolder(path); !problem.empty())
            return Error("designs folder " + path + " " + problem);
        options.designs = path;
    }
    options.publish = CommaList(values.contains("publish") ? values["publish"] : "CPU.Total,Memory.UsedPercent");
    options.broker.username = values["username"];
    if (const std::string& path = values["password_file"]; !path.empty()) {
        const mqtt::PasswordFile file = mqtt::ReadPasswordFile(path);
        if (!file.problem.empty())
            return Error("password file " + path + " " + file.problem);
        options.broker.password = file.password;
    }
    // Said now, before the signal thread exists; the connection checks it again, for good, on
    // each attempt.
    if (const std::string& path = values["tls_ca"]; !path.empty()) {
        const CheckedFile file = OpenCheckedFile(path, mqtt::kLargestCaFile, false, FileOwner::ThisUserOrRoot);
        if (!file)
            return Error("CA file " + path + " " + file.problem);
        options.broker.tlsCa = path;
    }
    const std::string status = "pixtera/" + options.machine + "/status";
    options.broker.will = mqtt::LastWill{status, "offline", true};
    ParsedOptions parsed;
    parsed.options = std::move(options);
    return parsed;
}

} // namespace pixtera::bridge
