#pragma once
// A data item's value as provider plug-ins keep it, and its hand-over through GetValue.

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/variant.h>

#include <string>
#include <variant>

namespace pixtera {

using ProvidedValue = std::variant<double, std::string>;

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

} // namespace pixtera
