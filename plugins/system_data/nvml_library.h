// SPDX-License-Identifier: MIT
#pragma once
// NVIDIA's management library, loaded when an NVIDIA GPU is there: no build dependency, and no
// error when the driver's library is absent.

#include <memory>
#include <optional>
#include <string>

namespace pixtera {

struct NvmlReading {
    std::optional<std::string> name;
    std::optional<double> busy; // %
    std::optional<double> memoryUsed; // bytes
    std::optional<double> memoryTotal; // bytes
    std::optional<double> temperature; // degrees C
    std::optional<double> power; // W
    std::optional<double> clock; // MHz
};

class NvmlLibrary {
public:
    // Nothing when the library cannot be loaded or initialised.
    static std::unique_ptr<NvmlLibrary> Load(const std::string& file);
    NvmlLibrary(const NvmlLibrary&) = delete;
    NvmlLibrary& operator=(const NvmlLibrary&) = delete;
    ~NvmlLibrary();

    // The GPU at a PCI address ("0000:01:00.0"); what the driver cannot tell stays empty.
    NvmlReading Read(const std::string& pciAddress) const;

    struct Functions;
    using Handle = std::unique_ptr<void, int (*)(void*)>; // closed with dlclose

    NvmlLibrary(Handle handle, std::unique_ptr<Functions> functions);

private:
    Handle handle_;
    std::unique_ptr<Functions> functions_; // initialised: shut down before the handle closes
};

} // namespace pixtera
