// SPDX-License-Identifier: MIT
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/module_abi.h>
#include <pixtera/platform/registry.h>

#include <dlfcn.h>
#include <sys/random.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace pixtera {
namespace {

using DllGetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);

struct Apartment {
    int initialisations = 0;
    DWORD model = COINIT_MULTITHREADED;
};
thread_local Apartment apartment;

struct ClassRegistration {
    CLSID clsid;
    ComPtr<IUnknown> factory;
    DWORD context;
    DWORD flags;
    DWORD cookie;
};

// Class objects registered by this process, consulted before the registry.
class ClassTable {
public:
    static ClassTable& Instance()
    {
        static ClassTable table;
        return table;
    }

    DWORD Add(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags)
    {
        std::lock_guard lock(mutex_);
        const DWORD cookie = nextCookie_++;
        entries_.push_back({clsid, ComPtr<IUnknown>(factory), context, flags, cookie});
        return cookie;
    }

    // The entry is released outside the lock: releasing a factory may destroy objects.
    bool Remove(DWORD cookie)
    {
        ComPtr<IUnknown> released;
        std::lock_guard lock(mutex_);
        const auto it =
            std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.cookie == cookie; });
        if (it == entries_.end())
            return false;
        released = std::move(it->factory);
        entries_.erase(it);
        return true;
    }

    ComPtr<IUnknown> Find(REFCLSID clsid, DWORD context)
    {
        std::lock_guard lock(mutex_);
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->clsid != clsid || (it->context & context) == 0)
                continue;
            ComPtr<IUnknown> factory = it->factory;
            if (it->flags == REGCLS_SINGLEUSE)
                it->factory.Reset(), entries_.erase(it);
            return factory;
        }
        return nullptr;
    }

private:
    std::mutex mutex_;
    std::vector<ClassRegistration> entries_;
    DWORD nextCookie_ = 1;
};

std::mutex activatorMutex;
LocalServerActivator localServerActivator;

// A module that says which ABI it was built for must say ours; one that does not is older than
// the check and is taken as it is.
bool CompatibleModule(void* module, const std::string& path)
{
    using AbiFunction = int (*)();
    const auto abi = reinterpret_cast<AbiFunction>(dlsym(module, "PixteraModuleAbi"));
    if (!abi || abi() == kModuleAbiVersion)
        return true;
    LogError("The module " + path + " was built for module ABI version " + std::to_string(abi()) +
             "; this Pixtera has version " + std::to_string(kModuleAbiVersion) + ": rebuild it against this SDK");
    return false;
}

// Modules loaded for in-process servers stay loaded for the life of the process.
DllGetClassObjectFunction LoadServerModule(const std::string& path, HRESULT& failure)
{
    static std::mutex mutex;
    static std::map<std::string, void*> modules;
    static std::map<std::string, bool> refused; // said once each
    std::lock_guard lock(mutex);
    if (refused.count(path)) {
        failure = CO_E_ERRORINDLL;
        return nullptr;
    }
    void*& module = modules[path];
    if (!module) {
        module = LoadLibraryA(path.c_str());
        Trace(TraceChannel::Com, [&] {
            const char* why = module ? nullptr : dlerror();
            return "load " + path + (module ? ": loaded" : ": not loaded (" + std::string(why ? why : "?") + ")");
        });
    }
    if (!module) {
        modules.erase(path);
        failure = CO_E_DLLNOTFOUND;
        return nullptr;
    }
    if (!CompatibleModule(module, path)) {
        refused[path] = true;
        failure = CO_E_ERRORINDLL;
        return nullptr;
    }
    auto entry = reinterpret_cast<DllGetClassObjectFunction>(GetProcAddress(module, "DllGetClassObject"));
    if (!entry)
        failure = CO_E_ERRORINDLL;
    return entry;
}

std::optional<std::string> ServerPath(REFCLSID clsid, const char* serverKey)
{
    RegKey key;
    if (key.Open(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(clsid) + "\\" + serverKey) != ERROR_SUCCESS)
        return std::nullopt;
    auto path = key.QueryString("");
    if (!path || path->empty())
        return std::nullopt;
    return path;
}

HRESULT InprocClassObject(const std::string& path, REFCLSID clsid, REFIID riid, void** object)
{
    HRESULT failure = S_OK;
    const DllGetClassObjectFunction entry = LoadServerModule(path, failure);
    if (!entry)
        return failure;
    try {
        return entry(clsid, riid, object);
    } catch (...) {
        return CO_E_ERRORINDLL;
    }
}

HRESULT ResolveProgId(const std::string& progId, CLSID& clsid, int depth)
{
    if (progId.empty() || progId.find('\\') != std::string::npos || depth > 8)
        return CO_E_CLASSSTRING;
    RegKey key;
    const LSTATUS status = key.Open(HKEY_CLASSES_ROOT, progId);
    if (status == ERROR_FILE_NOT_FOUND)
        return CO_E_CLASSSTRING;
    if (status != ERROR_SUCCESS)
        return REGDB_E_READREGDB;
    RegKey clsidKey;
    if (clsidKey.Open(key.get(), "CLSID") == ERROR_SUCCESS) {
        const auto text = clsidKey.QueryString("");
        const auto parsed = text ? ParseGuid(*text) : std::nullopt;
        if (!parsed)
            return CO_E_CLASSSTRING;
        clsid = *parsed;
        return S_OK;
    }
    RegKey currentVersion;
    if (currentVersion.Open(key.get(), "CurVer") == ERROR_SUCCESS)
        if (const auto next = currentVersion.QueryString(""))
            return ResolveProgId(*next, clsid, depth + 1);
    return CO_E_CLASSSTRING;
}

