// SPDX-License-Identifier: MIT
#pragma once
// One entry of a display's queue as pixtera2.xml stores it: a queueitem element with the design's
// Filename and its Runtime in seconds.

#include <pixtera/platform/types.h>

#include <pugixml.hpp>

#include <filesystem>
#include <optional>
#include <string>

namespace pixtera {

// Where a display's queue is stored: the configuration file and the driver element that produced
// the display, known by its position among the driver elements and by its two attributes.
struct QueueOrigin {
    std::filesystem::path configuration;
    int driverElement = -1;
    std::string clsid;
    std::string driverConfiguration;
};

struct QueueEntry {
    std::u16string fileName;
    LONG seconds = 0;
};

// The entry a queueitem element holds; none when an attribute is missing or the runtime is not a
// number. Runtimes are read by the platform's number rules (blanks and a sign allowed).
std::optional<QueueEntry> ReadQueueEntry(const pugi::xml_node& queueItem);

// Sets the element's two attributes to the entry; its other attributes stay.
void WriteQueueEntry(pugi::xml_node queueItem, const QueueEntry& entry);

} // namespace pixtera
