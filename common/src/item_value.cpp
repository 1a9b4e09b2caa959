// SPDX-License-Identifier: MIT
#include <pixtera/item_value.h>

#include <pixtera/platform/codepage.h>

#include <algorithm>
#include <charconv>

namespace pixtera {
namespace {

constexpr double kUnitStep = 1024.0;

Variant Fetch(const DisplayItem& item, ValueSource& values)
{
    Variant value;
    if (FAILED(values.Value(item.name, value.Out())))
        value = Variant::FromText(u"Error");
    return value;
}

// From the item's unit down to bytes, then up to the shown unit, one step at a time.
Variant Convert(const DisplayItem& item, ValueSource& values, Variant value)
{
    const LONG down = std::clamp<LONG>(item.fromUnit, kBytes, kTerraBytes);
    const LONG up = std::clamp<LONG>(item.toUnit, kBytes, kTerraBytes);
    if (down == 0 && up == 0)
        return value; // no step: the value keeps its type, text included
    const auto number = value.AsDouble();
    if (!number)
        return Fetch(item, values); // not a number: shown as a fresh, unconverted value
    double amount = *number;
    for (LONG step = 0; step < down; ++step)
        amount *= kUnitStep;
    for (LONG step = 0; step < up; ++step)
        amount *= 1.0 / kUnitStep;
    return Variant::FromDouble(amount);
}

// Fixed-point text with the item's digits, always with a point.
Variant Format(const DisplayItem& item, Variant value)
{
    const auto number = value.AsDouble();
    if (!number)
        return value;
    const int digits = static_cast<int>(std::clamp<LONG>(item.digits, 0, kMaxDigits));
    char buffer[4096];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *number, std::chars_format::fixed, digits);
    if (result.ec != std::errc())
        return value;
    return Variant::FromUtf8(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

} // namespace

std::optional<std::string> ItemText(const DisplayItem& item, ValueSource& values)
{
    if (item.source == kSourceStaticText)
        return item.text;
    Variant value = Fetch(item, values);
    if (item.convert)
        value = Convert(item, values, std::move(value));
    if (item.format)
        value = Format(item, std::move(value));
    if (value.vt == VT_BSTR)
        return Utf16ToUtf8(BstrView(value.bstrVal));
    // A value with no text form (a null, an object) shows as an empty text.
    const auto text = value.AsText();
    return text ? Utf16ToUtf8(text->view()) : std::string();
}

} // namespace pixtera
