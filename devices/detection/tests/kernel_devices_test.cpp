// SPDX-License-Identifier: MIT
// The kernel side of serial detection, on pseudo-terminals: a port another program holds (open,
// locked or exclusive) is never taken, a free one is probed through real termios and left with
// the settings it had, what udev's database marks as a modem or GPS receiver is read, and devices
// that talk unasked or answer junk are no modules.

#include "kernel_devices.h"
#include "module_detection.h"
#include "place_probes.h"
#include "serial_far_end.h"
#include "serial_lcd_model.h"
#include "test_environment.h"

#include <pixtera/platform/unique_fd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace pixtera::detection;

struct Pty {
    Pty()
    {
        int m = -1, s = -1;
        char name[256];
        if (openpty(&m, &s, name, nullptr, nullptr) == 0) {
            master.reset(m);
            slave.reset(s);
            path = name;
        }
    }
    pixtera::UniqueFd master;
    pixtera::UniqueFd slave;
    std::string path;
};

TEST(KernelDevices, APortHeldByAnotherProgramIsNeverTaken)
{
    Pty locked;
    ASSERT_FALSE(locked.path.empty());
    pixtera::UniqueFd holder(open(locked.path.c_str(), O_RDWR | O_NOCTTY));
    ASSERT_EQ(flock(holder.get(), LOCK_EX | LOCK_NB), 0);
    KernelDevices devices;
    int error = 0;
    EXPECT_EQ(devices.OpenSerial(locked.path, error), nullptr);
    EXPECT_EQ(error, EBUSY) << "locked";

    Pty opened;
    locked.slave.reset();
    opened.slave.reset();
    const pid_t child = fork();
    if (child == 0) {
        // Holds the port open, as a terminal program would, until killed.
        [[maybe_unused]] const int fd = open(opened.path.c_str(), O_RDWR | O_NOCTTY);
        pause();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    EXPECT_TRUE(pixtera::test::Eventually([&] { return OpenedElsewhere(opened.path); }));
    error = 0;
    EXPECT_EQ(devices.OpenSerial(opened.path, error), nullptr);
    EXPECT_EQ(error, EBUSY) << "opened by another process";
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(OpenedElsewhere(opened.path));
    EXPECT_NE(devices.OpenSerial(opened.path, error), nullptr) << "free again";

    Pty exclusive;
    ASSERT_FALSE(exclusive.path.empty());
    ASSERT_EQ(ioctl(exclusive.slave.get(), TIOCEXCL), 0);
    error = 0;
    EXPECT_EQ(devices.OpenSerial(exclusive.path, error), nullptr) << "not even by root";
    EXPECT_EQ(error, EBUSY) << "exclusive";

    error = 0;
    EXPECT_EQ(devices.OpenSerial("/dev/null", error), nullptr);
    EXPECT_EQ(error, ENOTTY) << "not a serial port";
}

TEST(KernelDevices, AModuleOnAFreePortAnswersThroughTermios)
{
    Pty port;
    ASSERT_FALSE(port.path.empty());
    port.slave.reset();
    std::atomic<bool> done{false};
    std::thread module([&] {
        pixtera::lcd::test::SerialLcdModel model(20, 4);
        while (!done) {
            pollfd ready{port.master.get(), POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0)
                continue;
            char buffer[64];
            const ssize_t n = read(port.master.get(), buffer, sizeof buffer);
            if (n > 0)
                model.Feed(std::string_view(buffer, static_cast<std::size_t>(n)));
            const std::string replies = model.TakeReplies();
            if (!replies.empty())
                pixtera::WriteAll(port.master.get(), replies);
        }
    });
    KernelDevices devices;
    int error = 0;
    auto serial = devices.OpenSerial(port.path, error);
    ASSERT_NE(serial, nullptr) << std::strerror(error);
    ASSERT_TRUE(serial->SetSpeed(19200));
    ASSERT_TRUE(serial->Write("\xFE\x37"));
    EXPECT_EQ(serial->Read(1, std::chrono::seconds(5)), "\x09");
    EXPECT_EQ(serial->Read(1, std::chrono::milliseconds(50)), "") << "nothing more came";
    EXPECT_FALSE(serial->SetSpeed(1234));
    done = true;
    module.join();
}

using pixtera::detection::test::SerialFarEnd;

DetectionReport ProbePorts(DetectionDevices& devices, const std::string& port)
{
    DetectionOptions options;
    options.ports = {port};
    DetectionReport report;
    ProbeSerialPorts(devices, options, report);
    return report;
}

std::string Silent(std::string_view) { return {}; }

struct PortSettings {
    termios tty{};
    explicit PortSettings(int fd) { tcgetattr(fd, &tty); }
    bool operator==(const PortSettings& other) const
    {
        return tty.c_iflag == other.tty.c_iflag && tty.c_oflag == other.tty.c_oflag &&
               tty.c_cflag == other.tty.c_cflag && tty.c_lflag == other.tty.c_lflag &&
               std::memcmp(tty.c_cc, other.tty.c_cc, sizeof tty.c_cc) == 0 &&
               cfgetispeed(&tty) == cfgetispeed(&other.tty) && cfgetospeed(&tty) == cfgetospeed(&other.tty);
    }
};

// 4800 baud, 7 bits with even parity, lines as a terminal reads them: nothing detection sets.
void SetUnusualSettings(int fd)
{
    termios tty{};
    ASSERT_EQ(tcgetattr(fd, &tty), 0);
    cfsetspeed(&tty, B4800);
    tty.c_cflag = (tty.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB;
    tty.c_lflag |= ICANON;
    tty.c_cc[VMIN] = 3;
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tty), 0);
}

