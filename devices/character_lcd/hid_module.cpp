// SPDX-License-Identifier: MIT
#include "hid_module.h"

#include "hidraw_reports.h"

#include <linux/hidraw.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera::lcd {
namespace fs = std::filesystem;
namespace {

std::string Attribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line.substr(0, 64);
}

std::optional<unsigned long> Number(const std::string& text, int base)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text.c_str(), &end, base);
    if (errno != 0 || *end != '\0')
        return std::nullopt;
    return value;
}

// 1-1.4, not an interface (1-1.4:1.0) nor a root hub (usb1).
bool IsPortPath(const std::string& name)
{
    return !name.empty() && std::isdigit(static_cast<unsigned char>(name[0])) && name.find(':') == std::string::npos;
}

// The node's reports: the node is the reports' own.
class OwnedHidraw final : public HidReports {
public:
    explicit OwnedHidraw(UniqueFd fd) : fd_(std::move(fd)), reports_(fd_.get()) {}
    int Write(std::span<const std::uint8_t> report) override { return reports_.Write(report); }
    int Read(std::span<std::uint8_t> report, std::size_t& got) override { return reports_.Read(report, got); }
    int SetFeature(std::span<const std::uint8_t> report) override { return reports_.SetFeature(report); }
    int Identify(std::uint16_t& vendor, std::uint16_t& product, std::string& serial) override
    {
        return reports_.Identify(vendor, product, serial);
    }

private:
    UniqueFd fd_;
    HidrawReports reports_;
};

class ReportTransfer final : public MessageTransfer {
public:
    explicit ReportTransfer(std::shared_ptr<HidReports> reports) : reports_(std::move(reports)) {}
    int Send(std::string_view message) override
    {
        return reports_->Write(std::span(reinterpret_cast<const std::uint8_t*>(message.data()), message.size()));
    }

private:
    std::shared_ptr<HidReports> reports_;
};

std::string Hex4(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

} // namespace

std::vector<UsbDevice> FindUsbModules(UsbIdPair ids, const fs::path& root)
{
    std::vector<UsbDevice> found;
    std::error_code ec;
    for (fs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path dir = it->path();
        const std::string name = dir.filename().string();
        if (!IsPortPath(name))
            continue;
        if (Number(Attribute(dir / "idVendor"), 16) != ids.vendor ||
            Number(Attribute(dir / "idProduct"), 16) != ids.product)
            continue;
        found.push_back({dir, name, Attribute(dir / "serial"),
                         static_cast<int>(Number(Attribute(dir / "busnum"), 10).value_or(0)),
                         static_cast<int>(Number(Attribute(dir / "devnum"), 10).value_or(0))});
    }
    std::sort(found.begin(), found.end(), [](const UsbDevice& a, const UsbDevice& b) { return a.port < b.port; });
    return found;
}

std::optional<std::string> ChooseHidrawNode(const std::string& device, UsbIdPair ids, std::string& error,
                                            const fs::path& root)
{
    if (device.rfind("/dev/", 0) == 0)
        return device;
    const std::string port = device.rfind("auto:", 0) == 0 ? device.substr(5) : std::string();
    const std::string what =
        "no USB device " + Hex4(ids.vendor) + ":" + Hex4(ids.product) + (port.empty() ? std::string() : " at " + port);
    for (const UsbDevice& found : FindUsbModules(ids, root)) {
        if (!port.empty() && found.port != port)
            continue;
        if (auto node = HidrawNode(found))
            return node;
        error = found.port + " has no hidraw node (is usbhid bound to it?)";
        errno = ENODEV;
        return std::nullopt;
    }
    error = what + " is plugged in";
    errno = ENODEV;
    return std::nullopt;
}

std::optional<HidConnection> OpenHidrawModule(const std::string& node, UsbIdPair ids, std::string& error)
{
    // Not blocking: the reports' reads wait in poll() with a deadline.
    UniqueFd fd(open(node.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY));
    if (!fd) {
        error = node + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (fstat(fd.get(), &info) < 0 || !S_ISCHR(info.st_mode) || (info.st_uid != 0 && info.st_uid != geteuid())) {
        error = node + " is no hidraw device of root's or this user's";
        errno = ENODEV;
        return std::nullopt;
    }
    hidraw_devinfo found{};
    if (ioctl(fd.get(), HIDIOCGRAWINFO, &found) < 0) {
        error = node + " is no hidraw device (" + std::strerror(errno) + ")";
        errno = ENODEV;
        return std::nullopt;
    }
    if (static_cast<std::uint16_t>(found.vendor) != ids.vendor ||
        static_cast<std::uint16_t>(found.product) != ids.product) {
        error = node + " is " + Hex4(static_cast<unsigned>(found.vendor)) + ":" +
                Hex4(static_cast<unsigned>(found.product)) + ", not " + Hex4(ids.vendor) + ":" + Hex4(ids.product);
        errno = ENODEV;
        return std::nullopt;
    }
    UniqueFd watch(fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
    if (!watch) {
        error = node + ": " + std::strerror(errno);
        return std::nullopt;
    }
    return HidConnection{std::move(watch), std::make_shared<OwnedHidraw>(std::move(fd))};
}

DeviceLink LinkOverReports(HidConnection connection, HidInputReader& reader)
{
    // The link watches a descriptor of its own for the module's going; the reader another.
    const int watched = connection.watch ? fcntl(connection.watch.get(), F_DUPFD_CLOEXEC, 0) : -1;
    DeviceLink link(watched, std::make_unique<ReportTransfer>(connection.reports));
    reader.Attach(std::move(connection.watch), std::move(connection.reports));
    return link;
}

} // namespace pixtera::lcd
