// SPDX-License-Identifier: MIT
#pragma once
// The reference-counting core for COM objects written in C++: QueryInterface over the listed
// interfaces (and their bases), atomic counts, and a per-module count of live objects and
// server locks for DllCanUnloadNow. This is the one place where objects are deleted by hand.

#include <pixtera/platform/com_ptr.h>

#include <atomic>
#include <new>
#include <tuple>
#include <type_traits>
#include <utility>

namespace pixtera {

namespace detail {
// Plug-in modules are built with hidden visibility, so each module counts its own objects.
inline std::atomic<long>& ModuleUsage()
{
    static std::atomic<long> count{0};
    return count;
}
} // namespace detail

inline void LockModule() { detail::ModuleUsage().fetch_add(1, std::memory_order_relaxed); }
inline void UnlockModule() { detail::ModuleUsage().fetch_sub(1, std::memory_order_relaxed); }
inline bool ModuleInUse() { return detail::ModuleUsage().load(std::memory_order_relaxed) != 0; }

template <class Derived, class... Interfaces>
class ComObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0);
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        void* found =
            riid == IID_IUnknown ? static_cast<IUnknown*>(static_cast<First*>(this)) : Find<Interfaces...>(riid);
        if (!found)
            return E_NOINTERFACE;
        *object = found;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete static_cast<Derived*>(this);
        return left;
    }

    IUnknown* AsUnknown() { return static_cast<First*>(this); }

protected:
    ComObject() { LockModule(); }
    ~ComObject() { UnlockModule(); }

private:
    template <class I>
    static bool Matches(REFIID riid)
    {
        if constexpr (std::is_same_v<I, IUnknown>)
            return false;
        else
            return riid == IidOf<I>() || Matches<typename InterfaceTraits<I>::Base>(riid);
    }

    template <class I, class... Rest>
    void* Find(REFIID riid)
    {
        if (Matches<I>(riid))
            return static_cast<I*>(this);
        if constexpr (sizeof...(Rest) > 0)
            return Find<Rest...>(riid);
        else
            return nullptr;
    }

    std::atomic<ULONG> references_{1};
};

// Creates an object holding one reference, which the returned pointer owns.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args)
{
    return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}

// The class factory of a class whose objects are created with T's default constructor.
template <class T>
class ClassFactory final : public ComObject<ClassFactory<T>, IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        try {
            auto instance = MakeComObject<T>();
            return instance->QueryInterface(riid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        lock ? LockModule() : UnlockModule();
        return S_OK;
    }
};

// DllGetClassObject for a module with one creatable class.
template <class T>
HRESULT GetClassObjectOf(REFCLSID served, REFCLSID requested, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (requested != served)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeComObject<ClassFactory<T>>()->QueryInterface(riid, object);
}

} // namespace pixtera
