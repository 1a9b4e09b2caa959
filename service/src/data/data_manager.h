// SPDX-License-Identifier: MIT
#pragma once
// The data providers and the items they offer. One object is both the data manager and, seen
// through IDataCollection, the collection of all items.

#include "data_provider_record.h"
#include "driver_manager.h"

#include <pixtera/service_interfaces.h>
#include <pixtera/value_source.h>

#include <memory>
#include <mutex>
#include <vector>

namespace pixtera {

class DataManager final
    : public ComObject<DataManager, DispatchNotImplemented<IDataManager>, DispatchNotImplemented<IDataCollection>>,
      public ValueSource {
public:
    explicit DataManager(ComPtr<DriverManager> drivers);
    ~DataManager();

    // IDataManager
    HRESULT STDMETHODCALLTYPE GetDataCollection(IDataCollection** collection) override;

    // IDataCollection
    HRESULT STDMETHODCALLTYPE Count(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Value(VARIANT key, VARIANT* value) override;
    HRESULT STDMETHODCALLTYPE Name(LONG id, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE Description(LONG id, BSTR* description) override;

    // Registers driver `driverIndex` as a provider and waits for its first poll. False when the
    // driver has no IDataProvider (or failed while being asked for its mode).
    bool AddProvider(LONG driverIndex);

    // The value of the item with this name: "Error" for an unknown name, "Plugin died" for an
    // item of a dead provider, else the provider's mode decides how it is read.
    HRESULT ReadValue(std::u16string_view name, VARIANT* value);

    // ValueSource: what the displays of this process render.
    HRESULT Value(std::u16string_view name, VARIANT* value) override { return ReadValue(name, value); }
    // Periodic providers' values change only at their polls; items read on request or directly
    // from the plug-in may differ at every reading.
    Changes HowValueChanges(std::u16string_view name) override;
    ValueChangeSignal* changeSignal() override { return &tables_->changes(); }

    // The ids of items whose stored values changed since the last call.
    std::vector<LONG> TakeChangedIds() { return tables_->TakeChanged(); }

private:
    ComPtr<DriverManager> drivers_;
    std::shared_ptr<DataTables> tables_; // shared with the provider threads
    std::mutex providersMutex_; // guards providers_
    std::vector<std::shared_ptr<DataProviderRecord>> providers_;
};

} // namespace pixtera
