// SPDX-License-Identifier: MIT
#pragma once
// Writes and removes a module's registry entries, as DllRegisterServer and DllUnregisterServer do.
//
// A script is a table of keys and values under HKEY_CLASSES_ROOT. On registration the keys marked
// "recreate" are deleted with everything below them first, so their old content disappears; then
// every entry is written. On unregistration every key the script owns is deleted whole, except
// the shared parents (such as "CLSID" and "AppID"), which only lose the script's subkeys.
// "%MODULE%" in a value is replaced by the module's absolute path.

#include <pixtera/platform/export.h>
#include <pixtera/platform/guid.h>
#include <pixtera/platform/hresult.h>
#include <pixtera/platform/registry.h>

#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

struct RegistryEntry {
    std::string key; // below HKEY_CLASSES_ROOT
    std::string valueName; // empty: the key's default value
    std::string data; // text value
    bool keyOnly = false; // the key itself, with no value
};

struct RegistrationScript {
    std::vector<RegistryEntry> entries;
    std::vector<std::string> recreateKeys; // deleted whole before registration
    std::vector<std::string> sharedParents; // never deleted (e.g. "CLSID", "AppID")
    HKEY root = HKEY_CLASSES_ROOT;
};

using Substitutions = std::map<std::string, std::string, std::less<>>;

// Result: S_OK, or the registry failure as an HRESULT (SELFREG_E_CLASS when it has none).
PX_API HRESULT RegisterScript(const RegistrationScript& script, const Substitutions& substitutions);
PX_API HRESULT UnregisterScript(const RegistrationScript& script, const Substitutions& substitutions);

// The usual entries of one in-process class: "<ProgId>.1" and "<ProgId>" (with CurVer) naming the
// class, and CLSID\{clsid} with ProgID, VersionIndependentProgID and InprocServer32 = %MODULE%.
struct InprocClass {
    GUID clsid;
    std::string progId; // version-independent, e.g. "Pixtera.FileDisplay"
    std::string description; // e.g. "File display"
    std::string threadingModel = "Both";
};
PX_API RegistrationScript InprocClassScript(const InprocClass& inprocClass);

// Replaces every "%NAME%" whose NAME is in the map.
PX_API std::string Substitute(std::string_view text, const Substitutions& substitutions);

} // namespace pixtera