// The class object from the first place that has the class; `route` names that place.
HRESULT FindClassObject(REFCLSID clsid, DWORD context, REFIID riid, void** object, std::string& route)
{
    if (auto factory = ClassTable::Instance().Find(clsid, context)) {
        route = "the registered class objects";
        return factory->QueryInterface(riid, object);
    }
    if (context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) {
        if (const auto path = ServerPath(clsid, "InprocServer32")) {
            route = "InprocServer32 " + *path;
            return InprocClassObject(*path, clsid, riid, object);
        }
    }
    if (context & (CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)) {
        if (const auto path = ServerPath(clsid, "LocalServer32")) {
            route = "LocalServer32 " + *path;
            LocalServerActivator activator;
            {
                std::lock_guard lock(activatorMutex);
                activator = localServerActivator;
            }
            return activator ? activator(clsid, riid, object) : CO_E_SERVER_EXEC_FAILURE;
        }
    }
    route = "no registration (HKCR\\CLSID\\" + FormatGuid(clsid) + ")";
    return REGDB_E_CLASSNOTREG;
}

std::size_t Length(LPCOLESTR text)
{
    std::size_t n = 0;
    while (text[n])
        ++n;
    return n;
}

} // namespace

void SetLocalServerActivator(LocalServerActivator activator)
{
    std::lock_guard lock(activatorMutex);
    localServerActivator = std::move(activator);
}

} // namespace pixtera

using namespace pixtera;

extern "C" {

HRESULT CoInitializeEx(void*, DWORD model)
{
    if (apartment.initialisations > 0 && apartment.model != model)
        return RPC_E_CHANGED_MODE;
    apartment.model = model;
    return ++apartment.initialisations == 1 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (apartment.initialisations > 0)
        --apartment.initialisations;
}

HRESULT CoCreateGuid(GUID* guid)
{
    if (!guid)
        return E_INVALIDARG;
    BYTE bytes[16];
    if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return E_FAIL;
    bytes[6] = static_cast<BYTE>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<BYTE>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    guid->Data1 = static_cast<DWORD>(bytes[0]) << 24 | static_cast<DWORD>(bytes[1]) << 16 |
                  static_cast<DWORD>(bytes[2]) << 8 | bytes[3];
    guid->Data2 = static_cast<WORD>(bytes[4] << 8 | bytes[5]);
    guid->Data3 = static_cast<WORD>(bytes[6] << 8 | bytes[7]);
    std::memcpy(guid->Data4, bytes + 8, 8);
    return S_OK;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid)
{
    if (!progId || !clsid)
        return E_INVALIDARG;
    *clsid = GUID_NULL;
    const std::string name = Utf16ToUtf8({progId, Length(progId)});
    const HRESULT hr = ResolveProgId(name, *clsid, 0);
    Trace(TraceChannel::Com,
          [&] { return "CLSIDFromProgID " + name + " -> " + (SUCCEEDED(hr) ? FormatGuid(*clsid) : HresultText(hr)); });
    return hr;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (!clsid)
        return E_INVALIDARG;
    *clsid = GUID_NULL;
    if (!text)
        return S_OK; // Windows reads a null string as GUID_NULL
    const std::u16string_view view(text, Length(text));
    if (!view.empty() && view.front() == u'{') {
        const auto parsed = ParseGuid(view);
        if (!parsed)
            return CO_E_CLASSSTRING;
        *clsid = *parsed;
        return S_OK;
    }
    const HRESULT hr = CLSIDFromProgID(text, clsid);
    return hr == REGDB_E_READREGDB ? hr : (FAILED(hr) ? CO_E_CLASSSTRING : hr);
}

int StringFromGUID2(REFGUID guid, LPOLESTR buffer, int capacity)
{
    const std::string text = FormatGuid(guid);
    if (!buffer || capacity < static_cast<int>(text.size()) + 1)
        return 0;
    for (std::size_t i = 0; i < text.size(); ++i)
        buffer[i] = static_cast<OLECHAR>(text[i]);
    buffer[text.size()] = 0;
    return static_cast<int>(text.size()) + 1;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void*, REFIID riid, void** object)
{
    if (!object)
        return E_INVALIDARG;
    *object = nullptr;
    std::string route = "nowhere";
    const HRESULT hr = FindClassObject(clsid, context, riid, object, route);
    Trace(TraceChannel::Com, [&] {
        return "CoGetClassObject " + FormatGuid(clsid) + " context " + std::to_string(context) + " via " + route +
               " -> " + HresultText(hr);
    });
    return hr;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    if (HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, factory.OutVoid()); FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    return factory->CreateInstance(outer, riid, object);
}

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD context, DWORD flags, DWORD* cookie)
{
    if (!cookie)
        return E_INVALIDARG;
    *cookie = 0;
    if (!factory)
        return E_INVALIDARG;
    *cookie = ClassTable::Instance().Add(clsid, factory, context, flags);
    Trace(TraceChannel::Com, [&] {
        return "CoRegisterClassObject " + FormatGuid(clsid) + " context " + std::to_string(context) + " -> cookie " +
               std::to_string(*cookie);
    });
    return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) { return ClassTable::Instance().Remove(cookie) ? S_OK : E_INVALIDARG; }

HRESULT OleRun(IUnknown* object) { return object ? S_OK : E_INVALIDARG; }

} // extern "C"
