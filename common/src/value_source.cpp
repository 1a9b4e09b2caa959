// SPDX-License-Identifier: MIT
#include <pixtera/value_source.h>

namespace pixtera {

HRESULT TableValueSource::Value(std::u16string_view name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    const auto it = values_.find(name);
    if (it == values_.end()) {
        Variant error = Variant::FromText(u"Error");
        *value = error;
        VariantInit(&error);
        return S_OK;
    }
    VariantInit(value);
    return VariantCopy(value, &it->second);
}

} // namespace pixtera
