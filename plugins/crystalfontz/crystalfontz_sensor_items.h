// SPDX-License-Identifier: MIT
#pragma once
// The fan and temperature channels a CrystalFontz driver was configured to hear from, as data
// items. Readings arrive on the port's reader thread and only the newest of each channel is kept,
// so a flood of reports costs nothing but the reading; a poll publishes them. An item appears with
// its channel's first reading and stays (its last value) while the module is away: a channel
// that never reports, as on a module without a SCAB, is no item.

#include "crystalfontz_sensors.h"

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/variant.h>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::lcd {

class CrystalfontzSensorItems {
public:
    // The channels asked for from now on; what was read of others is forgotten.
    void Configure(const SensorChannels& channels);
    // On the reader thread: a report's reading, when it is of a channel asked for.
    void Take(const SensorReading& reading);
    // The newest readings become the items' values; a channel's first adds its item.
    void Publish();

    LONG count() const;
    HRESULT Name(LONG index, BSTR* name) const;
    HRESULT Description(LONG index, BSTR* description) const;
    HRESULT Value(LONG index, VARIANT* value) const;

private:
    struct Item {
        SensorReading::Kind kind;
        int channel;
        double value;
        std::string name; // "CrystalFontz fan 1"
        std::string description; // "CrystalFontz\Fan 1 (rpm)"
    };
    static Item ItemOf(const SensorReading& reading);
    void Publish(const SensorReading& reading); // under mutex_

    mutable std::mutex mutex_; // guards everything below
    SensorChannels channels_;
    std::array<std::optional<double>, cfa::kFans> fans_; // the newest, not yet published
    std::array<std::optional<double>, cfa::kTemperatureSensors> temperatures_;
    std::vector<Item> items_; // in the order they first reported; at most one per channel
};

} // namespace pixtera::lcd
