// SPDX-License-Identifier: MIT
// The Vulkan side of libpixtera-fps.so: an implicit layer (VK_LAYER_PIXTERA_frame_rate, enabled by
// PIXTERA_FPS=1 in its manifest) that counts vkQueuePresentKHR and passes every call on. Its
// entry points have names of their own, given in the manifest: the library may also be in the
// process through LD_PRELOAD, where vkGetInstanceProcAddr would take the loader's place.

#include "frame_counter.h"

#include <vulkan/vk_layer.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>

namespace {

// What the layer keeps per instance or device, found by the loader's dispatch key (the first
// pointer inside every dispatchable handle; a device's queues share the device's).
struct InstanceEntry {
    std::atomic<void*> key{nullptr};
    PFN_vkGetInstanceProcAddr nextGetInstanceProcAddr = nullptr;
    PFN_vkDestroyInstance nextDestroyInstance = nullptr;
};
struct DeviceEntry {
    std::atomic<void*> key{nullptr};
    PFN_vkGetDeviceProcAddr nextGetDeviceProcAddr = nullptr;
    PFN_vkQueuePresentKHR nextQueuePresent = nullptr;
    PFN_vkDestroyDevice nextDestroyDevice = nullptr;
};

// Fixed tables, so that the present path finds its device without a lock: entries are filled
// under `tableMutex` before their key is published, and a key is cleared only at destruction.
constexpr std::size_t kSlots = 64;
std::array<InstanceEntry, kSlots> instances;
std::array<DeviceEntry, kSlots> devices;
std::mutex tableMutex; // guards filling and clearing slots

void* KeyOf(const void* handle) { return *static_cast<void* const*>(handle); }

template <class Entry>
Entry* Find(std::array<Entry, kSlots>& table, void* key)
{
    for (auto& entry : table)
        if (entry.key.load(std::memory_order_acquire) == key)
            return &entry;
    return nullptr;
}

template <class Entry, class Fill>
bool Add(std::array<Entry, kSlots>& table, void* key, Fill fill)
{
    std::lock_guard lock(tableMutex);
    for (auto& entry : table) {
        if (entry.key.load(std::memory_order_relaxed) == nullptr) {
            fill(entry);
            entry.key.store(key, std::memory_order_release);
            return true;
        }
    }
    return false;
}

template <class Entry>
void Remove(std::array<Entry, kSlots>& table, void* key)
{
    std::lock_guard lock(tableMutex);
    if (Entry* entry = Find(table, key))
        entry->key.store(nullptr, std::memory_order_release);
}

template <class Info>
Info* LinkInfo(const void* next, VkStructureType type)
{
    auto* info = static_cast<Info*>(const_cast<void*>(next));
    while (info && !(info->sType == type && info->function == VK_LAYER_LINK_INFO))
        info = static_cast<Info*>(const_cast<void*>(info->pNext));
    return info;
}

VKAPI_ATTR VkResult VKAPI_CALL CreateInstance(const VkInstanceCreateInfo* createInfo,
                                              const VkAllocationCallbacks* allocator, VkInstance* instance)
{
    auto* link = LinkInfo<VkLayerInstanceCreateInfo>(createInfo->pNext, VK_STRUCTURE_TYPE_LOADER_INSTANCE_CREATE_INFO);
    if (!link)
        return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetInstanceProcAddr next = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext; // the next layer finds its own link
    auto create = reinterpret_cast<PFN_vkCreateInstance>(next(VK_NULL_HANDLE, "vkCreateInstance"));
    if (!create)
        return VK_ERROR_INITIALIZATION_FAILED;
    const VkResult result = create(createInfo, allocator, instance);
    if (result == VK_SUCCESS) {
        Add(instances, KeyOf(*instance), [&](InstanceEntry& entry) {
            entry.nextGetInstanceProcAddr = next;
            entry.nextDestroyInstance = reinterpret_cast<PFN_vkDestroyInstance>(next(*instance, "vkDestroyInstance"));
        });
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyInstance(VkInstance instance, const VkAllocationCallbacks* allocator)
{
    InstanceEntry* entry = Find(instances, KeyOf(instance));
    const PFN_vkDestroyInstance destroy = entry ? entry->nextDestroyInstance : nullptr;
    Remove(instances, KeyOf(instance));
    if (destroy)
        destroy(instance, allocator);
}

VKAPI_ATTR VkResult VKAPI_CALL CreateDevice(VkPhysicalDevice physicalDevice, const VkDeviceCreateInfo* createInfo,
                                            const VkAllocationCallbacks* allocator, VkDevice* device)
{
    auto* link = LinkInfo<VkLayerDeviceCreateInfo>(createInfo->pNext, VK_STRUCTURE_TYPE_LOADER_DEVICE_CREATE_INFO);
    if (!link)
        return VK_ERROR_INITIALIZATION_FAILED;
    const PFN_vkGetInstanceProcAddr nextInstance = link->u.pLayerInfo->pfnNextGetInstanceProcAddr;
    const PFN_vkGetDeviceProcAddr nextDevice = link->u.pLayerInfo->pfnNextGetDeviceProcAddr;
    link->u.pLayerInfo = link->u.pLayerInfo->pNext;
    auto create = reinterpret_cast<PFN_vkCreateDevice>(nextInstance(VK_NULL_HANDLE, "vkCreateDevice"));
    if (!create)
        return VK_ERROR_INITIALIZATION_FAILED;
    const VkResult result = create(physicalDevice, createInfo, allocator, device);
    if (result == VK_SUCCESS) {
        Add(devices, KeyOf(*device), [&](DeviceEntry& entry) {
            entry.nextGetDeviceProcAddr = nextDevice;
            entry.nextQueuePresent = reinterpret_cast<PFN_vkQueuePresentKHR>(nextDevice(*device, "vkQueuePresentKHR"));
            entry.nextDestroyDevice = reinterpret_cast<PFN_vkDestroyDevice>(nextDevice(*device, "vkDestroyDevice"));
        });
    }
    return result;
}

VKAPI_ATTR void VKAPI_CALL DestroyDevice(VkDevice device, const VkAllocationCallbacks* allocator)
{
    DeviceEntry* entry = Find(devices, KeyOf(device));
    const PFN_vkDestroyDevice destroy = entry ? entry->nextDestroyDevice : nullptr;
    Remove(devices, KeyOf(device));
    if (destroy)
        destroy(device, allocator);
}

VKAPI_ATTR VkResult VKAPI_CALL QueuePresent(VkQueue queue, const VkPresentInfoKHR* presentInfo)
{
    if (auto* counter = pixtera::fps::ProcessCounter())
        counter->Presented(pixtera::fps::MonotonicNs());
    DeviceEntry* entry = Find(devices, KeyOf(queue));
    return entry && entry->nextQueuePresent ? entry->nextQueuePresent(queue, presentInfo) : VK_ERROR_DEVICE_LOST;
}

PFN_vkVoidFunction DeviceFunction(const char* name);

} // namespace

extern "C" {

__attribute__((visibility("default"))) VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL
PixteraFps_GetDeviceProcAddr(VkDevice device, const char* name)
{
    if (PFN_vkVoidFunction ours = DeviceFunction(name))
        return ours;
    DeviceEntry* entry = device ? Find(devices, KeyOf(device)) : nullptr;
    return entry ? entry->nextGetDeviceProcAddr(device, name) : nullptr;
}

__attribute__((visibility("default"))) VKAPI_ATTR PFN_vkVoidFunction VKAPI_CALL
PixteraFps_GetInstanceProcAddr(VkInstance instance, const char* name)
{
    if (std::strcmp(name, "vkGetInstanceProcAddr") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&PixteraFps_GetInstanceProcAddr);
    if (std::strcmp(name, "vkCreateInstance") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&CreateInstance);
    if (std::strcmp(name, "vkDestroyInstance") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&DestroyInstance);
    if (std::strcmp(name, "vkCreateDevice") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&CreateDevice);
    if (PFN_vkVoidFunction ours = DeviceFunction(name))
        return ours;
    InstanceEntry* entry = instance ? Find(instances, KeyOf(instance)) : nullptr;
    return entry ? entry->nextGetInstanceProcAddr(instance, name) : nullptr;
}

__attribute__((visibility("default"))) VKAPI_ATTR VkResult VKAPI_CALL
PixteraFps_NegotiateLoaderLayerInterfaceVersion(VkNegotiateLayerInterface* layer)
{
    if (!layer || layer->sType != LAYER_NEGOTIATE_INTERFACE_STRUCT || layer->loaderLayerInterfaceVersion < 2)
        return VK_ERROR_INITIALIZATION_FAILED;
    layer->loaderLayerInterfaceVersion = 2;
    layer->pfnGetInstanceProcAddr = &PixteraFps_GetInstanceProcAddr;
    layer->pfnGetDeviceProcAddr = &PixteraFps_GetDeviceProcAddr;
    layer->pfnGetPhysicalDeviceProcAddr = nullptr;
    return VK_SUCCESS;
}

} // extern "C"

namespace {

PFN_vkVoidFunction DeviceFunction(const char* name)
{
    if (std::strcmp(name, "vkGetDeviceProcAddr") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&PixteraFps_GetDeviceProcAddr);
    if (std::strcmp(name, "vkQueuePresentKHR") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&QueuePresent);
    if (std::strcmp(name, "vkDestroyDevice") == 0)
        return reinterpret_cast<PFN_vkVoidFunction>(&DestroyDevice);
    return nullptr;
}

} // namespace
