// SPDX-License-Identifier: MIT
#pragma once
// The class factory of a process-wide singleton: the object is constructed when the factory is,
// every creation request gets that same object, and a construction that failed fails every
// request with the same result.

#include <pixtera/platform/com.h>

#include <functional>
#include <memory>
#include <new>

namespace pixtera {

template <class T>
class SingletonFactory final : public ComObject<SingletonFactory<T>, IClassFactory> {
public:
    explicit SingletonFactory(const std::function<std::unique_ptr<T>()>& construct)
    {
        try {
            object_ = construct();
            if (!object_)
                failure_ = E_UNEXPECTED;
        } catch (const std::bad_alloc&) {
            failure_ = E_OUTOFMEMORY;
        } catch (...) {
            failure_ = E_UNEXPECTED;
        }
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        if (!object_)
            return failure_;
        return object_->QueryInterface(riid, object);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    T* object() const { return object_.get(); }

private:
    std::unique_ptr<T> object_; // destroyed with the factory, when the class is revoked
    HRESULT failure_ = S_OK;
};

} // namespace pixtera
