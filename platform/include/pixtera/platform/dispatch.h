// SPDX-License-Identifier: MIT
#pragma once
// IDispatch, the base of dual interfaces. Late binding is offered through D-Bus introspection
// instead, so implementations may answer E_NOTIMPL; the four slots keep dual layouts intact.

#include <pixtera/platform/unknown.h>

struct ITypeInfo;
struct tagVARIANT;
using VARIANTARG = tagVARIANT;

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    OLECHAR* bstrSource;
    OLECHAR* bstrDescription;
    OLECHAR* bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(EXCEPINFO*);
    HRESULT scode;
};

// {00020400-0000-0000-C000-000000000046}
inline constexpr IID IID_IDispatch{0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                                    DISPID* ids) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                             VARIANTARG* result, EXCEPINFO* exception, UINT* argumentError) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDispatch, IUnknown, IID_IDispatch);

// Implements IDispatch's four slots as "not implemented" for a dual interface I.
template <class I>
struct DispatchNotImplemented : I {
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (count)
            *count = 0;
        return count ? S_OK : E_POINTER;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANTARG*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
};

// Listed in ComObject in place of I itself.
template <class I>
struct InterfaceTraits<DispatchNotImplemented<I>> : InterfaceTraits<I> {
};
