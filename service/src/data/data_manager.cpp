// SPDX-License-Identifier: MIT
#include "data_manager.h"

#include "arrival_sink.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/thread.h>

namespace pixtera {
namespace {

HRESULT WriteText(std::u16string_view text, VARIANT* out)
{
    out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!out->bstrVal)
        return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    return S_OK;
}

} // namespace

DataManager::DataManager(ComPtr<DriverManager> drivers)
    : drivers_(std::move(drivers)), tables_(std::make_shared<DataTables>())
{
}

DataManager::~DataManager()
{
    // Provider threads own what they use; they end at their next wait.
    std::lock_guard lock(providersMutex_);
    for (const auto& provider : providers_)
        provider->stop.Set();
}

bool DataManager::AddProvider(LONG driverIndex)
{
    const auto driver = drivers_->At(driverIndex);
    if (!driver)
        return false;
    auto record = std::make_shared<DataProviderRecord>();
    record->driverIndex = driverIndex;
    record->fault = driver->fault;
    record->tables = tables_;
    if (!(record->provider = driver->object.As<IDataProvider>()))
        return false;
    try {
        // Before the update mode: a provider told of its sink may need no polling at all.
        if (const auto events = driver->object.As<IDataEvents>())
            events->Advise(MakeComObject<ArrivalSink>(record).get());
        record->provider->GetUpdateMode(&record->updateMode);
        Trace(TraceChannel::Plugins, [&] {
            return "provider " + std::to_string(driverIndex) + " (" + driver->fault->name() + ") update mode " +
                   std::to_string(record->updateMode);
        });
        Thread(kPluginThreadStack, [record] { ProviderThread(record); }).detach();
    } catch (...) {
        record->fault->Report();
        return false;
    }
    record->pollRequest.Set();
    record->pollDone.Wait(INFINITE);
    record->pollRequest.ResetEvent();
    std::lock_guard lock(providersMutex_);
    providers_.push_back(std::move(record));
    return true;
}

HRESULT DataManager::ReadValue(std::u16string_view name, VARIANT* value)
{
    VariantInit(value);
    const ValueRecord* item = tables_->Find(name);
    if (!item)
        return WriteText(u"Error", value);
    DataProviderRecord& provider = *item->provider;
    if (provider.dead())
        return WriteText(u"Plugin died", value);
    if (provider.updateMode == kUpdateDirect) {
        try {
            const HRESULT hr = provider.provider->GetValue(item->itemIndex, value);
            if (provider.fault->Observe(hr))
                return hr;
            VariantClear(value);
            return WriteText(u"Plugin died", value);
        } catch (...) {
            // Read on the caller's thread: the fault guard must cover it there too.
            VariantInit(value);
            provider.fault->Report();
            return WriteText(u"Plugin died", value);
        }
    }
    if (provider.updateMode == kUpdateOnRequest) {
        std::lock_guard serialise(provider.requestMutex);
        if (!provider.dead()) {
            provider.pollRequest.Set();
            provider.pollDone.Wait(INFINITE);
        }
    }
    return item->CopyValue(value);
}

ValueSource::Changes DataManager::HowValueChanges(std::u16string_view name)
{
    const ValueRecord* item = tables_->Find(name);
    if (!item || item->provider->dead()) // "Error" until a poll adds it, "Plugin died" for good
        return Changes::WhenStored;
    const LONG mode = item->provider->updateMode;
    return mode == kUpdateDirect || mode == kUpdateOnRequest ? Changes::AnyTime : Changes::WhenStored;
}

HRESULT DataManager::GetDataCollection(IDataCollection** collection)
{
    if (!collection)
        return E_POINTER;
    *collection = static_cast<IDataCollection*>(this);
    AddRef();
    return S_OK;
}

HRESULT DataManager::Count(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = tables_->Count();
    return S_OK;
}

HRESULT DataManager::Value(VARIANT key, VARIANT* value)
{
    if (!value)
        return E_POINTER;
    VariantInit(value);
    if (key.vt == VT_BSTR)
        return ReadValue(BstrView(key.bstrVal), value);
    if (key.vt == VT_I2)
        return ReadValue(tables_->NameOf(key.iVal), value);
    return E_FAIL;
}

HRESULT DataManager::Name(LONG id, BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    if (id < 1 || id > tables_->Count())
        return E_FAIL;
    *name = BString(tables_->NameOf(id)).Detach();
    return S_OK;
}

HRESULT DataManager::Description(LONG id, BSTR* description)
{
    if (!description)
        return E_POINTER;
    *description = nullptr;
    const ValueRecord* item = id >= 1 && id <= tables_->Count() ? tables_->Find(tables_->NameOf(id)) : nullptr;
    if (!item)
        return E_FAIL;
    *description = BString(item->Description()).Detach();
    return S_OK;
}

} // namespace pixtera
