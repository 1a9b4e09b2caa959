// SPDX-License-Identifier: MIT
#pragma once
// IDisplayInput for drivers: keeps the service's sink and hands it the driver's keys from any
// thread. A driver lists KeyInput in ComObject in place of IDisplayInput and calls DeliverKey.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/display_input.h>

#include <mutex>

namespace pixtera {

class KeyInput : public IDisplayInput {
public:
    HRESULT STDMETHODCALLTYPE Advise(IKeySink* sink) override
    {
        std::lock_guard lock(sinkMutex_);
        sink_ = ComPtr<IKeySink>(sink);
        return S_OK;
    }

protected:
    // False when there is no sink or it refused the key.
    bool DeliverKey(LONG key, LONG action = kKeyPressed)
    {
        // Held through the call: once Advise(nullptr) returns, the old sink is called no more.
        std::lock_guard lock(sinkMutex_);
        return sink_ && SUCCEEDED(sink_->KeyEvent(key, action));
    }

private:
    std::mutex sinkMutex_; // guards sink_, and is held while it is called
    ComPtr<IKeySink> sink_;
};

} // namespace pixtera

template <>
struct InterfaceTraits<pixtera::KeyInput> : InterfaceTraits<IDisplayInput> {
};
