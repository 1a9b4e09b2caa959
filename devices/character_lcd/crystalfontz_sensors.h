// SPDX-License-Identifier: MIT
#pragma once
// The fan and temperature channels of a CrystalFontz module with its SCAB: which ones the driver
// asks to hear from (fan reporting, command 16: a mask of fans 1-4; temperature reporting,
// command 19: four masks of sensors 1-32, lowest first), and their reports read as values. The
// module sends a fan report (0x81) for each fan asked about every half second: the fan (0-3),
// the tach cycles counted and the timer ticks they took (high byte first). A temperature report
// (0x82) names the sensor (0-31), its count of 1/16 degrees Celsius (signed, low byte first) and
// whether the sensor's own CRC matched.

#include "crystalfontz_packet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera::lcd {

namespace cfa {
inline constexpr int kFans = 4;
inline constexpr int kTemperatureSensors = 32;
} // namespace cfa

struct SensorChannels {
    std::uint8_t fans = 0; // bit 0: fan 1
    std::uint32_t temperatures = 0; // bit 0: sensor 1

    bool any() const { return fans != 0 || temperatures != 0; }
    bool operator==(const SensorChannels&) const = default;
};

// "1,2" or "1-4,32": channels 1 to `highest`, as a mask (bit 0 channel 1); none when any entry
// is not a channel or a range of them. An empty text is no channel.
std::optional<std::uint32_t> ParseChannelList(std::string_view text, int highest);

// The data of the reporting commands for `channels`.
std::string FanReportingData(const SensorChannels& channels);
std::string TemperatureReportingData(const SensorChannels& channels);

struct SensorReading {
    enum class Kind { Fan, Temperature };
    Kind kind = Kind::Fan;
    int channel = 0; // from 1, as the module's labels count
    double value = 0; // rpm, or degrees Celsius
    bool operator==(const SensorReading&) const = default;
};

// Fans are read as having two tach pulses a revolution, as most do.
inline constexpr int kFanPulsesPerRevolution = 2;

// A fan or temperature report as a reading; none for any other packet, a report of the wrong
// length or for a channel beyond the module's, a sensor whose CRC failed, a fan the module could
// not time, and a value no fan or sensor gives (noise that passed the packet's CRC).
std::optional<SensorReading> ReadSensorReport(const Packet& report);

} // namespace pixtera::lcd
