// SPDX-License-Identifier: MIT
#include "kernel_devices.h"

#include "device_link.h"
#include "lcdd_link.h"

#include <pixtera/platform/unique_fd.h>

#include <linux/i2c-dev.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace pixtera::detection {
namespace {

namespace fs = std::filesystem;

// opendir/readdir rather than std::filesystem, so that the listing of /dev is the C library's.
std::vector<std::string> Names(const char* directory)
{
    std::vector<std::string> names;
    DIR* listing = opendir(directory);
    if (!listing)
        return names;
    while (const dirent* entry = readdir(listing))
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    closedir(listing);
    return names;
}

class KernelI2cAdapter final : public I2cAdapter {
public:
    explicit KernelI2cAdapter(UniqueFd fd) : fd_(std::move(fd)) {}
    int Select(int address) override
    {
        return ioctl(fd_.get(), I2C_SLAVE, static_cast<unsigned long>(address)) < 0 ? errno : 0;
    }
    int Read(std::uint8_t& byte) override
    {
        const ssize_t got = read(fd_.get(), &byte, 1);
        return got == 1 ? 0 : got < 0 ? errno : EIO;
    }
    int ReadBlock(std::span<std::uint8_t> bytes) override
    {
        const ssize_t got = read(fd_.get(), bytes.data(), bytes.size());
        return got == static_cast<ssize_t>(bytes.size()) ? 0 : got < 0 ? errno : EIO;
    }
    int Write(std::string_view bytes) override
    {
        const ssize_t put = write(fd_.get(), bytes.data(), bytes.size());
        return put == static_cast<ssize_t>(bytes.size()) ? 0 : put < 0 ? errno : EIO;
    }

private:
    UniqueFd fd_;
};

class KernelSerialPort final : public SerialPort {
public:
    KernelSerialPort(UniqueFd fd, const termios& settings) : fd_(std::move(fd)), settings_(settings) {}
    // The port as it was found: another program (one this user cannot see) may be using it.
    ~KernelSerialPort() override
    {
        tcsetattr(fd_.get(), TCSANOW, &settings_);
        ioctl(fd_.get(), TIOCNXCL);
    }

    bool SetSpeed(int baud) override { return lcd::SetRawSpeed(fd_.get(), baud) && tcflush(fd_.get(), TCIOFLUSH) == 0; }
    bool Write(std::string_view bytes) override { return WriteAll(fd_.get(), bytes) && tcdrain(fd_.get()) == 0; }
    std::string Read(std::size_t enough, std::chrono::milliseconds limit) override
    {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (got.size() < enough) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            pollfd ready{fd_.get(), POLLIN, 0};
            if (poll(&ready, 1, static_cast<int>(std::max<long long>(0, left.count()))) <= 0)
                break;
            char buffer[64];
            const ssize_t n = read(fd_.get(), buffer, std::min(sizeof buffer, enough - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

private:
    UniqueFd fd_;
    termios settings_;
};

} // namespace

bool OpenedElsewhere(const std::string& device)
{
    std::error_code ec;
    const fs::path target = fs::canonical(device, ec);
    if (ec)
        return false;
    const std::string self = std::to_string(getpid());
    for (const auto& pid : Names("/proc")) {
        if (pid == self || pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string descriptors = "/proc/" + pid + "/fd";
        for (const auto& fd : Names(descriptors.c_str())) {
            char link[4096];
            const ssize_t length = readlink((descriptors + "/" + fd).c_str(), link, sizeof link - 1);
            if (length > 0 && target.native() == std::string_view(link, static_cast<std::size_t>(length)))
                return true;
        }
    }
    return false;
}

std::vector<std::string> KernelDevices::DeviceNames() { return Names("/dev"); }

std::vector<std::pair<std::string, std::string>> KernelDevices::SerialLinks()
{
    std::vector<std::pair<std::string, std::string>> links;
    const std::string directory = "/dev/serial/by-id";
    for (const auto& name : Names(directory.c_str())) {
        std::error_code ec;
        const fs::path target = fs::canonical(directory + "/" + name, ec);
        if (!ec)
            links.emplace_back(directory + "/" + name, target.filename().string());
    }
    std::sort(links.begin(), links.end());
    return links;
}

std::unique_ptr<I2cAdapter> KernelDevices::OpenI2c(const std::string& path, int& error)
{
    UniqueFd fd(open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (!fd) {
        error = errno;
        return nullptr;
    }
    return std::make_unique<KernelI2cAdapter>(std::move(fd));
}

std::vector<UsbAdapterFound> KernelDevices::UsbAdapters()
{
    std::vector<UsbAdapterFound> found;
    for (const auto kind : {lcd::AdapterKind::Ch341, lcd::AdapterKind::Mcp2221, lcd::AdapterKind::Cp2112})
        for (auto& device : lcd::FindAdapters(kind, sysfs_ / "bus/usb/devices")) {
            const auto bus = lcd::KernelI2cBus(device);
            found.push_back({kind, std::move(device), bus});
        }
    return found;
}

std::unique_ptr<I2cAdapter> KernelDevices::OpenUsbAdapter(const UsbAdapterFound& adapter, int& error)
{
    std::string route, reason;
    lcd::AdapterTransfer* transfer = nullptr;
    errno = 0;
    // At the usual 100 kHz: a module takes that on any wiring.
    auto link = lcd::OpenAdapterDevice(adapter.kind, adapter.device, 0x20, 100000, route, reason, &transfer);
    if (!link || !transfer) {
        error = errno != 0 ? errno : ENODEV; // a kernel driver took it meanwhile: probed as its bus
        return nullptr;
    }
    return std::make_unique<AdapterBus>(std::move(*link), *transfer);
}

std::unique_ptr<SerialPort> KernelDevices::OpenSerial(const std::string& path, int& error)
{
    // Not blocking in open (a port without carrier would wait there); EBUSY when another program
    // holds it exclusively.
    UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        error = errno;
        return nullptr;
    }
    termios settings{};
    if (tcgetattr(fd.get(), &settings) < 0) {
        error = ENOTTY;
        return nullptr;
    }
    // TIOCEXCL keeps out all but root: root asks.
    int exclusive = 0;
    if (ioctl(fd.get(), TIOCGEXCL, &exclusive) == 0 && exclusive) {
        error = EBUSY;
        return nullptr;
    }
    if (flock(fd.get(), LOCK_EX | LOCK_NB) < 0 || OpenedElsewhere(path)) {
        error = EBUSY;
        return nullptr;
    }
    ioctl(fd.get(), TIOCEXCL);
    return std::make_unique<KernelSerialPort>(std::move(fd), settings);
}

std::optional<std::string> KernelDevices::OtherUse(const std::string& path) { return OtherUseOf(udevDatabase_, path); }

std::optional<std::string> KernelDevices::LcddGreeting(const std::string& host, int port)
{
    lcdproc::LcddLink link;
    using std::chrono::milliseconds;
    if (!link.Connect(host, port, milliseconds(300)) || !link.Send("hello\n"))
        return std::nullopt;
    auto greeting = link.ReadLine(milliseconds(500));
    if (greeting)
        link.Send("bye\n");
    return greeting;
}

} // namespace pixtera::detection
