#include "tick_values.h"

namespace pixtera::designer {

void TickValues::SetCollection(IDataCollection* data)
{
    data_ = data;
    cache_.clear();
}

HRESULT TickValues::Value(std::u16string_view name, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    auto cached = cache_.find(name);
    if (cached == cache_.end()) {
        Variant read;
        if (!data_ || FAILED(data_->Value(Variant::FromText(name), read.Out())))
            read = Variant::FromText(u"Error");
        cached = cache_.emplace(std::u16string(name), std::move(read)).first;
    }
    VariantInit(value);
    return VariantCopy(value, &cached->second);
}

} // namespace pixtera::designer
