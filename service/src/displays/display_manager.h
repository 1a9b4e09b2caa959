// SPDX-License-Identifier: MIT
#pragma once
// The managed displays, one per display driver, in the order their drivers were loaded.

#include "managed_display.h"

#include <pixtera/service_interfaces.h>

#include <mutex>
#include <vector>

namespace pixtera {

class DisplayManager final : public ComObject<DisplayManager, DispatchNotImplemented<IDisplayManager>> {
public:
    explicit DisplayManager(DisplayRuntime runtime) : runtime_(runtime) {}

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

private:
    const DisplayRuntime runtime_;
    mutable std::mutex mutex_; // guards displays_
    std::vector<ComPtr<ManagedDisplay>> displays_;
};

} // namespace pixtera
