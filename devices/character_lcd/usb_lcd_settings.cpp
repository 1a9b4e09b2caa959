// SPDX-License-Identifier: MIT
#include "usb_lcd_settings.h"

namespace pixtera::lcd {
namespace {

bool ReadOnOff(const ConfigurationText& fields, const std::string& name, bool fallback,
               std::vector<std::string>& problems)
{
    const auto text = fields.Text(name);
    if (!text)
        return fallback;
    if (*text == "on" || *text == "yes" || *text == "1")
        return true;
    if (*text == "off" || *text == "no" || *text == "0")
        return false;
    problems.push_back(name + " (on or off)");
    return fallback;
}

std::optional<int> ReadLevel(const ConfigurationText& fields, const std::string& name,
                             std::vector<std::string>& problems)
{
    bool invalid = false;
    const auto value = fields.Number(name, 0, 255, &invalid);
    if (invalid)
        problems.push_back(name + " (0 to 255)");
    return value ? std::optional<int>(*value) : std::nullopt;
}

bool IsDevice(const std::string& device)
{
    return device == "auto" || (device.rfind("auto:", 0) == 0 && device.size() > 5) ||
           (device.rfind("/dev/", 0) == 0 && device.size() > 5);
}

CharacterRom ReadRom(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    const auto rom = fields.Text("rom");
    if (!rom)
        return CharacterRom::A00;
    const auto parsed = ParseRom(*rom);
    if (!parsed)
        problems.emplace_back("rom (a00 or a02)");
    return parsed.value_or(CharacterRom::A00);
}

KeypadMap ReadKeys(const ConfigurationText& fields, const char* fallback, std::vector<std::string>& problems)
{
    std::string problem;
    if (const auto keys = fields.Text("keys")) {
        if (const auto map = ParseKeypadMap(*keys, problem))
            return *map;
        problems.push_back("keys (code:key pairs such as 0x01:Enter,0x02:Escape; not \"" + problem + "\")");
    }
    return *ParseKeypadMap(fallback, problem);
}

} // namespace

PicoLcdSettings ReadPicoLcdSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    PicoLcdSettings settings;
    if (const auto device = fields.Text("device"); device && !device->empty()) {
        if (IsDevice(*device))
            settings.device = *device;
        else
            problems.emplace_back("device (auto, auto:BUS-PORT or /dev/hidrawN)");
    }
    settings.options.backlight = ReadOnOff(fields, "backlight", true, problems);
    settings.options.brightness = ReadLevel(fields, "brightness", problems).value_or(255);
    settings.options.contrast = ReadLevel(fields, "contrast", problems);
    settings.options.leds = ReadLevel(fields, "leds", problems);
    settings.options.rom = ReadRom(fields, problems);
    settings.keys = ReadKeys(fields, kPicoLcdKeyMap, problems);
    return settings;
}

Lcd2UsbSettings ReadLcd2UsbSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    Lcd2UsbSettings settings;
    if (const auto device = fields.Text("device"); device && !device->empty()) {
        if (*device == "auto" || (device->rfind("auto:", 0) == 0 && device->size() > 5))
            settings.device = *device;
        else
            problems.emplace_back("device (auto or auto:BUS-PORT)");
    }
    bool invalid = false;
    settings.options.geometry.columns = fields.Number("columns", 8, 40, &invalid).value_or(20);
    if (invalid)
        problems.emplace_back("columns (8 to 40)");
    invalid = false;
    settings.options.geometry.rows = fields.Number("rows", 1, 4, &invalid).value_or(4);
    if (invalid)
        problems.emplace_back("rows (1 to 4)");
    settings.options.backlight = ReadOnOff(fields, "backlight", true, problems);
    settings.options.brightness = ReadLevel(fields, "brightness", problems).value_or(255);
    settings.options.contrast = ReadLevel(fields, "contrast", problems);
    settings.options.rom = ReadRom(fields, problems);
    settings.keys = ReadKeys(fields, kLcd2UsbKeyMap, problems);
    return settings;
}

} // namespace pixtera::lcd