TEST(SerialDetection, AModuleIsFoundOnAPortTheUserNamesAndEveryPortKeepsItsSettings)
{
    pixtera::lcd::test::SerialLcdModel model(20, 4);
    SerialFarEnd module([&model](std::string_view received) {
        model.Feed(received);
        return model.TakeReplies();
    });
    SerialFarEnd silent(Silent);
    ASSERT_FALSE(module.path().empty());
    ASSERT_FALSE(silent.path().empty());
    SetUnusualSettings(module.slave());
    SetUnusualSettings(silent.slave());
    const PortSettings moduleBefore(module.slave()), silentBefore(silent.slave());

    KernelDevices devices;
    auto report = ProbePorts(devices, module.path());
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].place, module.path() + " at 19200 baud (module type 0x09, version 0x57)");
    EXPECT_TRUE(model.unknownCommands().empty());
    EXPECT_TRUE(PortSettings(module.slave()) == moduleBefore) << "the settings it had";

    report = ProbePorts(devices, silent.path());
    EXPECT_TRUE(report.found.empty());
    ASSERT_EQ(report.tried.size(), 1u);
    EXPECT_EQ(report.tried[0].reason, "no answer (a module without read-back still works: configure it by hand)");
    EXPECT_TRUE(PortSettings(silent.slave()) == silentBefore) << "a probe that finds nothing changes nothing";
}

