// SPDX-License-Identifier: MIT
// The few functions of NVIDIA's management library that System data uses, answering for one GPU
// at PCI address 0000:01:00.0: built as libnvidia-ml.so.1 for the tests.

#include <cstring>

extern "C" {

struct nvmlDevice_st {};
static nvmlDevice_st gpu;
struct Utilization {
    unsigned int gpu, memory;
};
struct Memory {
    unsigned long long total, free, used;
};

int nvmlInit_v2() { return 0; }
int nvmlShutdown() { return 0; }
int nvmlDeviceGetHandleByPciBusId_v2(const char* address, nvmlDevice_st** device)
{
    if (std::strcmp(address, "0000:01:00.0") != 0)
        return 2; // NVML_ERROR_INVALID_ARGUMENT
    *device = &gpu;
    return 0;
}
int nvmlDeviceGetName(nvmlDevice_st*, char* name, unsigned int length)
{
    std::strncpy(name, "NVIDIA GeForce RTX 3060", length);
    return 0;
}
int nvmlDeviceGetUtilizationRates(nvmlDevice_st*, Utilization* rates)
{
    *rates = {12, 5};
    return 0;
}
int nvmlDeviceGetMemoryInfo(nvmlDevice_st*, Memory* memory)
{
    *memory = {12884901888ull, 12884901888ull - 1073741824ull, 1073741824ull};
    return 0;
}
int nvmlDeviceGetTemperature(nvmlDevice_st*, int, unsigned int* celsius)
{
    *celsius = 48;
    return 0;
}
int nvmlDeviceGetPowerUsage(nvmlDevice_st*, unsigned int* milliwatts)
{
    *milliwatts = 31500;
    return 0;
}
int nvmlDeviceGetClockInfo(nvmlDevice_st*, int, unsigned int* megahertz)
{
    *megahertz = 1777;
    return 0;
}

} // extern "C"
