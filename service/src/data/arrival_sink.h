// SPDX-License-Identifier: MIT
#pragma once
// What a provider with IDataEvents calls when values arrive: a poll of it, at once, on its own
// thread, of the items it names (or of all). It outlives the provider's record harmlessly (the
// plug-in may call it late).

#include "data_provider_record.h"

#include <pixtera/platform/com_object.h>
#include <pixtera/sdk/data_events.h>

#include <memory>

namespace pixtera {

class ArrivalSink final : public ComObject<ArrivalSink, IItemArrivalSink> {
public:
    explicit ArrivalSink(std::weak_ptr<DataProviderRecord> record) : record_(std::move(record)) {}

    HRESULT STDMETHODCALLTYPE ValuesArrived() override
    {
        if (const auto record = record_.lock()) {
            record->arrived.AddAll();
            record->pollRequest.Set();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ItemsArrived(LONG count, const LONG* indices) override
    {
        if (count < 0 || (count > 0 && !indices))
            return E_INVALIDARG;
        if (const auto record = record_.lock()) {
            record->arrived.Add({indices, static_cast<std::size_t>(count)});
            record->pollRequest.Set();
        }
        return S_OK;
    }

private:
    const std::weak_ptr<DataProviderRecord> record_;
};

} // namespace pixtera
