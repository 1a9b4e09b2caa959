// SPDX-License-Identifier: MIT
#pragma once
// A counted reference to a COM interface.

#include <pixtera/platform/unknown.h>

#include <utility>

namespace pixtera {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Adds a reference to an interface the caller does not own.
    explicit ComPtr(T* object) : object_(object)
    {
        if (object_)
            object_->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.object_) {}
    ComPtr(ComPtr&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <class U>
    ComPtr(ComPtr<U> other) noexcept : object_(other.Detach())
    {
    }
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComPtr() { Reset(); }

    // Takes over a reference the caller already owns (an out-parameter's, for instance).
    static ComPtr Attach(T* object) noexcept
    {
        ComPtr owned;
        owned.object_ = object;
        return owned;
    }
    T* Detach() noexcept { return std::exchange(object_, nullptr); }

    void Reset() noexcept
    {
        if (auto* object = std::exchange(object_, nullptr))
            object->Release();
    }

    // For out-parameters: drops the current reference and returns the slot to fill.
    T** Out() noexcept
    {
        Reset();
        return &object_;
    }
    void** OutVoid() noexcept { return reinterpret_cast<void**>(Out()); }

    // Hands a new reference to an out-parameter.
    HRESULT CopyTo(T** out) const noexcept
    {
        if (!out)
            return E_POINTER;
        *out = object_;
        if (object_)
            object_->AddRef();
        return S_OK;
    }

    template <class I>
    ComPtr<I> As(HRESULT* result = nullptr) const
    {
        ComPtr<I> other;
        HRESULT hr = object_ ? object_->QueryInterface(IidOf<I>(), other.OutVoid()) : E_POINTER;
        if (result)
            *result = hr;
        return other;
    }

    T* get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    T& operator*() const noexcept { return *object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    T* object_ = nullptr;
};

} // namespace pixtera
