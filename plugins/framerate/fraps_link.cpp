// SPDX-License-Identifier: MIT
#include "fraps_link.h"

#include <dlfcn.h>

#include <cstring>

namespace pixtera {
namespace {

constexpr const char* kModule = "FRAPS.DLL";
constexpr const char* kExport = "FrapsSharedData";

using SharedData = const void* (*)();

// A reference to the module for as long as the reading takes; never loads it.
class ModulePin {
public:
    ModulePin() : module_(dlopen(kModule, RTLD_NOW | RTLD_NOLOAD)) {}
    ModulePin(const ModulePin&) = delete;
    ModulePin& operator=(const ModulePin&) = delete;
    ~ModulePin()
    {
        if (module_)
            dlclose(module_);
    }
    void* get() const { return module_; }

private:
    void* module_;
};

} // namespace

std::optional<FrapsReading> ReadFraps()
{
    const ModulePin module;
    if (!module.get())
        return std::nullopt;
    const auto sharedData = reinterpret_cast<SharedData>(dlsym(module.get(), kExport));
    if (!sharedData)
        return std::nullopt;
    const auto* record = static_cast<const unsigned char*>(sharedData());
    if (!record)
        return std::nullopt;
    FrapsReading reading;
    std::memcpy(&reading.framesPerSecond, record + kFramesPerSecondOffset, sizeof reading.framesPerSecond);
    const auto* name = reinterpret_cast<const char*>(record + kGameNameOffset);
    reading.game.assign(name, strnlen(name, kMaxGameName));
    return reading;
}

} // namespace pixtera
