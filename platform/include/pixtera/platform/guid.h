// SPDX-License-Identifier: MIT
#pragma once
// 128-bit identifiers of classes, interfaces, libraries and applications.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace pixtera {

// Reads "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without the braces, any letter case.
PX_API std::optional<GUID> ParseGuid(std::string_view text);
PX_API std::optional<GUID> ParseGuid(std::u16string_view text);

// Upper-case hexadecimal in the registry form, with braces unless told otherwise.
PX_API std::string FormatGuid(const GUID& guid, bool braces = true);

} // namespace pixtera

template <>
struct std::hash<GUID> {
    std::size_t operator()(const GUID& g) const noexcept
    {
        std::uint64_t low = 0;
        std::uint64_t high = 0;
        std::memcpy(&low, &g, sizeof low);
        std::memcpy(&high, reinterpret_cast<const char*>(&g) + sizeof low, sizeof high);
        return static_cast<std::size_t>(low ^ (high * 0x9E3779B97F4A7C15ull));
    }
};
