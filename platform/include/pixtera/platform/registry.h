// SPDX-License-Identifier: MIT
#pragma once
// The registry: keys and typed values with Windows semantics, kept in one SQLite file shared by
// all processes of the user ($PIXTERA_REGISTRY, else $XDG_DATA_HOME/pixtera/registry.db).
// Key and value names are case-insensitive and case-preserving (ASCII letters fold); the "A"
// functions take UTF-8 text. Each write is one transaction, so concurrent writers lose nothing.

#include <pixtera/platform/export.h>
#include <pixtera/platform/hresult.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct RegistryKeyHandle;
using HKEY = RegistryKeyHandle*;
using PHKEY = HKEY*;
using REGSAM = DWORD;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t{0x80000000u});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t{0x80000001u});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t{0x80000002u});

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;
inline constexpr DWORD REG_MULTI_SZ = 7;
inline constexpr DWORD REG_QWORD = 11;

extern "C" {
PX_API LSTATUS RegOpenKeyExA(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
PX_API LSTATUS RegCreateKeyExA(HKEY parent, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM access,
                               void* security, PHKEY result, DWORD* disposition);
PX_API LSTATUS RegCloseKey(HKEY key);
// Deletes a key without subkeys.
PX_API LSTATUS RegDeleteKeyA(HKEY parent, LPCSTR subKey);
// Deletes the subkey with everything below it; with no subkey, empties the key itself.
PX_API LSTATUS RegDeleteTreeA(HKEY key, LPCSTR subKey);
PX_API LSTATUS RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
PX_API LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
PX_API LSTATUS RegDeleteValueA(HKEY key, LPCSTR name);
PX_API LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved, LPSTR keyClass,
                             DWORD* classLength, void* lastWriteTime);
PX_API LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR name, DWORD* nameLength, DWORD* reserved, DWORD* type,
                             BYTE* data, DWORD* size);
}

namespace pixtera {

// The registry file this process uses now: the user's store, or the machine layer after
// UseMachineRegistry.
PX_API std::filesystem::path RegistryPath();

// The machine layer: read-only for users and merged under their store (their own keys and values
// win). $PIXTERA_MACHINE_REGISTRY (empty: none), else /var/lib/pixtera/registry.db.
PX_API std::optional<std::filesystem::path> MachineRegistryPath();
// From now on this process reads and writes the machine layer itself (for installing packages).
PX_API void UseMachineRegistry();

// Parses "HKCR\Some\Key" (short or long root names) into a root and a subkey.
PX_API std::optional<std::pair<HKEY, std::string>> ParseRegistryPath(std::string_view fullPath);
PX_API std::string_view RootKeyName(HKEY root);

struct RegistryValue {
    std::string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

// Owns one open key.
class PX_API RegKey {
public:
    RegKey() = default;
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        std::swap(key_, other.key_);
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    LSTATUS Open(HKEY parent, std::string_view subKey, REGSAM access = KEY_READ);
    LSTATUS Create(HKEY parent, std::string_view subKey, REGSAM access = KEY_ALL_ACCESS, bool* created = nullptr);
    void Close();

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

    // Text values: REG_SZ or REG_EXPAND_SZ only, without the terminating NUL.
    std::optional<std::string> QueryString(std::string_view name) const;
    // A REG_DWORD value; a value of another type does not count.
    std::optional<DWORD> QueryDword(std::string_view name) const;
    std::optional<RegistryValue> QueryValue(std::string_view name) const;
    bool HasValue(std::string_view name) const { return QueryValue(name).has_value(); }

    LSTATUS SetString(std::string_view name, std::string_view value);
    LSTATUS SetDword(std::string_view name, DWORD value);
    LSTATUS SetValue(std::string_view name, DWORD type, const std::vector<BYTE>& data);
    LSTATUS DeleteValue(std::string_view name);

    std::vector<std::string> SubKeys() const;
    std::vector<RegistryValue> Values() const;

private:
    HKEY key_ = nullptr;
};

} // namespace pixtera
