// SPDX-License-Identifier: MIT
#pragma once
// The identifiers of the frame-rate plug-in, chosen once.

#include <pixtera/platform/com.h>

// {6DC70754-E4BF-4D81-9D26-6A8B3E135CFA}
inline constexpr GUID CLSID_DataProv{0x6DC70754, 0xE4BF, 0x4D81, {0x9D, 0x26, 0x6A, 0x8B, 0x3E, 0x13, 0x5C, 0xFA}};
// {8B7DD12B-D709-4D74-BF50-46F6A5EB3A19}
inline constexpr GUID LIBID_RatewellLib{0x8B7DD12B, 0xD709, 0x4D74, {0xBF, 0x50, 0x46, 0xF6, 0xA5, 0xEB, 0x3A, 0x19}};
// {73ADBBD0-24D6-4AEF-9FB3-9DCF43A45CE6}
inline constexpr GUID IID_IDataProv{0x73ADBBD0, 0x24D6, 0x4AEF, {0x9F, 0xB3, 0x9D, 0xCF, 0x43, 0xA4, 0x5C, 0xE6}};
// {2FD44DFA-17CB-42BE-B8B5-B2B778D3082B}
inline constexpr GUID APPID_Ratewell{0x2FD44DFA, 0x17CB, 0x42BE, {0xB8, 0xB5, 0xB2, 0xB7, 0x78, 0xD3, 0x08, 0x2B}};

// The class's default interface: dual, with no operations of its own.
struct IDataProv : IDispatch {};
PIXTERA_DECLARE_INTERFACE(IDataProv, IDispatch, IID_IDataProv);
