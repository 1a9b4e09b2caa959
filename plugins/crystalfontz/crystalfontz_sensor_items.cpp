// SPDX-License-Identifier: MIT
#include "crystalfontz_sensor_items.h"

#include <pixtera/sdk/provided_value.h>

#include <algorithm>

namespace pixtera::lcd {

void CrystalfontzSensorItems::Configure(const SensorChannels& channels)
{
    std::lock_guard lock(mutex_);
    channels_ = channels;
    fans_ = {};
    temperatures_ = {};
    std::erase_if(items_, [&](const Item& item) {
        const std::uint32_t mask = item.kind == SensorReading::Kind::Fan ? channels.fans : channels.temperatures;
        return !(mask >> (item.channel - 1) & 1);
    });
}

void CrystalfontzSensorItems::Take(const SensorReading& reading)
{
    const bool fan = reading.kind == SensorReading::Kind::Fan;
    const int highest = fan ? cfa::kFans : cfa::kTemperatureSensors;
    if (reading.channel < 1 || reading.channel > highest)
        return;
    const auto slot = static_cast<std::size_t>(reading.channel - 1);
    std::lock_guard lock(mutex_);
    const std::uint32_t asked = fan ? channels_.fans : channels_.temperatures;
    if (!(asked >> slot & 1))
        return;
    (fan ? fans_[slot] : temperatures_[slot]) = reading.value;
}

void CrystalfontzSensorItems::Publish()
{
    std::lock_guard lock(mutex_);
    for (std::size_t slot = 0; slot < fans_.size(); ++slot)
        if (const auto value = std::exchange(fans_[slot], std::nullopt))
            Publish({SensorReading::Kind::Fan, static_cast<int>(slot) + 1, *value});
    for (std::size_t slot = 0; slot < temperatures_.size(); ++slot)
        if (const auto value = std::exchange(temperatures_[slot], std::nullopt))
            Publish({SensorReading::Kind::Temperature, static_cast<int>(slot) + 1, *value});
}

void CrystalfontzSensorItems::Publish(const SensorReading& reading)
{
    const auto item = std::find_if(items_.begin(), items_.end(), [&](const Item& i) {
        return i.kind == reading.kind && i.channel == reading.channel;
    });
    if (item != items_.end())
        item->value = reading.value;
    else
        items_.push_back(ItemOf(reading));
}

CrystalfontzSensorItems::Item CrystalfontzSensorItems::ItemOf(const SensorReading& reading)
{
    const std::string channel = std::to_string(reading.channel);
    if (reading.kind == SensorReading::Kind::Fan)
        return {reading.kind, reading.channel, reading.value, "CrystalFontz fan " + channel,
                "CrystalFontz\\Fan " + channel + " (rpm)"};
    return {reading.kind, reading.channel, reading.value, "CrystalFontz temperature " + channel,
            "CrystalFontz\\Temperature " + channel + " (\u00B0C)"};
}

LONG CrystalfontzSensorItems::count() const
{
    std::lock_guard lock(mutex_);
    return static_cast<LONG>(items_.size());
}

HRESULT CrystalfontzSensorItems::Name(LONG index, BSTR* name) const
{
    std::lock_guard lock(mutex_);
    return ItemText(items_, index, name, [](const Item& item) { return item.name; });
}

HRESULT CrystalfontzSensorItems::Description(LONG index, BSTR* description) const
{
    std::lock_guard lock(mutex_);
    return ItemText(items_, index, description, [](const Item& item) { return item.description; });
}

HRESULT CrystalfontzSensorItems::Value(LONG index, VARIANT* value) const
{
    std::lock_guard lock(mutex_);
    return ItemValue(items_, index, value, [](const Item& item) { return ProvidedValue(item.value); });
}

} // namespace pixtera::lcd
