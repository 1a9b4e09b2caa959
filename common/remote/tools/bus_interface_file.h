// SPDX-License-Identifier: MIT
#pragma once
// One D-Bus interface as its introspection XML describes it: the files in
// common/remote/interfaces/ are what the service exports, the proxies call and docs/dbus.md lists.

#include <filesystem>
#include <string>
#include <vector>

namespace pixtera::bus {

struct BusArgument {
    std::string name;
    std::string type;
    std::string direction; // "in" or "out"; empty for a signal's
    friend bool operator==(const BusArgument&, const BusArgument&) = default;
};

struct BusMember {
    std::string name;
    std::vector<BusArgument> arguments; // a property's type and access are its one argument
    std::string doc; // org.freedesktop.DBus.DocString; never compared
};

struct BusInterface {
    std::string name;
    std::string objectPath; // org.pixtera.ObjectPath: where the service exports it
    std::string doc;
    std::vector<BusMember> methods;
    std::vector<BusMember> signals;
    std::vector<BusMember> properties;

    bool Has(const std::string& member) const;
};

// Every interface of one introspection document, in document order; throws std::runtime_error
// naming the file or the fault.
std::vector<BusInterface> ParseBusInterfaces(const std::string& xml);
BusInterface ReadBusInterfaceFile(const std::filesystem::path& file);

// What differs between two descriptions of one interface, member by member, ignoring member
// order and docs; empty when they agree.
std::vector<std::string> BusInterfaceDifferences(const BusInterface& expected, const BusInterface& actual);

} // namespace pixtera::bus
