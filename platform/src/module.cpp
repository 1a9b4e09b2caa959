// SPDX-License-Identifier: MIT
#include <pixtera/platform/module.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <system_error>

namespace pixtera {
namespace {

thread_local std::string lastModuleError;

void RememberDlError()
{
    const char* error = dlerror();
    lastModuleError = error ? error : "unknown error";
}

} // namespace

std::string LastModuleError() { return lastModuleError; }

std::filesystem::path ExecutablePath()
{
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : path;
}

std::filesystem::path ModulePathOf(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code ec;
    auto path = std::filesystem::canonical(info.dli_fname, ec);
    // The main program may report only its bare name.
    return ec ? ExecutablePath() : path;
}

} // namespace pixtera

extern "C" {

HMODULE LoadLibraryA(LPCSTR path)
{
    if (!path || !*path)
        return nullptr;
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!module)
        pixtera::RememberDlError();
    return module;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    if (!name)
        return dlopen(nullptr, RTLD_NOW);
    void* module = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
    if (!module) {
        pixtera::RememberDlError();
        return nullptr;
    }
    // RTLD_NOLOAD still counts a reference; GetModuleHandle takes none.
    dlclose(module);
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!module || !name)
        return nullptr;
    dlerror();
    void* symbol = dlsym(module, name);
    if (!symbol) {
        pixtera::RememberDlError();
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) { return module && dlclose(module) == 0 ? 1 : 0; }

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD capacity)
{
    if (!buffer || capacity == 0)
        return 0;
    std::string path;
    if (!module) {
        path = pixtera::ExecutablePath().string();
    } else {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || !map)
            return 0;
        path = map->l_name && *map->l_name ? map->l_name : pixtera::ExecutablePath().string();
    }
    // Windows truncates and terminates when the buffer is too small.
    const std::size_t copied = std::min<std::size_t>(path.size(), capacity - 1);
    std::memcpy(buffer, path.data(), copied);
    buffer[copied] = '\0';
    return static_cast<DWORD>(copied);
}

} // extern "C"
