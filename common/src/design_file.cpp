// SPDX-License-Identifier: MIT
#include <pixtera/design_file.h>

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/xml_file.h>

#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <cstring>

namespace pixtera {
namespace {

constexpr std::array<const char*, 5> kModes = {"Static", "LeftToRight", "RightToLeft", "HorizontalBar", "BigNumber"};
constexpr std::array<const char*, 3> kAlignments = {"Left", "Right", "Center"};
constexpr std::array<const char*, 5> kUnits = {"Bytes", "KiloBytes", "MegaBytes", "GigaBytes", "TerraBytes"};

// The index of `text` among `names` (case-sensitive, whole text), if it is one of them.
template <std::size_t N>
std::optional<LONG> IndexOf(const std::array<const char*, N>& names, const char* text)
{
    for (std::size_t i = 0; i < N; ++i)
        if (std::strcmp(names[i], text) == 0)
            return static_cast<LONG>(i);
    return std::nullopt;
}

// A decimal integer, blanks around it allowed, within the range of T.
template <class T>
std::optional<T> ParseDecimal(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// Reading one item: every required part missing or malformed throws, with a message.
struct ItemError {
    std::string message;
};

LONG RequiredNumber(const pugi::xml_node& element, const char* attribute)
{
    const pugi::xml_attribute found = element.attribute(attribute);
    if (!found)
        throw ItemError{std::string(element.name()) + " has no " + attribute};
    const auto value = ParseDecimal<LONG>(found.value());
    if (!value)
        throw ItemError{std::string(element.name()) + " " + attribute + " \"" + found.value() + "\" is not a number"};
    return *value;
}

const char* RequiredText(const pugi::xml_node& element, const char* attribute)
{
    const pugi::xml_attribute found = element.attribute(attribute);
    if (!found)
        throw ItemError{std::string(element.name()) + " has no " + attribute};
    return found.value();
}

pugi::xml_node RequiredChild(const pugi::xml_node& item, const char* name)
{
    const pugi::xml_node child = item.child(name);
    if (!child)
        throw ItemError{std::string("DisplayItem has no ") + name};
    return child;
}

void ReadPosition(const pugi::xml_node& item, DisplayItem& record)
{
    const auto position = RequiredChild(item, "Position");
    record.column = RequiredNumber(position, "X");
    record.row = RequiredNumber(position, "Y");
    record.width = RequiredNumber(position, "Width");
    record.height = RequiredNumber(position, "Height");
}

// A big number's digit height: DigitRows when it is 2 or 4, else as high as the item allows.
LONG DigitRows(const pugi::xml_node& appearance, LONG itemHeight)
{
    const auto rows = ParseDecimal<LONG>(appearance.attribute("DigitRows").value());
    if (rows && (*rows == 2 || *rows == 4))
        return *rows;
    return itemHeight >= 4 ? 4 : 2;
}

void ReadAppearance(const pugi::xml_node& item, DisplayItem& record)
{
    const auto appearance = RequiredChild(item, "Appearance");
    record.mode = IndexOf(kModes, RequiredText(appearance, "Mode")).value_or(kModeStatic);
    switch (record.mode) {
    case kModeLeftToRight:
    case kModeRightToLeft: record.scrollDelay = RequiredNumber(appearance, "ScrollDelay"); break;
    case kModeHorizontalBar:
        if (const LONG maximum = RequiredNumber(appearance, "HBarMax"); maximum != 0) {
            record.barMaximum = maximum;
            record.automaticMaximum = false;
        } else {
            record.automaticMaximum = true;
        }
        break;
    case kModeBigNumber: record.digitRows = DigitRows(appearance, record.height); [[fallthrough]];
    default:
        record.alignment = IndexOf(kAlignments, appearance.attribute("Allignment").value()).value_or(kAlignLeft);
        break;
    }
}

void ReadData(const pugi::xml_node& item, DisplayItem& record)
{
    const auto data = RequiredChild(item, "Data");
    const std::string_view mode = RequiredText(data, "Mode");
    if (mode == "Data") {
        record.source = kSourceDataValue;
        record.name = Utf8ToUtf16(RequiredText(data, "Name"));
    } else if (mode == "Static") {
        record.source = kSourceStaticText;
        // Decoded and encoded again: malformed bytes become U+FFFD once, never reach a saved file.
        record.text = Utf16ToUtf8(Utf8ToUtf16(RequiredText(data, "Text")));
    }
}

void ReadConversion(const pugi::xml_node& item, DisplayItem& record)
{
    record.convert = false;
    const auto convert = item.child("Convert");
    if (!convert)
        return;
    const auto from = convert.attribute("From");
    if (!from)
        return;
    record.fromUnit = IndexOf(kUnits, from.value()).value_or(record.fromUnit);
    const auto to = convert.attribute("To");
    if (!to)
        return;
    record.toUnit = IndexOf(kUnits, to.value()).value_or(record.toUnit);
    record.convert = true;
}

void ReadFormatting(const pugi::xml_node& item, DisplayItem& record)
{
    record.format = false;
    const auto digits = item.child("Formatting").attribute("Digits");
    if (!digits)
        return;
    // Unreadable digits count as missing: the item is shown unformatted.
    if (const auto value = ParseDecimal<LONG>(digits.value())) {
        record.digits = *value;
        record.format = true;
    }
}

// The designer starts its items from the scroll delay it gives new ones.
constexpr LONG kDesignerScrollDelay = 200;

DisplayItem ReadItem(const pugi::xml_node& item, DesignReader reader, DWORD now)
{
    DisplayItem record;
    record.scrollStart = now;
    if (reader == DesignReader::Designer)
        record.scrollDelay = kDesignerScrollDelay;
    ReadPosition(item, record);
    ReadAppearance(item, record);
    ReadData(item, record);
    ReadConversion(item, record);
    ReadFormatting(item, record);
    return record;
}

void ReadBackground(const pugi::xml_document& document, Design& design)
{
    const auto backgrounds = document.select_nodes("Design/Background");
    if (backgrounds.size() != 1)
        return;
    if (const auto name = backgrounds.first().node().attribute("FileName"))
        design.background = Utf8ToUtf16(name.value());
}

DWORD ReadUpdateFrequency(const pugi::xml_document& document)
{
    const auto attribute = document.child("Design").attribute("UpdateFreq");
    return attribute ? ParseDecimal<DWORD>(attribute.value()).value_or(kDefaultUpdateFrequency)
                     : kDefaultUpdateFrequency;
}

DesignReadResult NotParsed(Design& design, DesignReader reader, std::string why)
{
    if (reader == DesignReader::Service) {
        design.items.clear();
        design.updateFrequency = kDefaultUpdateFrequency;
    }
    return {DesignReadResult::Status::NotParsed, std::move(why)};
}

DesignReadResult Read(const pugi::xml_document& document, const pugi::xml_parse_result& parsed, Design& design,
                      DesignReader reader, DWORD now)
{
    if (!parsed)
        return NotParsed(design, reader, parsed.description());
    design.items.clear();
    if (reader == DesignReader::Designer)
        design.background.clear();
    ReadBackground(document, design);
    if (reader == DesignReader::Service)
        design.updateFrequency = ReadUpdateFrequency(document);
    std::size_t number = 0;
    for (const auto& selected : document.select_nodes("Design/DisplayItems/DisplayItem")) {
        ++number;
        try {
            design.items.push_back(ReadItem(selected.node(), reader, now));
        } catch (const ItemError& error) {
            return {DesignReadResult::Status::ItemError, "item " + std::to_string(number) + ": " + error.message};
        }
    }
    return {};
}

constexpr unsigned kParseOptions = pugi::parse_default;

} // namespace

const char* ModeName(LONG mode)
{
    return mode >= 0 && mode < static_cast<LONG>(kModes.size()) ? kModes[static_cast<std::size_t>(mode)] : kModes[0];
}
const char* AlignmentName(LONG a)
{
    return a >= 0 && a < 3 ? kAlignments[static_cast<std::size_t>(a)] : kAlignments[0];
}
const char* UnitName(LONG unit) { return unit >= 0 && unit < 5 ? kUnits[static_cast<std::size_t>(unit)] : kUnits[0]; }

DesignReadResult LoadDesign(const std::filesystem::path& path, Design& design, DesignReader reader, DWORD now)
{
    // A queue may name a FIFO, a directory or a device: read it as the bounded file it must be.
    const BoundedFile file =
        ReadBoundedFile(path.string(), kMaxDesignFileBytes, false, FileOwner::Anyone, LastLink::Followed);
    auto result = file ? LoadDesignFromText(file.text, design, reader, now) : NotParsed(design, reader, file.problem);
    if (result.status == DesignReadResult::Status::NotParsed)
        result.message = path.string() + ": " + result.message;
    return result;
}

DesignReadResult LoadDesignFromText(std::string_view xml, Design& design, DesignReader reader, DWORD now)
{
    pugi::xml_document document;
    const auto parsed = document.load_buffer(xml.data(), xml.size(), kParseOptions);
    return Read(document, parsed, design, reader, now);
}

bool SaveDesign(const Design& design, const std::filesystem::path& path, std::string* error)
{
    pugi::xml_document document;
    pugi::xml_node root = document.append_child("Design");
    pugi::xml_node items = root.append_child("DisplayItems");
    root.append_child("Background").append_attribute("FileName").set_value(Utf16ToUtf8(design.background).c_str());
    for (const DisplayItem& item : design.items) {
        if (item.deleted)
            continue;
        pugi::xml_node node = items.append_child("DisplayItem");
        pugi::xml_node position = node.append_child("Position");
        position.append_attribute("X").set_value(item.column);
        position.append_attribute("Y").set_value(item.row);
        position.append_attribute("Width").set_value(item.width);
        position.append_attribute("Height").set_value(item.height);
        pugi::xml_node appearance = node.append_child("Appearance");
        appearance.append_attribute("Mode").set_value(ModeName(item.mode));
        if (item.mode == kModeLeftToRight || item.mode == kModeRightToLeft)
            appearance.append_attribute("ScrollDelay").set_value(item.scrollDelay);
        else if (item.mode == kModeHorizontalBar)
            appearance.append_attribute("HBarMax").set_value(item.automaticMaximum ? 0 : item.barMaximum);
        else
            appearance.append_attribute("Allignment").set_value(AlignmentName(item.alignment));
        if (item.mode == kModeBigNumber)
            appearance.append_attribute("DigitRows").set_value(item.digitRows);
        pugi::xml_node data = node.append_child("Data");
        if (item.source == kSourceStaticText) {
            data.append_attribute("Mode").set_value("Static");
            data.append_attribute("Text").set_value(item.text.value_or("").c_str());
        } else {
            data.append_attribute("Mode").set_value("Data");
            data.append_attribute("Name").set_value(Utf16ToUtf8(item.name).c_str());
        }
        if (item.convert) {
            pugi::xml_node convert = node.append_child("Convert");
            convert.append_attribute("From").set_value(UnitName(item.fromUnit));
            convert.append_attribute("To").set_value(UnitName(item.toUnit));
        }
        if (item.format)
            node.append_child("Formatting").append_attribute("Digits").set_value(item.digits);
    }
    return SaveXmlDocument(document, path, error);
}

} // namespace pixtera
