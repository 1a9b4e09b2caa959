// SPDX-License-Identifier: MIT
#pragma once
// The table of objects, interfaces and members in docs/dbus.md, made from the interface files.

#include "bus_interface_file.h"

#include <optional>
#include <string>
#include <vector>

namespace pixtera::bus {

// A Markdown table: object path (once per object), interface, and its members with their docs.
std::string BusInterfaceTable(const std::vector<BusInterface>& interfaces);

// `document` with the text between its two table markers replaced by `table`; nothing when a
// marker is missing.
std::optional<std::string> WithBusInterfaceTable(const std::string& document, const std::string& table);

inline constexpr const char* kTableBegins =
    "<!-- the table below is made from common/remote/interfaces/ by scripts/update-dbus-doc.sh -->\n";
inline constexpr const char* kTableEnds = "<!-- end of the generated table -->\n";

} // namespace pixtera::bus
