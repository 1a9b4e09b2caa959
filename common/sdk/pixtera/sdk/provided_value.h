// SPDX-License-Identifier: MIT
#pragma once
// A data item's value as provider plug-ins keep it, and its hand-over through GetValue.

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/variant.h>

#include <charconv>
#include <string>
#include <string_view>
#include <variant>

namespace pixtera {

using ProvidedValue = std::variant<double, std::string>;

// A text as a value: a number when all of it reads as one ("+" allowed), else the text.
inline ProvidedValue ParseProvidedValue(std::string_view text)
{
    double number = 0;
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+')
        digits.remove_prefix(1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (!digits.empty() && ec == std::errc() && end == digits.data() + digits.size())
        return number;
    return std::string(text);
}

// Fills an initialised VARIANT out-parameter: VT_R8 for a number, a VT_BSTR for text.
inline void StoreValue(const ProvidedValue& value, VARIANT* out)
{
    if (const double* number = std::get_if<double>(&value)) {
        out->vt = VT_R8;
        out->dblVal = *number;
    } else {
        out->bstrVal = BString(std::string_view(std::get<std::string>(value))).Detach();
        out->vt = VT_BSTR;
    }
}

// A text of item `index` of a provider's `items` (vector-like) into a BSTR out-parameter, the way
// GetName and GetDescription answer: E_POINTER without one, E_INVALIDARG outside the items.
template <class Items, class Field>
HRESULT ItemText(const Items& items, LONG index, BSTR* out, Field field)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        return E_INVALIDARG;
    *out = BString(std::string_view(field(items[static_cast<std::size_t>(index)]))).Detach();
    return S_OK;
}

// The value of item `index` into a VARIANT out-parameter, the way GetValue answers: E_POINTER
// without one, E_INVALIDARG (and VT_EMPTY) outside the items.
template <class Items, class Field>
HRESULT ItemValue(const Items& items, LONG index, VARIANT* out, Field field)
{
    if (!out)
        return E_POINTER;
    VariantInit(out);
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        return E_INVALIDARG;
    StoreValue(field(items[static_cast<std::size_t>(index)]), out);
    return S_OK;
}

} // namespace pixtera
