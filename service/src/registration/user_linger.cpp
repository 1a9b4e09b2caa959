// SPDX-License-Identifier: MIT
#include "user_linger.h"

#include <sdbus-c++/sdbus-c++.h>

#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace pixtera {
namespace {

constexpr const char* kLogin = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

bool Refusal(const std::string& error)
{
    return error == "org.freedesktop.DBus.Error.AccessDenied" || error == "org.freedesktop.DBus.Error.AuthFailed" ||
           error == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired";
}

std::string UserName()
{
    if (const passwd* entry = getpwuid(getuid()))
        return entry->pw_name;
    return std::to_string(getuid());
}

} // namespace

LingerResult EnableLingering()
{
    std::error_code ec;
    // logind's own record: a user who lingers already needs no call (and no permission).
    if (std::filesystem::exists(std::filesystem::path("/var/lib/systemd/linger") / UserName(), ec))
        return {LingerResult::Outcome::AlreadyOn, {}};
    try {
        auto bus = sdbus::createSystemBusConnection();
        auto login = sdbus::createProxy(*bus, kLogin, kLoginPath);
        // Not interactive: a password prompt of the system's would hang a registration run from the designer.
        login->callMethod("SetUserLinger")
            .onInterface(kManager)
            .withTimeout(std::chrono::seconds(10))
            .withArguments(static_cast<std::uint32_t>(getuid()), true, false);
        return {LingerResult::Outcome::Enabled, {}};
    } catch (const sdbus::Error& error) {
        const auto outcome =
            Refusal(error.getName()) ? LingerResult::Outcome::Refused : LingerResult::Outcome::Unavailable;
        return {outcome, error.getMessage().empty() ? error.getName() : error.getMessage()};
    }
}

std::string LingerHint(const LingerResult& result)
{
    const std::string user = UserName();
    const std::string byHand = "To start it at boot without a login, run: loginctl enable-linger " + user;
    switch (result.outcome) {
    case LingerResult::Outcome::Enabled:
    case LingerResult::Outcome::AlreadyOn: return {};
    case LingerResult::Outcome::Refused:
        return "The system refused to let " + user + " linger (" + result.reason +
               "), so the service starts when you log in, not at boot. " + byHand +
               " (as an administrator: sudo loginctl enable-linger " + user + ")";
    case LingerResult::Outcome::Unavailable:
        return "Lingering could not be switched on (" + result.reason +
               "), so the service starts when you log in, not at boot. " + byHand;
    }
    return {};
}

} // namespace pixtera
