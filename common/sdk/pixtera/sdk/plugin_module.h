// SPDX-License-Identifier: MIT
#pragma once
// Everything a plug-in module needs: the plug-in interfaces, the COM object helpers and the
// self-registration helper for DllRegisterServer / DllUnregisterServer.

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/module_abi.h>
#include <pixtera/platform/self_registration.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>

// A plug-in module exports these four with C linkage (use PX_MODULE_EXPORT).
// PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
// PX_MODULE_EXPORT HRESULT DllCanUnloadNow();
// PX_MODULE_EXPORT HRESULT DllRegisterServer();
// PX_MODULE_EXPORT HRESULT DllUnregisterServer();
// and, once, PIXTERA_MODULE_ABI_EXPORT: the loader refuses a module of another ABI version.

// The four entry points of a module that serves one class, registered with InprocClassScript.
#define PIXTERA_SINGLE_CLASS_MODULE(Class, inprocClass)                                                                \
    PIXTERA_MODULE_ABI_EXPORT                                                                                          \
    PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)                             \
    {                                                                                                                  \
        return ::pixtera::GetClassObjectOf<Class>((inprocClass).clsid, clsid, riid, object);                           \
    }                                                                                                                  \
    PX_MODULE_EXPORT HRESULT DllCanUnloadNow() { return ::pixtera::ModuleInUse() ? S_FALSE : S_OK; }                   \
    PX_MODULE_EXPORT HRESULT DllRegisterServer()                                                                       \
    {                                                                                                                  \
        return ::pixtera::RegisterScript(::pixtera::InprocClassScript(inprocClass),                                    \
                                         {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()}});                           \
    }                                                                                                                  \
    PX_MODULE_EXPORT HRESULT DllUnregisterServer()                                                                     \
    {                                                                                                                  \
        return ::pixtera::UnregisterScript(::pixtera::InprocClassScript(inprocClass),                                  \
                                           {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()}});                         \
    }
