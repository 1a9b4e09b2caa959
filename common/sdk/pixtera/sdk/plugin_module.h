#pragma once
// Everything a plug-in module needs: the plug-in interfaces, the COM object helpers and the
// self-registration helper for DllRegisterServer / DllUnregisterServer.

#include <pixtera/platform/com.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/self_registration.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>

// A plug-in module exports these four with C linkage (use PX_MODULE_EXPORT).
// PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
// PX_MODULE_EXPORT HRESULT DllCanUnloadNow();
// PX_MODULE_EXPORT HRESULT DllRegisterServer();
// PX_MODULE_EXPORT HRESULT DllUnregisterServer();
