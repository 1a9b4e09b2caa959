// SPDX-License-Identifier: MIT
#include "crystalfontz_settings.h"

namespace pixtera::lcd {
namespace {

std::optional<LedColour> ColourOf(std::string_view name)
{
    if (name == "off")
        return LedColour::Off;
    if (name == "green")
        return LedColour::Green;
    if (name == "red")
        return LedColour::Red;
    if (name == "amber")
        return LedColour::Amber;
    return std::nullopt;
}

} // namespace

std::optional<LedColours> ParseLedColours(std::string_view text)
{
    LedColours colours{};
    std::size_t count = 0;
    while (count < colours.size()) {
        const auto comma = text.find(',');
        const auto colour = ColourOf(text.substr(0, comma));
        if (!colour)
            return std::nullopt;
        colours[count++] = *colour;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    if (count != colours.size() || text.find(',') != std::string_view::npos)
        return std::nullopt;
    return colours;
}

CrystalfontzSettings ReadCrystalfontzSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    CrystalfontzSettings settings;
    settings.device = fields.Text("device").value_or(settings.device);
    if (const auto model = fields.Text("model")) {
        if (const auto known = ParseCrystalfontzModel(*model))
            settings.model = *known;
        else
            problems.emplace_back("model (533, 631, 633 or 635)");
    }
    settings.speed = TraitsOf(settings.model).speed;
    if (const auto speed = fields.Text("speed"); speed && !speed->empty()) {
        if (*speed == "19200" || *speed == "115200")
            settings.speed = std::stoi(*speed);
        else
            problems.emplace_back("speed (19200 or 115200)");
    }
    if (const auto backlight = fields.Text("backlight")) {
        if (*backlight == "on" || *backlight == "off")
            settings.options.backlight = *backlight == "on";
        else
            problems.emplace_back("backlight (on or off)");
    }
    bool invalid = false;
    settings.options.brightness = static_cast<int>(fields.Number("brightness", 0, 100, &invalid).value_or(100));
    if (invalid)
        problems.emplace_back("brightness (0 to 100)");
    if (const auto contrast = fields.Text("contrast"); contrast && !contrast->empty()) {
        invalid = false;
        if (const auto value = fields.Number("contrast", 0, 255, &invalid))
            settings.options.contrast = static_cast<int>(*value);
        if (invalid)
            problems.emplace_back("contrast (0 to 255)");
    }
    if (const auto leds = fields.Text("leds"); leds && !leds->empty()) {
        settings.options.leds = ParseLedColours(*leds);
        if (!settings.options.leds)
            problems.emplace_back("leds (four of off, green, red or amber, top first)");
    }
    invalid = false;
    settings.options.watchdog = static_cast<int>(fields.Number("watchdog", 0, 255, &invalid).value_or(0));
    if (invalid)
        problems.emplace_back("watchdog (0 to 255 seconds)");
    if (const auto fans = ParseChannelList(fields.Text("fans").value_or(""), cfa::kFans))
        settings.options.sensors.fans = static_cast<std::uint8_t>(*fans);
    else
        problems.emplace_back("fans (channels 1 to 4: 1,2 or 1-4)");
    if (const auto sensors = ParseChannelList(fields.Text("temperatures").value_or(""), cfa::kTemperatureSensors))
        settings.options.sensors.temperatures = *sensors;
    else
        problems.emplace_back("temperatures (sensors 1 to 32: 1,2 or 1-4)");
    if (const auto rom = fields.Text("rom")) {
        if (const auto parsed = ParseRom(*rom))
            settings.options.rom = *parsed;
        else
            problems.emplace_back("rom (a00 or a02)");
    }
    return settings;
}

} // namespace pixtera::lcd
