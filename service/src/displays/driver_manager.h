// SPDX-License-Identifier: MIT
#pragma once
// The created drivers, in creation order: a driver's index is its position here.

#include "driver_record.h"

#include <pixtera/service_interfaces.h>

#include <memory>
#include <mutex>
#include <vector>

namespace pixtera {

class DriverManager final : public ComObject<DriverManager, DispatchNotImplemented<IDriverManager>> {
public:
    // Lets the host threads go, and with them the drivers once nothing else holds them (a
    // plug-in's host process ends with its wrapper).
    ~DriverManager();

    // IDriverManager
    HRESULT STDMETHODCALLTYPE AddDriver(BSTR progId, BSTR configuration, VARIANT_BOOL isolated,
                                        VARIANT_BOOL* created) override;
    HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Item(LONG index, IDispatch** driver) override;

    // Creates the driver on its own host thread and waits until it exists or failed; the new
    // record on success. On failure `why` (when given) says what went wrong.
    std::shared_ptr<DriverRecord> Add(std::u16string_view progId, std::u16string_view configuration, bool isolated,
                                      std::string* why = nullptr);
    std::shared_ptr<DriverRecord> At(LONG index) const;
    LONG Size() const;

private:
    mutable std::mutex mutex_; // guards drivers_
    std::vector<std::shared_ptr<DriverRecord>> drivers_;
};

} // namespace pixtera
