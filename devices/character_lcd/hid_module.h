// SPDX-License-Identifier: MIT
#pragma once
// A USB module driven through its hidraw node: finding the node by the module's USB ids, opening
// it safely (not followed, not blocking, a character device of this user's or root's, the
// module's ids asked of the node before anything is written), and the writer's link over its
// output reports with the input reports handed to a reader.

#include "device_link.h"
#include "hid_input_reader.h"
#include "usb_i2c_adapter.h"

#include <pixtera/platform/unique_fd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::lcd {

struct UsbIdPair {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
};

// An open module: `watch` is readable when an input report waits and hangs up when it goes.
struct HidConnection {
    UniqueFd watch;
    std::shared_ptr<HidReports> reports;
};

// The USB devices with `ids` under `root`, in port order.
std::vector<UsbDevice> FindUsbModules(UsbIdPair ids, const std::filesystem::path& root = "/sys/bus/usb/devices");

// device=auto (the first found), auto:BUS-PORT (auto:1-1.4) or a node (/dev/hidraw3): the node.
// ENODEV in errno when no such module is plugged in.
std::optional<std::string> ChooseHidrawNode(const std::string& device, UsbIdPair ids, std::string& error,
                                            const std::filesystem::path& root = "/sys/bus/usb/devices");

// Opens `node` when it is the module with `ids`; nothing, with `error` and errno, otherwise.
std::optional<HidConnection> OpenHidrawModule(const std::string& node, UsbIdPair ids, std::string& error);

// Each message of the writer a report; the input reports go to `reader`.
DeviceLink LinkOverReports(HidConnection connection, HidInputReader& reader);

} // namespace pixtera::lcd
