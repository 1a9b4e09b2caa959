// SPDX-License-Identifier: MIT
#pragma once
// The COM runtime: apartments, class identifiers from text, object creation from the registry
// (in-process servers through dlopen) and the process-wide table of registered class objects.

#include <pixtera/platform/com_ptr.h>
#include <pixtera/platform/export.h>

#include <functional>

// CoInitializeEx apartments. Every thread here behaves as a member of the multithreaded
// apartment; the model is recorded only to answer RPC_E_CHANGED_MODE like Windows does.
inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Server contexts.
inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER | CLSCTX_INPROC_HANDLER;

// Class object registration flags.
inline constexpr DWORD REGCLS_SINGLEUSE = 0;
inline constexpr DWORD REGCLS_MULTIPLEUSE = 1;
inline constexpr DWORD REGCLS_MULTI_SEPARATE = 2;

extern "C" {
PX_API HRESULT CoInitializeEx(void* reserved, DWORD model);
PX_API void CoUninitialize();

PX_API HRESULT CoCreateGuid(GUID* guid);
// Reads a GUID in braces; other text is tried as a ProgID.
PX_API HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
// Follows the ProgID's CurVer when it has no CLSID of its own.
PX_API HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);
// Writes "{...}" and returns the characters written with the NUL, or 0 when it does not fit.
PX_API int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int capacity);

PX_API HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID riid, void** object);
PX_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object);
PX_API HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie);
PX_API HRESULT CoRevokeClassObject(DWORD cookie);
// Puts an object into its running state; every object here runs once it exists.
PX_API HRESULT OleRun(IUnknown* object);
}

namespace pixtera {

// Resolves classes that are registered for local-server use only (the out-of-process side).
// Installed by the library that talks to servers in other processes; without one such classes
// are not available.
using LocalServerActivator = std::function<HRESULT(REFCLSID clsid, REFIID riid, void** object)>;
PX_API void SetLocalServerActivator(LocalServerActivator activator);

template <class I>
HRESULT CreateInstance(REFCLSID clsid, DWORD context, ComPtr<I>& object)
{
    return CoCreateInstance(clsid, nullptr, context, IidOf<I>(), object.OutVoid());
}

} // namespace pixtera
