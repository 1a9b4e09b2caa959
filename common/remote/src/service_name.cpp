// SPDX-License-Identifier: MIT
#include <pixtera/remote/service_name.h>

#include <pixtera/remote/bus_names.h>

#include <sdbus-c++/sdbus-c++.h>

namespace pixtera::remote {
namespace {

template <class Result>
Result AskBusDaemon(sdbus::IConnection& connection, const char* method, const std::string& name,
                    std::chrono::milliseconds timeout)
{
    Result result{};
    try {
        auto daemon = sdbus::createProxy(connection, "org.freedesktop.DBus", "/org/freedesktop/DBus");
        auto call = daemon->createMethodCall("org.freedesktop.DBus", method);
        call << name;
        auto reply = daemon->callMethod(call, static_cast<uint64_t>(timeout.count()) * 1000);
        reply >> result;
    } catch (const sdbus::Error&) {
        // NameHasNoOwner: nobody to tell of.
    }
    return result;
}

} // namespace

std::string ServiceNameOwner(sdbus::IConnection& connection, std::chrono::milliseconds timeout)
{
    return AskBusDaemon<std::string>(connection, "GetNameOwner", bus::kServiceName, timeout);
}

pid_t ConnectionProcess(sdbus::IConnection& connection, const std::string& name, std::chrono::milliseconds timeout)
{
    return static_cast<pid_t>(AskBusDaemon<uint32_t>(connection, "GetConnectionUnixProcessID", name, timeout));
}

} // namespace pixtera::remote
