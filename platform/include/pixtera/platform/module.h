// SPDX-License-Identifier: MIT
#pragma once
// Shared-object modules under their Windows names.

#include <pixtera/platform/export.h>
#include <pixtera/platform/types.h>

#include <filesystem>
#include <string>

using HMODULE = void*;
using FARPROC = void (*)();

extern "C" {
// dlopen with immediate binding; the module stays loaded until FreeLibrary.
PX_API HMODULE LoadLibraryA(LPCSTR path);
// Finds a module that is already loaded under that name; never loads one.
PX_API HMODULE GetModuleHandleA(LPCSTR name);
PX_API FARPROC GetProcAddress(HMODULE module, LPCSTR name);
PX_API BOOL FreeLibrary(HMODULE module);
// The file of a module; a null module is the program itself. Returns the characters copied.
PX_API DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD capacity);
}

namespace pixtera {

// The absolute path of the module (program or shared object) that contains the address.
PX_API std::filesystem::path ModulePathOf(const void* address);
// The running program's absolute path.
PX_API std::filesystem::path ExecutablePath();

// The reason the last LoadLibraryA or GetProcAddress on this thread failed.
PX_API std::string LastModuleError();

} // namespace pixtera

// Expands to the path of the module in which it is compiled.
#define PIXTERA_THIS_MODULE_PATH()                                                                                     \
    ([] {                                                                                                              \
        static const char anchor = 0;                                                                                  \
        return ::pixtera::ModulePathOf(&anchor);                                                                       \
    }())
