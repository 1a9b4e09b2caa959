// SPDX-License-Identifier: MIT
#pragma once
// USB-to-I2C adapters driven without a kernel module: which one a configuration names, finding it
// in sysfs (by its USB ids, then its serial number or port path), and a link through it to the
// module at an address.

#include "adapter_transfer.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera::lcd {

enum class AdapterKind { I2cDev, Ch341, Mcp2221, Cp2112 };

// adapter=ch341, ch341:SERIAL or ch341:BUS-PORT (1-1.4); i2c-dev names /dev/i2c-N through bus=.
struct AdapterChoice {
    AdapterKind kind = AdapterKind::I2cDev;
    std::string which; // a serial number or port path; empty: the first found
};

std::optional<AdapterChoice> ParseAdapter(std::string_view text);
std::string AdapterText(const AdapterChoice& adapter); // as adapter= spells it
const char* AdapterKey(AdapterKind kind); // "ch341"
const char* ChipName(AdapterKind kind); // "CH341A"
// The chip's USB vendor and product id.
std::pair<std::uint16_t, std::uint16_t> UsbIds(AdapterKind kind);
// Whether the chip has a serial number of its own to tell two apart (else the port path does).
bool HasSerialNumber(AdapterKind kind);

// A USB device as sysfs shows it.
struct UsbDevice {
    std::filesystem::path sysfs; // /sys/bus/usb/devices/1-1.4
    std::string port; // 1-1.4
    std::string serial; // empty when it has none
    int busNumber = 0, deviceAddress = 0;
};

// The devices of `kind` under `root` (/sys/bus/usb/devices), in port order.
std::vector<UsbDevice> FindAdapters(AdapterKind kind, const std::filesystem::path& root = "/sys/bus/usb/devices");
// The one `adapter` names among them.
std::optional<UsbDevice> ChooseAdapter(const AdapterChoice& adapter, const std::vector<UsbDevice>& found);
// The kernel's I2C bus (i2c-N) and hidraw node (hidrawN) under a USB device, where there are.
std::optional<int> KernelI2cBus(const UsbDevice& device);
std::optional<std::string> HidrawNode(const UsbDevice& device);

// A link through `device`, an adapter of `kind`, to `address`: through the kernel's I2C bus when
// a driver made it one, else directly (`transfer`, when asked, is then the link's, to address
// another device through it). `route` and errno as below.
std::optional<DeviceLink> OpenAdapterDevice(AdapterKind kind, const UsbDevice& device, int address, int hz,
                                            std::string& route, std::string& error,
                                            AdapterTransfer** transfer = nullptr);
// A link through the adapter to `address`, at `hz` where the chip sets its clock. `route` says
// for the log how it goes ("CH341A at 1-1.4 over libusb"). On failure errno is ENODEV when no
// such adapter is plugged in.
std::optional<DeviceLink> OpenAdapterLink(const AdapterChoice& adapter, int address, int hz, std::string& route,
                                          std::string& error);

} // namespace pixtera::lcd
