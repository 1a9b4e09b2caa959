// SPDX-License-Identifier: MIT
#include "tick_values.h"

#include <algorithm>

namespace pixtera::designer {

void TickValues::Update(const ValueMap& values, const std::set<std::u16string, std::less<>>& volatiles)
{
    for (const auto& [name, value] : values)
        values_[name] = value;
    volatiles_ = volatiles;
}

ValueSource::Changes TickValues::HowValueChanges(std::u16string_view name)
{
    return volatiles_.count(name) ? Changes::AnyTime : Changes::WhenStored;
}

HRESULT TickValues::Value(std::u16string_view name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    if (std::find(asked_.begin(), asked_.end(), name) == asked_.end())
        asked_.emplace_back(name);
    VariantInit(value);
    const auto found = values_.find(name);
    if (found != values_.end())
        return VariantCopy(value, &found->second);
    const Variant missing = Variant::FromText(connected_ ? u"" : u"Error");
    return VariantCopy(value, &missing);
}

} // namespace pixtera::designer
