// SPDX-License-Identifier: MIT
#pragma once
// What the messages of MPRIS2 players and of the bus say, read without trusting them: any program
// on the session bus may send a signal of these names with arguments of any types, and a player
// may answer anything. Each reader returns what it read, or nothing when the message holds other
// types or too few arguments; it never throws a bus error.

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::media {

using Properties = std::map<std::string, sdbus::Variant>;

struct PropertiesChange {
    std::string interface;
    Properties changed;
};

struct OwnerChange {
    std::string name;
    std::string oldOwner;
    std::string newOwner; // empty: the name is gone
};

// org.freedesktop.DBus.Properties.PropertiesChanged (sa{sv}as).
std::optional<PropertiesChange> ReadPropertiesChanged(sdbus::Message& message);
// org.mpris.MediaPlayer2.Player.Seeked (x): the position in microseconds.
std::optional<std::int64_t> ReadSeeked(sdbus::Message& message);
// org.freedesktop.DBus.NameOwnerChanged (sss).
std::optional<OwnerChange> ReadNameOwnerChanged(sdbus::Message& message);
// The answer to Properties.GetAll (a{sv}).
std::optional<Properties> ReadProperties(sdbus::Message& message);
// The answer to Properties.Get of a text property (v holding s).
std::optional<std::string> ReadTextProperty(sdbus::Message& message);
// The answer to ListNames (as), or a name's owner from GetNameOwner (s).
std::optional<std::vector<std::string>> ReadNames(sdbus::Message& message);
std::optional<std::string> ReadName(sdbus::Message& message);

} // namespace pixtera::media
