// SPDX-License-Identifier: MIT
#include "nvml_library.h"

#include <pixtera/platform/event_log.h>

#include <dlfcn.h>

namespace pixtera {
namespace {

// The few declarations of nvml.h that are used, as the library's ABI has them.
using nvmlReturn_t = int;
using nvmlDevice_t = struct nvmlDevice_st*;
struct nvmlUtilization_t {
    unsigned int gpu;
    unsigned int memory;
};
struct nvmlMemory_t {
    unsigned long long total;
    unsigned long long free;
    unsigned long long used;
};
constexpr nvmlReturn_t NVML_SUCCESS = 0;
constexpr int NVML_TEMPERATURE_GPU = 0;
constexpr int NVML_CLOCK_GRAPHICS = 0;

} // namespace

struct NvmlLibrary::Functions {
    nvmlReturn_t (*init)();
    nvmlReturn_t (*shutdown)();
    nvmlReturn_t (*byPciBusId)(const char*, nvmlDevice_t*);
    nvmlReturn_t (*name)(nvmlDevice_t, char*, unsigned int);
    nvmlReturn_t (*utilization)(nvmlDevice_t, nvmlUtilization_t*);
    nvmlReturn_t (*memory)(nvmlDevice_t, nvmlMemory_t*);
    nvmlReturn_t (*temperature)(nvmlDevice_t, int, unsigned int*);
    nvmlReturn_t (*power)(nvmlDevice_t, unsigned int*);
    nvmlReturn_t (*clock)(nvmlDevice_t, int, unsigned int*);
};

namespace {

template <class Function>
bool Resolve(void* handle, const char* symbol, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(handle, symbol));
    return function != nullptr;
}

} // namespace

std::unique_ptr<NvmlLibrary> NvmlLibrary::Load(const std::string& file)
{
    Handle handle(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL), dlclose);
    if (!handle)
        return nullptr;
    auto functions = std::make_unique<Functions>();
    const bool complete = Resolve(handle.get(), "nvmlInit_v2", functions->init) &&
                          Resolve(handle.get(), "nvmlShutdown", functions->shutdown) &&
                          Resolve(handle.get(), "nvmlDeviceGetHandleByPciBusId_v2", functions->byPciBusId) &&
                          Resolve(handle.get(), "nvmlDeviceGetName", functions->name) &&
                          Resolve(handle.get(), "nvmlDeviceGetUtilizationRates", functions->utilization) &&
                          Resolve(handle.get(), "nvmlDeviceGetMemoryInfo", functions->memory) &&
                          Resolve(handle.get(), "nvmlDeviceGetTemperature", functions->temperature) &&
                          Resolve(handle.get(), "nvmlDeviceGetPowerUsage", functions->power) &&
                          Resolve(handle.get(), "nvmlDeviceGetClockInfo", functions->clock);
    if (!complete || functions->init() != NVML_SUCCESS) {
        LogWarning("System data: " + file + " is not a usable NVIDIA management library; NVIDIA GPUs show no values");
        return nullptr;
    }
    return std::make_unique<NvmlLibrary>(std::move(handle), std::move(functions));
}

NvmlLibrary::NvmlLibrary(Handle handle, std::unique_ptr<Functions> functions)
    : handle_(std::move(handle)), functions_(std::move(functions))
{
}

NvmlLibrary::~NvmlLibrary() { functions_->shutdown(); }

NvmlReading NvmlLibrary::Read(const std::string& pciAddress) const
{
    NvmlReading reading;
    nvmlDevice_t device = nullptr;
    if (functions_->byPciBusId(pciAddress.c_str(), &device) != NVML_SUCCESS)
        return reading;
    char name[96] = {};
    if (functions_->name(device, name, sizeof name) == NVML_SUCCESS)
        reading.name = name;
    nvmlUtilization_t utilization{};
    if (functions_->utilization(device, &utilization) == NVML_SUCCESS)
        reading.busy = utilization.gpu;
    nvmlMemory_t memory{};
    if (functions_->memory(device, &memory) == NVML_SUCCESS) {
        reading.memoryUsed = static_cast<double>(memory.used);
        reading.memoryTotal = static_cast<double>(memory.total);
    }
    unsigned int value = 0;
    if (functions_->temperature(device, NVML_TEMPERATURE_GPU, &value) == NVML_SUCCESS)
        reading.temperature = value;
    if (functions_->power(device, &value) == NVML_SUCCESS)
        reading.power = value / 1000.0; // milliwatts
    if (functions_->clock(device, NVML_CLOCK_GRAPHICS, &value) == NVML_SUCCESS)
        reading.clock = value;
    return reading;
}

} // namespace pixtera
