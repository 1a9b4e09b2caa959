// SPDX-License-Identifier: MIT
#include "logind_signals.h"

#include <algorithm>
#include <vector>

namespace pixtera {
namespace {

constexpr const char* kSession = "org.freedesktop.login1.Session";
constexpr const char* kUser = "org.freedesktop.login1.User";

// Reads the arguments in order from the first one: false when one is missing or of another type.
// A message read before is read again from its start.
template <class... Values>
bool ReadArguments(sdbus::Message& message, Values&... values)
{
    try {
        message.rewind(true);
        message.clearFlags();
        (message >> ... >> values);
        return static_cast<bool>(message);
    } catch (const sdbus::Error&) {
        return false;
    }
}

// The value when the variant holds exactly that type.
template <class T>
std::optional<T> Holding(const sdbus::Variant& value)
{
    try {
        if (value.containsValueOfType<T>())
            return value.get<T>();
    } catch (const sdbus::Error&) {
    }
    return std::nullopt;
}

// False when the property is there with a value of another type.
template <class T>
bool Take(const std::map<std::string, sdbus::Variant>& properties, const char* name, std::optional<T>& field)
{
    const auto it = properties.find(name);
    if (it == properties.end())
        return true;
    field = Holding<T>(it->second);
    return field.has_value();
}

} // namespace

void HintsChange::ApplyTo(SessionHints& hints) const
{
    hints.locked = locked.value_or(hints.locked);
    hints.idle = idle.value_or(hints.idle);
    hints.idleSince = idleSince.value_or(hints.idleSince);
}

std::optional<bool> ReadPrepareForSleep(sdbus::Message& message)
{
    bool sleeping = false;
    if (!ReadArguments(message, sleeping))
        return std::nullopt;
    return sleeping;
}

std::optional<HintsChange> ReadSessionProperties(const std::string& interface,
                                                 const std::map<std::string, sdbus::Variant>& properties)
{
    HintsChange change;
    if (interface != kSession)
        return change;
    if (!Take(properties, "LockedHint", change.locked) || !Take(properties, "IdleHint", change.idle) ||
        !Take(properties, "IdleSinceHintMonotonic", change.idleSince))
        return std::nullopt;
    return change;
}

std::optional<HintsChange> ReadSessionPropertiesChanged(sdbus::Message& message)
{
    std::string interface;
    std::map<std::string, sdbus::Variant> changed;
    std::vector<std::string> invalidated;
    if (!ReadArguments(message, interface, changed, invalidated))
        return std::nullopt;
    return ReadSessionProperties(interface, changed);
}

std::optional<HintsChange> ReadSessionGetAll(sdbus::Message& reply)
{
    std::map<std::string, sdbus::Variant> properties;
    if (!ReadArguments(reply, properties))
        return std::nullopt;
    return ReadSessionProperties(kSession, properties);
}

std::optional<std::string> ReadSessionAnnouncement(sdbus::Message& message)
{
    std::string id;
    sdbus::ObjectPath path;
    if (!ReadArguments(message, id, path))
        return std::nullopt;
    return path;
}

std::optional<bool> ReadUserDisplayChanged(sdbus::Message& message)
{
    std::string interface;
    std::map<std::string, sdbus::Variant> changed;
    std::vector<std::string> invalidated;
    if (!ReadArguments(message, interface, changed, invalidated))
        return std::nullopt;
    return interface == kUser && (changed.count("Display") != 0 ||
                                  std::find(invalidated.begin(), invalidated.end(), "Display") != invalidated.end());
}

std::optional<std::string> ReadDisplaySession(const sdbus::Variant& display)
{
    const auto session = Holding<sdbus::Struct<std::string, sdbus::ObjectPath>>(display);
    if (!session)
        return std::nullopt;
    // logind answers ("", "/") when the user has no display session.
    return std::get<0>(*session).empty() ? std::string() : std::string(std::get<1>(*session));
}

std::optional<std::string> ReadDisplaySession(sdbus::Message& reply)
{
    sdbus::Variant display;
    if (!ReadArguments(reply, display))
        return std::nullopt;
    return ReadDisplaySession(display);
}

std::optional<std::string> ReadSessionPath(sdbus::Message& reply)
{
    sdbus::ObjectPath path;
    if (!ReadArguments(reply, path))
        return std::nullopt;
    return path;
}

std::optional<NameOwnerChange> ReadNameOwnerChanged(sdbus::Message& message)
{
    NameOwnerChange change;
    if (!ReadArguments(message, change.name, change.oldOwner, change.newOwner))
        return std::nullopt;
    return change;
}

std::optional<std::string> ReadNameOwner(sdbus::Message& reply)
{
    std::string owner;
    if (!ReadArguments(reply, owner))
        return std::nullopt;
    return owner;
}

} // namespace pixtera
