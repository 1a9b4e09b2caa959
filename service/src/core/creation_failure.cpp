// SPDX-License-Identifier: MIT
#include "creation_failure.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/guid.h>
#include <pixtera/platform/registry.h>

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>

namespace pixtera {
namespace {

std::optional<std::string> ModulePath(const CLSID& clsid)
{
    RegKey server;
    if (server.Open(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32") != ERROR_SUCCESS)
        return std::nullopt;
    return server.QueryString("");
}

struct LibraryCloser {
    void operator()(void* library) const { dlclose(library); }
};

} // namespace

std::string CreationFailureReason(const std::u16string& progId, HRESULT result, bool threw)
{
    if (threw)
        return "the plug-in threw while it was created or configured";
    CLSID clsid{};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid)))
        return "its ProgID is not registered (register its module with: pixtera-reg register MODULE.so)";
    const auto module = ModulePath(clsid);
    if (!module)
        return "its class has no module registered (" + HresultText(result) + ")";
    std::error_code ec;
    if (!std::filesystem::exists(*module, ec))
        return "its module " + *module + " is missing";
    const std::unique_ptr<void, LibraryCloser> library(dlopen(module->c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!library) {
        const char* error = dlerror();
        return "the module " + *module + " cannot be loaded: " + (error ? error : "unknown error");
    }
    if (!dlsym(library.get(), "DllGetClassObject"))
        return "the module " + *module + " has no DllGetClassObject";
    return "the class refused to create its object (" + HresultText(result) + ")";
}

} // namespace pixtera
