// SPDX-License-Identifier: MIT
#pragma once
// IUnknown and IClassFactory. Interfaces are abstract classes with pure virtual methods only and
// no virtual destructor, declared in slot order: on the Itanium C++ ABI the n-th virtual method
// is vtable slot n, so any g++ or clang build of a plug-in matches.

#include <pixtera/platform/guid.h>
#include <pixtera/platform/hresult.h>

#define STDMETHODCALLTYPE

// Every interface names its identifier and its base once, so that QueryInterface helpers and
// smart pointers can find both.
template <class Interface>
struct InterfaceTraits;

#define PIXTERA_DECLARE_INTERFACE(Interface, BaseInterface, InterfaceId)                                               \
    template <>                                                                                                        \
    struct InterfaceTraits<Interface> {                                                                                \
        using Base = BaseInterface;                                                                                    \
        static constexpr const GUID& iid = InterfaceId;                                                                \
    }

template <class Interface>
constexpr const IID& IidOf()
{
    return InterfaceTraits<Interface>::iid;
}

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;

protected:
    ~IUnknown() = default;
};

template <>
struct InterfaceTraits<IUnknown> {
    using Base = void;
    static constexpr const GUID& iid = IID_IUnknown;
};

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};
PIXTERA_DECLARE_INTERFACE(IClassFactory, IUnknown, IID_IClassFactory);
