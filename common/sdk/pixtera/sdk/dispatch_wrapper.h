// SPDX-License-Identifier: MIT
#pragma once
// IDispatchWrapper: the outside class "DispatchWrapper.core" that hosts a plug-in on the
// service's behalf. After Wrap it answers for the real driver.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDispatchWrapper : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Wrap(BSTR progId) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDispatchWrapper, IDispatch, IID_IDispatchWrapper);
