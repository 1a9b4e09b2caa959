// SPDX-License-Identifier: MIT
#include "plugin_place.h"

#include "lcd_settings.h"

namespace pixtera::detection {
namespace {

constexpr const char* kI2c = "Pixtera.HD44780I2C";
constexpr const char* kSerial = "Pixtera.SerialLCD";
constexpr const char* kLcdd = "Pixtera.LCDprocDisplay";

std::string I2cPlace(const ConfigurationText& fields)
{
    std::vector<std::string> problems;
    const auto settings = lcd::ReadI2cSettings(fields, problems);
    return "/dev/i2c-" + std::to_string(settings.bus) + " address " + lcd::HexByte(settings.address);
}

std::string SerialPlace(const ConfigurationText& fields)
{
    std::vector<std::string> problems;
    return lcd::ReadSerialSettings(fields, problems).device;
}

std::string LcddPlace(const ConfigurationText& fields)
{
    return "LCDd at " + fields.Text("host").value_or("127.0.0.1") + ":" +
           std::to_string(fields.Number("port", 1, 65535).value_or(13666));
}

// A driver told only by its keys: each native driver has one that no other display has.
std::string PlaceByKeys(const ConfigurationText& fields)
{
    if (fields.Text("bus") || fields.Text("address"))
        return I2cPlace(fields);
    if (fields.Text("device"))
        return SerialPlace(fields);
    if (fields.Text("host"))
        return LcddPlace(fields);
    return {};
}

} // namespace

std::string PlaceOf(const std::string& progId, const std::string& configuration)
{
    const ConfigurationText fields(configuration);
    if (progId == kI2c)
        return I2cPlace(fields);
    if (progId == kSerial)
        return SerialPlace(fields);
    if (progId == kLcdd)
        return LcddPlace(fields);
    if (progId.empty())
        if (std::string place = PlaceByKeys(fields); !place.empty())
            return place;
    // The file or terminal of the file, terminal and data plug-ins.
    for (const char* key : {"path", "file", "tty"})
        if (const auto place = fields.Text(key); place && !place->empty())
            return *place;
    return {};
}

} // namespace pixtera::detection
