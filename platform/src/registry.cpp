// SPDX-License-Identifier: MIT
#include <pixtera/platform/registry.h>

#include "registry_store.h"

#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/paths.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace pixtera {
namespace {

struct RootName {
    HKEY key;
    std::string_view longName;
    std::string_view shortName;
};

const std::array<RootName, 3>& Roots()
{
    static const std::array<RootName, 3> roots{{
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT", "HKCR"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE", "HKLM"},
        {HKEY_CURRENT_USER, "HKEY_CURRENT_USER", "HKCU"},
    }};
    return roots;
}

struct OpenKey {
    std::string path;
    REGSAM access = 0;
};

bool MayWrite(REGSAM access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

// Open keys are small numbers handed out as HKEYs; the roots are the Windows constants.
class KeyTable {
public:
    static KeyTable& Instance()
    {
        static KeyTable table;
        return table;
    }

    HKEY Add(OpenKey key)
    {
        std::lock_guard lock(mutex_);
        const std::uintptr_t handle = next_++;
        keys_.emplace(handle, std::move(key));
        return reinterpret_cast<HKEY>(handle);
    }

    bool Remove(HKEY key)
    {
        std::lock_guard lock(mutex_);
        return keys_.erase(reinterpret_cast<std::uintptr_t>(key)) == 1;
    }

    bool Find(HKEY key, OpenKey& found)
    {
        for (const auto& root : Roots()) {
            if (root.key == key) {
                found = {std::string(root.longName), KEY_ALL_ACCESS};
                return true;
            }
        }
        std::lock_guard lock(mutex_);
        const auto it = keys_.find(reinterpret_cast<std::uintptr_t>(key));
        if (it == keys_.end())
            return false;
        found = it->second;
        return true;
    }

private:
    std::mutex mutex_;
    std::unordered_map<std::uintptr_t, OpenKey> keys_;
    std::uintptr_t next_ = 1;
};

// The full path of `subKey` below an open key, checked for Windows' path rules.
LSTATUS Resolve(HKEY parent, LPCSTR subKey, OpenKey& parentKey, std::string& path)
{
    if (!KeyTable::Instance().Find(parent, parentKey))
        return ERROR_INVALID_HANDLE;
    std::string_view sub = subKey ? subKey : "";
    while (!sub.empty() && sub.back() == '\\')
        sub.remove_suffix(1);
    if (!sub.empty() && sub.front() == '\\')
        return ERROR_BAD_PATHNAME;
    if (sub.find("\\\\") != std::string_view::npos)
        return ERROR_BAD_PATHNAME;
    path = sub.empty() ? parentKey.path : parentKey.path + "\\" + std::string(sub);
    return ERROR_SUCCESS;
}

// What the store answered about a key, on the registry channel; returns that answer.
LSTATUS Traced(const char* operation, const std::string& path, LSTATUS status, const char* valueName = nullptr)
{
    Trace(TraceChannel::Registry, [&] {
        const char* said = status == ERROR_SUCCESS          ? "ok"
                           : status == ERROR_FILE_NOT_FOUND ? "not found"
                           : status == ERROR_ACCESS_DENIED  ? "access denied"
                                                            : "error";
        return std::string(operation) + " " + path + (valueName ? "|" + std::string(valueName) : "") + " -> " + said +
               " (" + std::to_string(status) + ")";
    });
    return status;
}

LSTATUS PathOf(HKEY key, OpenKey& open)
{
    return KeyTable::Instance().Find(key, open) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

LSTATUS CopyOut(const std::vector<BYTE>& data, BYTE* buffer, DWORD* size)
{
    const auto needed = static_cast<DWORD>(data.size());
    if (!size)
        return buffer ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (!buffer) {
        *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(buffer, data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LSTATUS CopyName(const std::string& name, LPSTR buffer, DWORD* length)
{
    if (!buffer || !length)
        return ERROR_INVALID_PARAMETER;
    if (*length < name.size() + 1) {
        *length = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

} // namespace

std::optional<std::pair<HKEY, std::string>> ParseRegistryPath(std::string_view fullPath)
{
    const auto slash = fullPath.find('\\');
    const std::string_view rootName = fullPath.substr(0, slash);
    std::string_view rest = slash == std::string_view::npos ? std::string_view() : fullPath.substr(slash + 1);
    for (const auto& root : Roots())
        if (EqualsNoCase(rootName, root.longName) || EqualsNoCase(rootName, root.shortName))
            return std::pair{root.key, std::string(rest)};
    return std::nullopt;
}

std::string_view RootKeyName(HKEY root)
{
    for (const auto& r : Roots())
        if (r.key == root)
            return r.longName;
    return {};
}

LSTATUS RegKey::Open(HKEY parent, std::string_view subKey, REGSAM access)
{
    Close();
    return RegOpenKeyExA(parent, std::string(subKey).c_str(), 0, access, &key_);
}

LSTATUS RegKey::Create(HKEY parent, std::string_view subKey, REGSAM access, bool* created)
{
    Close();
    DWORD disposition = 0;
    const LSTATUS status = RegCreateKeyExA(parent, std::string(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           access, nullptr, &key_, &disposition);
    if (created)
        *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
    return status;
}

void RegKey::Close()
{
    if (key_)
        RegCloseKey(std::exchange(key_, nullptr));
}

std::optional<RegistryValue> RegKey::QueryValue(std::string_view name) const
{
    OpenKey open;
    if (!key_ || PathOf(key_, open) != ERROR_SUCCESS)
        return std::nullopt;
    RegistryValue value;
    if (RegistryStore::Instance().QueryValue(open.path, std::string(name), value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<std::string> RegKey::QueryString(std::string_view name) const
{
    auto value = QueryValue(name);
    if (!value || (value->type != REG_SZ && value->type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

std::optional<DWORD> RegKey::QueryDword(std::string_view name) const
{
    auto value = QueryValue(name);
    if (!value || value->type != REG_DWORD || value->data.size() != sizeof(DWORD))
        return std::nullopt;
    DWORD number = 0;
    std::memcpy(&number, value->data.data(), sizeof number);
    return number;
}

LSTATUS RegKey::SetString(std::string_view name, std::string_view value)
{
    std::vector<BYTE> data(value.begin(), value.end());
    data.push_back(0);
    return SetValue(name, REG_SZ, data);
}

LSTATUS RegKey::SetDword(std::string_view name, DWORD value)
{
    std::vector<BYTE> data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return SetValue(name, REG_DWORD, data);
}

LSTATUS RegKey::SetValue(std::string_view name, DWORD type, const std::vector<BYTE>& data)
{
    return RegSetValueExA(key_, std::string(name).c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

LSTATUS RegKey::DeleteValue(std::string_view name) { return RegDeleteValueA(key_, std::string(name).c_str()); }

std::vector<std::string> RegKey::SubKeys() const
{
    std::vector<std::string> names;
    OpenKey open;
    if (!key_ || PathOf(key_, open) != ERROR_SUCCESS)
        return names;
    std::string name;
    for (DWORD i = 0; RegistryStore::Instance().SubKeyAt(open.path, i, name) == ERROR_SUCCESS; ++i)
        names.push_back(name);
    return names;
}

std::vector<RegistryValue> RegKey::Values() const
{
    std::vector<RegistryValue> values;
    OpenKey open;
    if (!key_ || PathOf(key_, open) != ERROR_SUCCESS)
        return values;
    RegistryValue value;
    for (DWORD i = 0; RegistryStore::Instance().ValueAt(open.path, i, value) == ERROR_SUCCESS; ++i)
        values.push_back(value);
    return values;
}

} // namespace pixtera

using pixtera::KeyTable;
using pixtera::OpenKey;
using pixtera::RegistryStore;

extern "C" {

LSTATUS RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD, REGSAM access, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    OpenKey parentKey;
    std::string path;
    if (LSTATUS status = pixtera::Resolve(parent, subKey, parentKey, path); status != ERROR_SUCCESS)
        return status;
    std::string canonical;
    if (LSTATUS status = pixtera::Traced("open", path, RegistryStore::Instance().FindKey(path, canonical));
        status != ERROR_SUCCESS)
        return status;
    *result = KeyTable::Instance().Add({canonical, access});
    return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, void*, PHKEY result,
                        DWORD* disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    OpenKey parentKey;
    std::string path;
    if (LSTATUS status = pixtera::Resolve(parent, subKey, parentKey, path); status != ERROR_SUCCESS)
        return status;
    std::string canonical;
    bool created = false;
    if (LSTATUS status = RegistryStore::Instance().FindKey(path, canonical); status == ERROR_FILE_NOT_FOUND) {
        if (!pixtera::MayWrite(parentKey.access))
            return ERROR_ACCESS_DENIED;
        status = pixtera::Traced("create", path, RegistryStore::Instance().CreateKey(path, canonical, created));
        if (status != ERROR_SUCCESS)
            return status;
    } else if (status != ERROR_SUCCESS) {
        return status;
    }
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = KeyTable::Instance().Add({canonical, access});
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key)
{
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        if (key == root)
            return ERROR_SUCCESS;
    return KeyTable::Instance().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS RegDeleteKeyA(HKEY parent, LPCSTR subKey)
{
    if (!subKey || !*subKey)
        return ERROR_INVALID_PARAMETER;
    OpenKey parentKey;
    std::string path;
    if (LSTATUS status = pixtera::Resolve(parent, subKey, parentKey, path); status != ERROR_SUCCESS)
        return status;
    if (!pixtera::MayWrite(parentKey.access))
        return ERROR_ACCESS_DENIED;
    return pixtera::Traced("delete", path, RegistryStore::Instance().DeleteKey(path));
}

LSTATUS RegDeleteTreeA(HKEY key, LPCSTR subKey)
{
    OpenKey parentKey;
    std::string path;
    if (LSTATUS status = pixtera::Resolve(key, subKey, parentKey, path); status != ERROR_SUCCESS)
        return status;
    if (!pixtera::MayWrite(parentKey.access))
        return ERROR_ACCESS_DENIED;
    return pixtera::Traced("delete tree", path, RegistryStore::Instance().DeleteTree(path, subKey && *subKey));
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    if (!data && size)
        return ERROR_INVALID_PARAMETER;
    OpenKey open;
    if (LSTATUS status = pixtera::PathOf(key, open); status != ERROR_SUCCESS)
        return status;
    if (!pixtera::MayWrite(open.access))
        return ERROR_ACCESS_DENIED;
    return pixtera::Traced("set value", open.path,
                           RegistryStore::Instance().SetValue(open.path, name ? name : "", type, data, size),
                           name ? name : "");
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size)
{
    OpenKey open;
    if (LSTATUS status = pixtera::PathOf(key, open); status != ERROR_SUCCESS)
        return status;
    pixtera::RegistryValue value;
    if (LSTATUS status = RegistryStore::Instance().QueryValue(open.path, name ? name : "", value);
        status != ERROR_SUCCESS)
        return status;
    if (type)
        *type = value.type;
    return pixtera::CopyOut(value.data, data, size);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR name)
{
    OpenKey open;
    if (LSTATUS status = pixtera::PathOf(key, open); status != ERROR_SUCCESS)
        return status;
    if (!pixtera::MayWrite(open.access))
        return ERROR_ACCESS_DENIED;
    return RegistryStore::Instance().DeleteValue(open.path, name ? name : "");
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD*, LPSTR, DWORD*, void*)
{
    OpenKey open;
    if (LSTATUS status = pixtera::PathOf(key, open); status != ERROR_SUCCESS)
        return status;
    std::string subKey;
    if (LSTATUS status = RegistryStore::Instance().SubKeyAt(open.path, index, subKey); status != ERROR_SUCCESS)
        return status;
    return pixtera::CopyName(subKey, name, nameLength);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD*, DWORD* type, BYTE* data,
                      DWORD* size)
{
    OpenKey open;
    if (LSTATUS status = pixtera::PathOf(key, open); status != ERROR_SUCCESS)
        return status;
    pixtera::RegistryValue value;
    if (LSTATUS status = RegistryStore::Instance().ValueAt(open.path, index, value); status != ERROR_SUCCESS)
        return status;
    if (LSTATUS status = pixtera::CopyName(value.name, name, nameLength); status != ERROR_SUCCESS)
        return status;
    if (type)
        *type = value.type;
    return pixtera::CopyOut(value.data, data, size);
}

} // extern "C"
