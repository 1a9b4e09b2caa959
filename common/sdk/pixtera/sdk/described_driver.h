// SPDX-License-Identifier: MIT
#pragma once
// A driver as tools that never load it see it: its ProgID, the keys it describes (its place among
// them) and how that place reads for people. Detection and the designer's titles know a driver
// from this alone.

#include <pixtera/sdk/described_settings.h>

#include <span>

namespace pixtera {

struct DescribedDriver {
    const char* progId;
    std::span<const SettingDescription> settings;
    // The place for people: each {key} is that setting's value as the driver reads it (a missing
    // or unusable one at its default); {key:hex} writes a number as 0x27. "/dev/i2c-{bus}".
    // Alternatives are separated by |, each but the last starting with the condition
    // [key=value] under which it is the one: "[adapter=i2c-dev]/dev/i2c-{bus}|{adapter}".
    const char* readablePlace;
};

} // namespace pixtera
