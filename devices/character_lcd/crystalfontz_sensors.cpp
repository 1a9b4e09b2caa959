// SPDX-License-Identifier: MIT
#include "crystalfontz_sensors.h"

#include "crystalfontz_module.h"

#include <pixtera/sdk/configuration_text.h>

#include <charconv>

namespace pixtera::lcd {
namespace {

// The module's own conversion: rpm = 27692308 / pulses a revolution * (cycles - 3) / ticks;
// three cycles or fewer is a fan that stands, 0xFF one it could not time.
constexpr std::uint64_t kFanTickRate = 27692308;
constexpr int kUncountedCycles = 3;
constexpr std::uint8_t kFanNotTimed = 0xFF;
constexpr double kFastestFan = 30000; // rpm
// The range of the 1-Wire sensors the SCAB reads.
constexpr double kColdest = -55;
constexpr double kHottest = 125;

std::optional<int> Channel(std::string_view text, int highest)
{
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < 1 || value > highest)
        return std::nullopt;
    return value;
}

std::uint8_t Byte(const std::string& data, std::size_t index) { return static_cast<std::uint8_t>(data[index]); }

std::optional<SensorReading> FanReading(const std::string& data)
{
    const int fan = Byte(data, 0);
    const int cycles = Byte(data, 1);
    const unsigned ticks = Byte(data, 2) << 8 | Byte(data, 3);
    if (fan >= cfa::kFans || cycles == kFanNotTimed)
        return std::nullopt;
    if (cycles <= kUncountedCycles)
        return SensorReading{SensorReading::Kind::Fan, fan + 1, 0};
    if (ticks == 0)
        return std::nullopt;
    const std::uint64_t rpm =
        kFanTickRate / kFanPulsesPerRevolution * static_cast<std::uint64_t>(cycles - kUncountedCycles) / ticks;
    if (static_cast<double>(rpm) > kFastestFan)
        return std::nullopt;
    return SensorReading{SensorReading::Kind::Fan, fan + 1, static_cast<double>(rpm)};
}

std::optional<SensorReading> TemperatureReading(const std::string& data)
{
    const int sensor = Byte(data, 0);
    const bool sensorCrcGood = Byte(data, 3) != 0;
    if (sensor >= cfa::kTemperatureSensors || !sensorCrcGood)
        return std::nullopt;
    const auto sixteenths = static_cast<std::int16_t>(Byte(data, 1) | Byte(data, 2) << 8);
    const double celsius = sixteenths / 16.0;
    if (celsius < kColdest || celsius > kHottest)
        return std::nullopt;
    return SensorReading{SensorReading::Kind::Temperature, sensor + 1, celsius};
}

} // namespace

std::optional<std::uint32_t> ParseChannelList(std::string_view text, int highest)
{
    std::uint32_t mask = 0;
    for (const std::string& entry : CommaList(text)) {
        const std::string_view range(entry);
        const auto dash = range.find('-');
        const auto first = Channel(TrimBlanks(range.substr(0, dash)), highest);
        const auto last = dash == std::string_view::npos ? first : Channel(TrimBlanks(range.substr(dash + 1)), highest);
        if (!first || !last || *last < *first)
            return std::nullopt;
        for (int channel = *first; channel <= *last; ++channel)
            mask |= std::uint32_t{1} << (channel - 1);
    }
    return mask;
}

std::string FanReportingData(const SensorChannels& channels)
{
    return std::string(1, static_cast<char>(channels.fans));
}

std::string TemperatureReportingData(const SensorChannels& channels)
{
    std::string data;
    for (int shift = 0; shift < 32; shift += 8)
        data += static_cast<char>(channels.temperatures >> shift & 0xFF);
    return data;
}

std::optional<SensorReading> ReadSensorReport(const Packet& report)
{
    if (report.kind != PacketKind::Report || report.data.size() != 4)
        return std::nullopt;
    if (report.command == cfa::kFanReport)
        return FanReading(report.data);
    if (report.command == cfa::kTemperatureReport)
        return TemperatureReading(report.data);
    return std::nullopt;
}

} // namespace pixtera::lcd
