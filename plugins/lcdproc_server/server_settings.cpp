// SPDX-License-Identifier: MIT
#include "server_settings.h"

#include <arpa/inet.h>

namespace pixtera::lcdproc {
namespace {

void Note(std::string& problems, const std::string& field) { problems += (problems.empty() ? "" : ", ") + field; }

// "HOST:PORT", "[V6]:PORT" or "HOST"; nothing when unusable.
std::optional<ListenAddress> ReadAddress(const std::string& text)
{
    ListenAddress address;
    std::string host = text;
    std::string port;
    if (text.starts_with('[')) {
        const auto close = text.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':')
                return std::nullopt;
            port = text.substr(close + 2);
        }
    } else if (const auto colon = text.rfind(':'); colon != std::string::npos && text.find(':') == colon) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (host.empty())
        return std::nullopt;
    address.host = host;
    if (!port.empty()) {
        const auto number = ConfigurationText("p=" + port).Number("p", 0, 65535);
        if (!number)
            return std::nullopt;
        address.port = static_cast<int>(*number);
    }
    return address;
}

} // namespace

bool IsLoopback(const std::string& host)
{
    if (host == "localhost")
        return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    return inet_pton(AF_INET6, host.c_str(), &v6) == 1 && IN6_IS_ADDR_LOOPBACK(&v6);
}

ServerSettings ReadServerSettings(const ConfigurationText& fields, std::string& problems)
{
    ServerSettings settings;
    if (const auto listen = fields.Text("listen")) {
        if (const auto address = ReadAddress(*listen))
            settings.listen = *address;
        else
            Note(problems, "listen");
    }
    if (const auto display = fields.Text("display"); display && *display != "all") {
        bool invalid = false;
        if (const auto index = fields.Number("display", 0, 255, &invalid))
            settings.display = *index;
        else
            Note(problems, "display");
    }
    if (const auto utf8 = fields.Text("utf8")) {
        if (*utf8 == "yes" || *utf8 == "no")
            settings.utf8 = *utf8 == "yes";
        else
            Note(problems, "utf8");
    }
    bool invalid = false;
    settings.clients = fields.Number("clients", 1, 1024, &invalid).value_or(settings.clients);
    if (invalid)
        Note(problems, "clients");
    return settings;
}

} // namespace pixtera::lcdproc
