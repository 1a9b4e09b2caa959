// SPDX-License-Identifier: MIT
#pragma once
// Message boxes. A service must never block a worker on one, so the default shows nothing: it
// logs the text and prints it to standard error, and answers IDOK. Programs with a user
// interface (or a desktop notifier) install their own hook.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <functional>
#include <string_view>

using HWND = void*;

inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONERROR = 0x10;
inline constexpr UINT MB_ICONWARNING = 0x30;
inline constexpr UINT MB_ICONINFORMATION = 0x40;
inline constexpr int IDOK = 1;

extern "C" PX_API int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

namespace pixtera {

using MessageBoxHook = std::function<int(std::string_view text, std::string_view caption, UINT type)>;
// Replaces the hook for the whole process; an empty function restores the default.
PX_API void SetMessageBoxHook(MessageBoxHook hook);

} // namespace pixtera
