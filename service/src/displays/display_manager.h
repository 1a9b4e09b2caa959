// SPDX-License-Identifier: MIT
#pragma once
// The managed displays, one per display driver, in the order their drivers were loaded.

#include "key_events.h"
#include "managed_display.h"
#include "outside_actions.h"
#include "refusing_outside_actions.h"
#include "screen_keys.h"

#include <pixtera/service_interfaces.h>

#include <memory>
#include <mutex>
#include <vector>

namespace pixtera {

class DisplayManager final : public ComObject<DisplayManager, DispatchNotImplemented<IDisplayManager>> {
public:
    // `outside`: what the displays' menus start outside them (programs, logind, events); it
    // outlives the display manager.
    explicit DisplayManager(DisplayRuntime runtime, OutsideActions& outside = RefusingOutsideActions::Instance())
        : runtime_(runtime), outside_(outside)
    {
    }

    // IDisplayManager
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Item(LONG index, IManagedDisplay** display) override;

    // Creates the display for a driver, sets it up (greeting and bar characters) and appends it.
    // Calls into the driver go through `fault` (a guard of its own when none is given).
    ComPtr<ManagedDisplay> AddDisplay(IUnknown* driver, QueueOrigin origin,
                                      std::shared_ptr<PluginFault> fault = nullptr);
    std::vector<ComPtr<ManagedDisplay>> Displays() const;
    // Stops the output of every display and waits for it.
    void StopAll();

    // The keys pressed on any display, for subscribers.
    KeyEvents& keys() { return *keys_; }
    // From now on the keys of these displays (those with screen sources) and of every display that
    // takes keys go to them, on the key thread (ScreenKeys).
    void RouteKeys(std::vector<ComPtr<ManagedDisplay>> withSources);
    OutsideActions& outsideActions() { return outside_; }

private:
    const DisplayRuntime runtime_;
    OutsideActions& outside_;
    const std::shared_ptr<KeyEvents> keys_ = std::make_shared<KeyEvents>();
    mutable std::mutex mutex_; // guards displays_
    std::vector<ComPtr<ManagedDisplay>> displays_;
    std::unique_ptr<ScreenKeys> screenKeys_; // set once, while the configuration is loaded; goes first
};

} // namespace pixtera
