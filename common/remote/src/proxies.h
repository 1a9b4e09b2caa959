// SPDX-License-Identifier: MIT
#pragma once
// Client-side stand-ins for the service's objects: they implement the same C++ interfaces and
// forward every call to the object of the same path in the server process.

#include "remote_session.h"

#include <pixtera/platform/com.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/service_interfaces.h>

#include <memory>
#include <string>

namespace pixtera::remote {

// What every proxy has: the binding and the object's path, with typed call helpers.
class RemoteObject {
protected:
    RemoteObject(std::shared_ptr<RemoteSession> session, std::string path)
        : session_(std::move(session)), path_(std::move(path))
    {
    }

    template <class... Arguments>
    HRESULT Send(const char* interface, const char* method, const Arguments&... arguments)
    {
        return Remote([&] { session_->Call(path_, interface, method, std::tie(), arguments...); });
    }

    template <class... Arguments>
    HRESULT FetchLong(const char* interface, const char* method, LONG* out, const Arguments&... arguments)
    {
        if (!out)
            return E_POINTER;
        int32_t value = 0;
        const HRESULT hr = Remote([&] { session_->Call(path_, interface, method, std::tie(value), arguments...); });
        if (SUCCEEDED(hr))
            *out = value;
        return hr;
    }

    template <class... Arguments>
    HRESULT FetchFlag(const char* interface, const char* method, VARIANT_BOOL* out, const Arguments&... arguments)
    {
        if (!out)
            return E_POINTER;
        bool value = false;
        const HRESULT hr = Remote([&] { session_->Call(path_, interface, method, std::tie(value), arguments...); });
        if (SUCCEEDED(hr))
            *out = value ? 1 : 0;
        return hr;
    }

    template <class... Arguments>
    HRESULT FetchText(const char* interface, const char* method, BSTR* out, const Arguments&... arguments)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        std::string value;
        const HRESULT hr = Remote([&] { session_->Call(path_, interface, method, std::tie(value), arguments...); });
        if (SUCCEEDED(hr))
            *out = BString(std::string_view(value)).Detach();
        return hr;
    }

    // An object of the server named by the path the method returns, as proxy P asked for I.
    template <class P, class I, class... Arguments>
    HRESULT FetchObject(const char* interface, const char* method, I** out, const Arguments&... arguments)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        sdbus::ObjectPath path;
        const HRESULT hr = Remote([&] { session_->Call(path_, interface, method, std::tie(path), arguments...); });
        if (FAILED(hr))
            return hr;
        return MakeComObject<P>(session_, std::string(path))->QueryInterface(IidOf<I>(), reinterpret_cast<void**>(out));
    }

    std::shared_ptr<RemoteSession> session_;
    std::string path_;
};

// Opens a binding and hands out the Manager: what CoCreateInstance gets for the Manager class.
class ManagerClassFactoryProxy final : public ComObject<ManagerClassFactoryProxy, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

} // namespace pixtera::remote
