// SPDX-License-Identifier: MIT
#include "driver_manager.h"

#include "creation_failure.h"
#include "thread_names.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/thread.h>
#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/plugin_host.h>
#include <pixtera/sdk/plugin_info.h>

namespace pixtera {
namespace {

// Contexts a driver may be created in: in-process, handler, local or remote server.
constexpr DWORD kAnyServerContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The class that hosts an isolated plug-in in a process of its own.
constexpr const char16_t* kWrapperProgId = u"DispatchWrapper.core";

HRESULT CreateDriverObject(DriverRecord& record)
{
    // The fields' names only: a value may be a secret (a broker's password, say).
    Trace(TraceChannel::Plugins, [&] {
        const ConfigurationText fields(Utf16ToUtf8(record.configuration));
        std::string names;
        for (const auto& [name, value] : fields.fields())
            names += (names.empty() ? "" : ", ") + name;
        return "create " + Utf16ToUtf8(record.className) + (record.isolated ? " (isolated)" : "") +
               " configured with " + (names.empty() ? "no fields" : names);
    });
    // An isolated plug-in: the wrapper is created here, and the plug-in in its host process.
    const std::u16string progId = record.isolated ? kWrapperProgId : record.className;
    CLSID clsid{};
    if (HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid); FAILED(hr))
        return hr;
    ComPtr<IUnknown> object;
    if (HRESULT hr = CoCreateInstance(clsid, nullptr, kAnyServerContext, IID_IUnknown, object.OutVoid()); hr != S_OK)
        return FAILED(hr) ? hr : E_UNEXPECTED;
    if (record.isolated) {
        auto wrapper = object.As<IDispatchWrapper>();
        if (!wrapper)
            return E_NOINTERFACE;
        if (HRESULT hr = wrapper->Wrap(BString(record.className).get()); FAILED(hr))
            return hr;
        record.fault->SetHost(object.As<IPluginHost>());
    }
    if (auto info = object.As<IPluginInfo>()) {
        BString configuration(record.configuration);
        info->Configure(configuration.get());
    }
    record.object = std::move(object);
    return S_OK;
}

// Creates and configures the plug-in object, then holds it for the life of the process.
void DriverHostThread(const std::shared_ptr<DriverRecord>& record)
{
    NameThisThread("px-host/" + ShortName(Utf16ToUtf8(record->className)));
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    bool created = false;
    try {
        record->failure = CreateDriverObject(*record);
        Trace(TraceChannel::Plugins,
              [&] { return "created " + Utf16ToUtf8(record->className) + " -> " + HresultText(record->failure); });
        if (SUCCEEDED(record->failure)) {
            created = true;
            record->created.Set();
            record->stop.Wait(INFINITE);
            record->stopped.Set();
        }
    } catch (...) {
        // A plug-in that throws while being created or configured counts as not created.
        record->threw = true;
        Trace(TraceChannel::Plugins, [&] { return "created " + Utf16ToUtf8(record->className) + " -> threw"; });
    }
    if (!created) {
        record->object.Reset();
        record->failed.Set();
    }
    CoUninitialize();
}

} // namespace

std::shared_ptr<DriverRecord> DriverManager::Add(std::u16string_view progId, std::u16string_view configuration,
                                                 bool isolated, std::string* why)
{
    auto record = std::make_shared<DriverRecord>();
    record->className = progId;
    record->configuration = configuration;
    record->isolated = isolated;
    record->fault = std::make_shared<PluginFault>(Utf16ToUtf8(record->className));
    try {
        Thread(kPluginThreadStack, [record] { DriverHostThread(record); }).detach();
    } catch (const std::system_error& error) {
        if (why)
            *why = std::string("no thread could be started for it: ") + error.what();
        return nullptr;
    }
    if (WaitForAny({&record->created, &record->failed}, INFINITE) != WAIT_OBJECT_0) {
        if (why)
            *why = CreationFailureReason(record->className, record->failure, record->threw);
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    drivers_.push_back(record);
    return record;
}

DriverManager::~DriverManager()
{
    std::lock_guard lock(mutex_);
    for (const auto& record : drivers_)
        record->stop.Set();
}

std::shared_ptr<DriverRecord> DriverManager::At(LONG index) const
{
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= drivers_.size())
        return nullptr;
    return drivers_[static_cast<std::size_t>(index)];
}

LONG DriverManager::Size() const
{
    std::lock_guard lock(mutex_);
    return static_cast<LONG>(drivers_.size());
}

HRESULT DriverManager::AddDriver(BSTR progId, BSTR configuration, VARIANT_BOOL isolated, VARIANT_BOOL* created)
{
    if (!created)
        return E_POINTER;
    *created = Add(BstrView(progId), BstrView(configuration), isolated != 0) ? 1 : 0;
    return S_OK;
}

HRESULT DriverManager::Count(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = Size();
    return S_OK;
}

HRESULT DriverManager::Item(LONG index, IDispatch** driver)
{
    if (!driver)
        return E_POINTER;
    *driver = nullptr;
    const auto record = At(index);
    if (!record)
        return E_FAIL;
    HRESULT hr = RPC_E_SERVERFAULT;
    record->fault->Guard([&] { hr = record->object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(driver)); });
    return hr;
}

} // namespace pixtera
