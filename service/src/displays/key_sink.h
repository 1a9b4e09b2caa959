// SPDX-License-Identifier: MIT
#pragma once
// What a display driver with IDisplayInput calls for its keys: the key, checked, published for
// the display. It outlives the service's key events harmlessly (a plug-in may call it late).

#include "key_events.h"

#include <pixtera/platform/com_object.h>
#include <pixtera/sdk/key_names.h>

#include <memory>

namespace pixtera {

class KeySink final : public ComObject<KeySink, IKeySink> {
public:
    KeySink(std::weak_ptr<KeyEvents> events, LONG display) : events_(std::move(events)), display_(display) {}

    HRESULT STDMETHODCALLTYPE KeyEvent(LONG key, LONG action) override
    {
        if (!IsKeyCode(key) || action < kKeyPressed || action > kKeyReleased)
            return E_INVALIDARG;
        if (const auto events = events_.lock())
            events->Publish({display_, key, action});
        return S_OK;
    }

private:
    const std::weak_ptr<KeyEvents> events_;
    const LONG display_;
};

} // namespace pixtera
