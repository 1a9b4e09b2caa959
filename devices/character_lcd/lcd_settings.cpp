// SPDX-License-Identifier: MIT
#include "lcd_settings.h"

#include "device_link.h"

#include <charconv>
#include <cstdio>

namespace pixtera::lcd {
namespace {

// HD44780 modules come with 8 to 40 columns and 1 to 4 rows.
Geometry ReadGeometry(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    Geometry geometry;
    bool invalid = false;
    geometry.columns = fields.Number("columns", 1, 40, &invalid).value_or(20);
    if (invalid)
        problems.emplace_back("columns (1 to 40)");
    invalid = false;
    geometry.rows = fields.Number("rows", 1, 4, &invalid).value_or(4);
    if (invalid)
        problems.emplace_back("rows (1 to 4)");
    return geometry;
}

bool ReadSwitch(const ConfigurationText& fields, const std::string& name, bool fallback,
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

// A decimal or 0x-prefixed hexadecimal number.
std::optional<int> ReadInteger(std::string_view text)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

CharacterRom ReadRom(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    const auto text = fields.Text("rom");
    if (!text)
        return CharacterRom::A00;
    const auto rom = ParseRom(*text);
    if (!rom)
        problems.emplace_back("rom (a00, a02 or cyrillic)");
    return rom.value_or(CharacterRom::A00);
}

std::optional<int> ReadByteValue(const ConfigurationText& fields, const std::string& name,
                                 std::vector<std::string>& problems)
{
    bool invalid = false;
    const auto value = fields.Number(name, 0, 255, &invalid);
    if (invalid)
        problems.push_back(name + " (0 to 255)");
    return value ? std::optional<int>(*value) : std::nullopt;
}

// "rs,rw,e,backlight,d4,d5,d6,d7": the expander pin (0-7) of each line, each pin once.
std::optional<Pcf8574Pins> ReadPinList(std::string_view text)
{
    std::uint8_t masks[8] = {};
    std::uint8_t used = 0;
    for (int line = 0; line < 8; ++line) {
        const auto comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        if ((comma == std::string_view::npos) != (line == 7) || item.size() != 1 || item[0] < '0' || item[0] > '7')
            return std::nullopt;
        const auto mask = static_cast<std::uint8_t>(1 << (item[0] - '0'));
        if (used & mask)
            return std::nullopt;
        used |= mask;
        masks[line] = mask;
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    return Pcf8574Pins{masks[0], masks[1], masks[2], masks[3], {masks[4], masks[5], masks[6], masks[7]}};
}

void ReadModel(const ConfigurationText& fields, SerialSettings& settings, std::vector<std::string>& problems)
{
    const auto model = fields.Text("model").value_or("generic");
    if (model == "adafruit")
        settings.extras.model = SerialModel::Adafruit;
    else if (model != "generic")
        problems.emplace_back("model (generic or adafruit)");
    const auto colour = fields.Text("colour");
    if (!colour)
        return;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(colour->data(), colour->data() + colour->size(), value, 16);
    if (colour->size() != 6 || error != std::errc() || end != colour->data() + colour->size()) {
        problems.emplace_back("colour (RRGGBB in hexadecimal)");
        return;
    }
    settings.extras.colour = {static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                              static_cast<std::uint8_t>(value)};
}

} // namespace

I2cSettings ReadI2cSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    I2cSettings settings;
    if (const auto text = fields.Text("adapter")) {
        if (const auto adapter = ParseAdapter(*text))
            settings.adapter = *adapter;
        else
            problems.emplace_back("adapter (i2c-dev, ch341, mcp2221 or cp2112, optionally :SERIAL or :BUS-PORT)");
    }
    if (const auto speed = fields.Text("speed")) {
        if (*speed == "400")
            settings.speed = 400000;
        else if (*speed != "100")
            problems.emplace_back("speed (100 or 400)");
    }
    bool invalid = false;
    settings.bus = fields.Number("bus", 0, 255, &invalid).value_or(1);
    if (invalid)
        problems.emplace_back("bus (0 to 255)");
    if (const auto text = fields.Text("address")) {
        const auto address = ReadInteger(*text);
        if (address && *address >= 0x03 && *address <= 0x77)
            settings.address = *address;
        else
            problems.emplace_back("address (0x03 to 0x77)");
    }
    settings.geometry = ReadGeometry(fields, problems);
    settings.rom = ReadRom(fields, problems);
    settings.backlight = ReadSwitch(fields, "backlight", true, problems);
    if (const auto expander = fields.Text("expander"); expander && *expander != "auto") {
        settings.expander = ParseExpander(*expander);
        if (!settings.expander)
            problems.emplace_back("expander (auto, pcf8574, mcp23008 or mcp23017)");
    }
    if (const auto pinmap = fields.Text("pinmap")) {
        settings.detectPins = *pinmap == "auto";
        if (*pinmap == "b")
            settings.pins = Pcf8574Pins::B();
        else if (*pinmap == "adafruit")
            settings.board = Backpack::Adafruit();
        else if (*pinmap == "plate")
            settings.board = Backpack::Plate();
        else if (const auto pins = ReadPinList(*pinmap)) {
            settings.pins = *pins;
            settings.pinList = true;
        } else if (*pinmap != "a" && *pinmap != "auto") {
            problems.emplace_back("pinmap (auto, a, b, adafruit, plate or the pins of RS, RW, E, backlight, D4-D7 "
                                  "such as 0,1,2,3,4,5,6,7)");
            settings.detectPins = true;
        }
    }
    if (settings.board && settings.expander && *settings.expander != settings.board->chip) {
        problems.push_back(std::string("pinmap (") +
                           (settings.board->chip == ExpanderChip::Mcp23008 ? "adafruit" : "plate") + " is an " +
                           ExpanderName(settings.board->chip) + " board)");
        settings.board.reset();
        settings.detectPins = true;
    }
    if (settings.board && !settings.expander)
        settings.expander = settings.board->chip; // the board names its chip
    if (const auto timing = fields.Text("timing")) {
        if (*timing == "fast")
            settings.timing = Hd44780Timing::Fast;
        else if (*timing == "slow")
            settings.timing = Hd44780Timing::Slow;
        else if (*timing != "standard")
            problems.emplace_back("timing (fast, standard or slow)");
    }
    invalid = false;
    settings.refresh = fields.Number("refresh", 0, 86400, &invalid).value_or(0);
    if (invalid)
        problems.emplace_back("refresh (0 to 86400 seconds)");
    return settings;
}

Backpack WiringFor(const I2cSettings& settings, ExpanderChip chip)
{
    if (settings.board && settings.board->chip == chip)
        return *settings.board;
    switch (chip) {
    case ExpanderChip::Pcf8574: break;
    case ExpanderChip::Mcp23008: return settings.pinList ? Backpack(chip, settings.pins) : Backpack::Adafruit();
    case ExpanderChip::Mcp23017:
        if (!settings.pinList)
            return Backpack::Plate();
        return Backpack(chip, settings.pins); // on port B, port A left alone
    }
    return Backpack(settings.pins);
}

SerialSettings ReadSerialSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    SerialSettings settings;
    settings.device = fields.Text("device").value_or(settings.device);
    if (const auto speed = fields.Text("speed")) {
        const auto value = ReadInteger(*speed);
        if (value && IsSupportedBaudRate(*value))
            settings.speed = *value;
        else
            problems.emplace_back("speed (1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200)");
    }
    settings.geometry = ReadGeometry(fields, problems);
    settings.options.backlight = ReadSwitch(fields, "backlight", true, problems);
    settings.options.contrast = ReadByteValue(fields, "contrast", problems);
    settings.options.brightness = ReadByteValue(fields, "brightness", problems);
    settings.options.rom = ReadRom(fields, problems);
    settings.extras.size = settings.geometry;
    ReadModel(fields, settings, problems);
    std::string problem;
    settings.keys = *ParseKeypadMap(kDefaultKeypadMap, problem);
    if (const auto keys = fields.Text("keys")) {
        if (const auto map = ParseKeypadMap(*keys, problem))
            settings.keys = *map;
        else
            problems.push_back("keys (byte:key pairs such as A:Left,B:Right; not \"" + problem + "\")");
    }
    if (const auto repeat = fields.Text("keyrepeat"); repeat && !repeat->empty()) {
        if (*repeat == "off")
            settings.extras.keyRepeat = KeyRepeat::Off;
        else if (*repeat == "typematic")
            settings.extras.keyRepeat = KeyRepeat::Typematic;
        else if (*repeat == "updown")
            settings.extras.keyRepeat = KeyRepeat::UpDown;
        else
            problems.emplace_back("keyrepeat (off, typematic or updown)");
    }
    return settings;
}

KernelLcdSettings ReadKernelLcdSettings(const ConfigurationText& fields, std::vector<std::string>& problems)
{
    KernelLcdSettings settings;
    settings.device = fields.Text("device").value_or(settings.device);
    settings.geometry = ReadGeometry(fields, problems);
    settings.backlight = ReadSwitch(fields, "backlight", true, problems);
    settings.rom = ReadRom(fields, problems);
    return settings;
}

std::string HexByte(int address)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02x", address);
    return text;
}

} // namespace pixtera::lcd
