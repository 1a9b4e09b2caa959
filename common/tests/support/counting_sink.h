// SPDX-License-Identifier: MIT
#pragma once
// The service's side of IDataEvents in a plug-in's tests: a sink that counts its calls and keeps
// the items each call named, so a test can poll the plug-in only when the service would.

#include <pixtera/platform/com_object.h>
#include <pixtera/sdk/data_events.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace pixtera::test {

class CountingSink final : public ComObject<CountingSink, IItemArrivalSink> {
public:
    HRESULT STDMETHODCALLTYPE ValuesArrived() override
    {
        ++calls;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ItemsArrived(LONG count, const LONG* indices) override
    {
        {
            std::lock_guard lock(mutex_);
            named_.emplace_back(indices, indices + count);
        }
        ++calls;
        return S_OK;
    }
    // What each ItemsArrived named, in order.
    std::vector<std::vector<LONG>> Named()
    {
        std::lock_guard lock(mutex_);
        return named_;
    }

    std::atomic<int> calls{0};

private:
    std::mutex mutex_; // guards named_
    std::vector<std::vector<LONG>> named_;
};

} // namespace pixtera::test