TEST(SerialDetection, APortThatTalksUnaskedIsNoModuleAndIsWrittenNothing)
{
    SerialFarEnd gps(Silent, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    ASSERT_FALSE(gps.path().empty());
    KernelDevices devices;
    const auto report = ProbePorts(devices, gps.path());
    EXPECT_TRUE(report.found.empty()) << report.found[0].place;
    ASSERT_EQ(report.tried.size(), 1u);
    EXPECT_EQ(report.tried[0].reason,
              "sends data unasked (a GPS receiver or a modem?): not a module; nothing was written to it");
    EXPECT_EQ(gps.received(), "");
}

TEST(SerialDetection, OneByteAnswersThatDifferWhenAskedAgainAreNoModule)
{
    std::size_t pending = 0;
    char next = '0';
    SerialFarEnd junk([&](std::string_view received) {
        std::string replies;
        for (pending += received.size(); pending >= 2; pending -= 2)
            replies.push_back(next++); // one byte for each two, as a module answers, but never the same
        return replies;
    });
    ASSERT_FALSE(junk.path().empty());
    KernelDevices devices;
    const auto report = ProbePorts(devices, junk.path());
    EXPECT_TRUE(report.found.empty()) << report.found[0].place;
    ASSERT_EQ(report.tried.size(), 1u);
    EXPECT_EQ(report.tried[0].reason, "answers, but not as a module does (one byte, the same twice): not a module");
    EXPECT_EQ(junk.received(), std::string("\xFE\x37\xFE\x36\xFE\x37\xFE\x36", 8))
        << "asked twice at one speed, then left alone";
}

TEST(KernelDevices, WhatUdevMarksAsAModemOrGpsReceiverIsRead)
{
    Pty port;
    ASSERT_FALSE(port.path.empty());
    struct stat info {};
    ASSERT_EQ(stat(port.path.c_str(), &info), 0);
    const auto database = pixtera::test::TestDirectory() / "udev-data";
    std::filesystem::create_directories(database);
    const auto record =
        database / ("c" + std::to_string(major(info.st_rdev)) + ":" + std::to_string(minor(info.st_rdev)));
    const auto link = pixtera::test::TestDirectory() / "usb-u-blox_GNSS_receiver-if00";
    std::filesystem::remove(record);
    std::filesystem::remove(link);
    std::filesystem::create_symlink(port.path, link);
    KernelDevices devices(database);

    EXPECT_EQ(devices.OtherUse(port.path), std::nullopt) << "no record";
    const std::pair<std::string, std::optional<std::string>> records[] = {
        {"S:serial/by-id/usb-Quectel-if02\nE:ID_MM_CANDIDATE=1\nE:ID_MM_PORT_TYPE_AT_PRIMARY=1\nG:systemd\n",
         "a modem (ID_MM_PORT_TYPE_AT_PRIMARY=1)"},
        {"E:ID_MM_CANDIDATE=1\nE:ID_MM_DEVICE_PROCESS=1\n", "a modem (ID_MM_DEVICE_PROCESS=1)"},
        {"E:ID_MM_PORT_TYPE_AT_PRIMARY=1\nE:ID_MM_PORT_TYPE_GPS=1\n", "a GPS receiver (ID_MM_PORT_TYPE_GPS=1)"},
        {"E:ID_GNSS=1\n", "a GPS receiver (ID_GNSS=1)"},
        {"E:ID_GPS=1", "a GPS receiver (ID_GPS=1)"},
        {"E:TAGS=:systemd:\nE:SYSTEMD_WANTS=gpsdctl@ttyACM0.service\n",
         "a GPS receiver (SYSTEMD_WANTS=gpsdctl@ttyACM0.service)"},
        {"E:ID_MM_CANDIDATE=1\nE:ID_VENDOR=FTDI\nE:ID_MM_PORT_TYPE_AT_PRIMARY=0\n", std::nullopt},
        {"E:ID_GNSS=0\nS:gps0\nE:ID_GNSSX=1\n", std::nullopt},
    };
    for (const auto& [text, use] : records) {
        std::ofstream(record) << text;
        EXPECT_EQ(devices.OtherUse(port.path), use) << text;
        EXPECT_EQ(devices.OtherUse(link.string()), use) << "through a link: " << text;
    }
    EXPECT_EQ(KernelDevices(database / "none").OtherUse(port.path), std::nullopt);
}

// A sysfs tree of our own: `path` under it holding `text`.
void WriteSysfs(const std::filesystem::path& sysfs, const std::string& path, const std::string& text)
{
    std::filesystem::create_directories((sysfs / path).parent_path());
    std::ofstream(sysfs / path, std::ios::binary) << text;
}

void Link(const std::filesystem::path& target, const std::filesystem::path& link)
{
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink(target, link);
}

TEST(KernelDevices, TheKernelsLcdIsKnownByItsDeviceNumberWithItsDriverAndSizeFromSysfs)
{
    const auto sysfs = pixtera::test::TestDirectory() / "sys-lcd";
    // /dev/null (1:3) stands in for /dev/lcd (10:156): only the number sysfs lists counts.
    WriteSysfs(sysfs, "class/misc/lcd/dev", "1:3\n");
    KernelDevices devices(kUdevDatabase, sysfs, "/dev/null");
    auto lcd = devices.KernelLcd();
    ASSERT_TRUE(lcd);
    EXPECT_EQ(lcd->device, "/dev/null");
    EXPECT_EQ(lcd->driver, "") << "no auxdisplay driver in sysfs";
    EXPECT_EQ(lcd->columns, 0);

    WriteSysfs(sysfs, "devices/platform/auxdisplay/of_node/display-width-chars", std::string("\0\0\0\x14", 4));
    WriteSysfs(sysfs, "devices/platform/auxdisplay/of_node/display-height-chars", std::string("\0\0\0\x04", 4));
    WriteSysfs(sysfs, "bus/platform/drivers/hd44780/uevent", "");
    Link("../../../../devices/platform/auxdisplay", sysfs / "bus/platform/drivers/hd44780/auxdisplay");
    lcd = devices.KernelLcd();
    ASSERT_TRUE(lcd);
    EXPECT_EQ(lcd->driver, "hd44780");
    EXPECT_EQ(lcd->columns, 20);
    EXPECT_EQ(lcd->rows, 4);

    WriteSysfs(sysfs, "devices/platform/auxdisplay/of_node/display-height-chars", std::string("\0\0\1\x04", 4));
    lcd = devices.KernelLcd();
    ASSERT_TRUE(lcd);
    EXPECT_EQ(lcd->columns, 0) << "a size out of range is no size";

    // Another number, a file, a link to the device: not the kernel's LCD.
    const auto regular = pixtera::test::TestDirectory() / "not-lcd";
    std::ofstream(regular) << "";
    EXPECT_FALSE(KernelDevices(kUdevDatabase, sysfs, regular.string()).KernelLcd());
    const auto link = pixtera::test::TestDirectory() / "lcd-link";
    Link("/dev/null", link);
    EXPECT_FALSE(KernelDevices(kUdevDatabase, sysfs, link.string()).KernelLcd());
    WriteSysfs(sysfs, "class/misc/lcd/dev", "10:156\n");
    EXPECT_FALSE(devices.KernelLcd());
    EXPECT_FALSE(KernelDevices(kUdevDatabase, pixtera::test::TestDirectory() / "no-sys", "/dev/null").KernelLcd());
}

TEST(KernelDevices, AnI2cDeviceAKernelDriverHasBoundIsNamedWithItsDriver)
{
    const auto sysfs = pixtera::test::TestDirectory() / "sys-i2c";
    WriteSysfs(sysfs, "bus/i2c/drivers/pcf857x/uevent", "");
    Link("../../../../bus/i2c/drivers/pcf857x", sysfs / "bus/i2c/devices/1-0027/driver");
    WriteSysfs(sysfs, "bus/i2c/devices/1-003f/name", "unbound\n");
    KernelDevices devices(kUdevDatabase, sysfs);
    EXPECT_EQ(devices.I2cDriver(1, 0x27), "pcf857x");
    EXPECT_EQ(devices.I2cDriver(1, 0x3f), std::nullopt) << "a client no driver has";
    EXPECT_EQ(devices.I2cDriver(2, 0x27), std::nullopt);
}

TEST(KernelDevices, UsbAdaptersAreFoundInSysfsAndOneAKernelDriverMadeABusIsLeftToThatBus)
{
    const auto sysfs = pixtera::test::TestDirectory() / "usb-sysfs";
    const auto devices = sysfs / "bus/usb/devices";
    const auto adapter = [&](const std::string& port, const std::string& vendor, const std::string& product) {
        std::filesystem::create_directories(devices / port);
        std::ofstream(devices / port / "idVendor") << vendor << "\n";
        std::ofstream(devices / port / "idProduct") << product << "\n";
    };
    adapter("3-1", "04d8", "00dd");
    std::filesystem::create_directories(devices / "3-1/3-1:1.2/0003:04D8:00DD.0007/i2c-4");
    adapter("3-2", "10c4", "ea90");
    std::filesystem::create_directories(devices / "3-2/3-2:1.0/0003:10C4:EA90.0008/hidraw/hidraw999");
    adapter("3-3", "046d", "c52b"); // no adapter
    KernelDevices kernel({}, sysfs);

    const auto found = kernel.UsbAdapters();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].kind, pixtera::lcd::AdapterKind::Mcp2221);
    EXPECT_EQ(found[0].kernelBus, 4);
    EXPECT_EQ(found[1].kind, pixtera::lcd::AdapterKind::Cp2112);
    EXPECT_EQ(found[1].kernelBus, std::nullopt);

    DetectionOptions options;
    options.sleep = [](std::chrono::microseconds) {};
    DetectionReport report;
    ProbeUsbAdapters(kernel, options, report);
    EXPECT_TRUE(report.found.empty());
    ASSERT_EQ(report.tried.size(), 2u);
    EXPECT_EQ(report.tried[0].place, "MCP2221 at 3-1");
    EXPECT_EQ(report.tried[0].reason, "a kernel driver made it /dev/i2c-4: probed there");
    EXPECT_EQ(report.tried[1].place, "CP2112 at 3-2");
    EXPECT_EQ(report.tried[1].reason, std::strerror(ENOENT)) << "its hidraw node is not in /dev";
}

} // namespace
