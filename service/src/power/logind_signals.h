// SPDX-License-Identifier: MIT
#pragma once
// Readers of what logind and the bus driver send on the system bus, for messages of any shape:
// each returns what it read, or nothing when the arguments are not of the types expected. None
// throws. They read from the first argument on, whatever was read before (a message made rather
// than received must be sealed first); arguments after the expected ones are ignored. Who sent
// the message is the caller's to check.

#include "session_hints.h"

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace pixtera {

// A change to a session's hints: a field is set when the message carried it.
struct HintsChange {
    std::optional<bool> locked;
    std::optional<bool> idle;
    std::optional<std::uint64_t> idleSince;

    void ApplyTo(SessionHints& hints) const;
};

struct NameOwnerChange {
    std::string name;
    std::string oldOwner;
    std::string newOwner; // empty: the name has no owner now
};

// Manager.PrepareForSleep (b): whether the machine is about to sleep (false: it woke).
std::optional<bool> ReadPrepareForSleep(sdbus::Message& message);

// Properties.PropertiesChanged (s a{sv} as) of a session: its hints; an empty change when the
// interface is not logind's Session.
std::optional<HintsChange> ReadSessionPropertiesChanged(sdbus::Message& message);
// The same from the values read: the interface and the changed properties.
std::optional<HintsChange> ReadSessionProperties(const std::string& interface,
                                                 const std::map<std::string, sdbus::Variant>& properties);
// Properties.GetAll's answer (a{sv}) for logind's Session interface.
std::optional<HintsChange> ReadSessionGetAll(sdbus::Message& reply);

// Manager.SessionNew and SessionRemoved (s o): the session's object path.
std::optional<std::string> ReadSessionAnnouncement(sdbus::Message& message);

// Properties.PropertiesChanged (s a{sv} as) of a user: whether it changed or invalidated
// `Display`.
std::optional<bool> ReadUserDisplayChanged(sdbus::Message& message);
// User.Display, the answer to Properties.Get (v holding (so)): the session's object path, empty
// when the user has no display session.
std::optional<std::string> ReadDisplaySession(sdbus::Message& reply);
std::optional<std::string> ReadDisplaySession(const sdbus::Variant& display);
// Manager.GetSessionByPID's answer (o).
std::optional<std::string> ReadSessionPath(sdbus::Message& reply);

// DBus.NameOwnerChanged (s s s), and DBus.GetNameOwner's answer (s).
std::optional<NameOwnerChange> ReadNameOwnerChanged(sdbus::Message& message);
std::optional<std::string> ReadNameOwner(sdbus::Message& reply);

} // namespace pixtera
