// SPDX-License-Identifier: MIT
#include "fed_values.h"

#include "driver_manager.h"

#include <pixtera/platform/bstr.h>
#include <pixtera/platform/variant.h>
#include <pixtera/sdk/data_feed.h>

namespace pixtera {

std::string SetFedText(DriverManager& drivers, const std::string& item, const std::string& value)
{
    const BString name{std::string_view(item)};
    const Variant text = Variant::FromUtf8(value);
    for (LONG n = 0; n < drivers.Size(); ++n) {
        const auto record = drivers.At(n);
        if (!record)
            continue;
        HRESULT hr = E_NOINTERFACE;
        record->fault->Guard([&] {
            if (const auto feed = record->object.As<IDataFeed>())
                hr = feed->SetValue(name.get(), text);
            return hr == E_NOINTERFACE ? S_OK : hr;
        });
        if (SUCCEEDED(hr))
            return {};
        if (hr != E_NOINTERFACE && hr != DISP_E_UNKNOWNNAME)
            return "Could not set " + item;
    }
    return "No data item " + item;
}

} // namespace pixtera
