// SPDX-License-Identifier: MIT
// CrystalFontz packet modules found by their USB ids and a ping, never sent the 0xFE probes; and
// the USB id of a serial port read from sysfs.

#include "crystalfontz_detection.h"
#include "crystalfontz_packet.h"
#include "model_devices.h"
#include "module_detection.h"
#include "serial_usb_id.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera::detection;
using namespace pixtera::detection::test;
namespace fs = std::filesystem;
namespace lcd = pixtera::lcd;

// A packet module behind a port: it echoes a ping at its speed; what it was sent is kept.
class PingingPort final : public SerialPort {
public:
    PingingPort(int speed, std::string& written, std::string before = {})
        : speed_(speed), written_(written), before_(std::move(before))
    {
    }
    bool SetSpeed(int baud) override
    {
        current_ = baud;
        return true;
    }
    bool Write(std::string_view bytes) override
    {
        written_ += bytes;
        if (current_ != speed_)
            return true; // at another speed the module reads noise
        for (const lcd::Packet& packet : reader_.Feed(bytes))
            if (packet.kind == lcd::PacketKind::Command && packet.command == lcd::cfa::kPing)
                replies_ += before_ + lcd::EncodePacket({lcd::PacketKind::Response, lcd::cfa::kPing, packet.data});
        return true;
    }
    std::string Read(std::size_t, std::chrono::milliseconds) override { return std::exchange(replies_, {}); }

private:
    int speed_;
    std::string& written_;
    std::string before_;
    int current_ = 0;
    lcd::PacketReader reader_;
    std::string replies_;
};

DetectionOptions SerialOnly()
{
    DetectionOptions options;
    options.sleep = [](std::chrono::microseconds) {};
    options.lcdd = false;
    return options;
}

TEST(CrystalfontzDetection, AModuleIsKnownByItsUsbIdAndItsEchoAndIsSentNoZeroXFe)
{
    ModelDevices devices;
    std::string written635, written633;
    devices.AddPort("ttyUSB0");
    devices.AddPort("ttyUSB1");
    devices.links = {{"/dev/serial/by-id/usb-Crystalfontz_CFA635-if00-port0", "ttyUSB0"}};
    devices.serialUsbIds["/dev/serial/by-id/usb-Crystalfontz_CFA635-if00-port0"] = {0x0403, 0xFC0D};
    devices.serialUsbIds["/dev/ttyUSB1"] = {0x0403, 0xFC0B};
    // The 635 at its own speed, with a key report before its answer; the 633 set to 115200.
    const std::string keyReport = lcd::EncodePacket({lcd::PacketKind::Report, lcd::cfa::kKeyReport, "\x01"});
    devices.serialOpeners["/dev/ttyUSB0"] = [&] {
        return std::make_unique<PingingPort>(115200, written635, keyReport);
    };
    devices.serialOpeners["/dev/ttyUSB1"] = [&] { return std::make_unique<PingingPort>(115200, written633); };

    const auto report = DetectModules(devices, SerialOnly());
    ASSERT_EQ(report.found.size(), 2u);
    EXPECT_EQ(report.found[0].progId, "Pixtera.CrystalFontz");
    EXPECT_EQ(report.found[0].configuration, "device=/dev/serial/by-id/usb-Crystalfontz_CFA635-if00-port0;model=635");
    EXPECT_EQ(report.found[0].place,
              "/dev/serial/by-id/usb-Crystalfontz_CFA635-if00-port0 (CFA635, answering at 115200 baud)");
    EXPECT_FALSE(report.found[0].sizeAssumed) << "the model gives the size";
    EXPECT_EQ(report.found[1].configuration, "device=/dev/ttyUSB1;model=633;speed=115200");
    EXPECT_EQ(written635.find('\xFE'), std::string::npos);
    EXPECT_EQ(written633.find('\xFE'), std::string::npos) << "not even at the speed it does not answer";
}

TEST(CrystalfontzDetection, ASilentPortWithTheUsbIdIsNamedAndAnOtherFtdiPortGetsTheUsualProbe)
{
    ModelDevices devices;
    std::string written;
    lcd::test::SerialLcdModel module(20, 4);
    devices.AddPort("ttyUSB0");
    devices.AddPort("ttyUSB1", &module, 19200);
    devices.serialUsbIds["/dev/ttyUSB0"] = {0x0403, 0xFC0C};
    devices.serialUsbIds["/dev/ttyUSB1"] = {0x0403, 0x6001}; // an FT232R of any use
    devices.serialOpeners["/dev/ttyUSB0"] = [&] { return std::make_unique<PingingPort>(0, written); };

    const auto report = DetectModules(devices, SerialOnly());
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].progId, "Pixtera.SerialLCD");
    bool named = false;
    for (const auto& tried : report.tried)
        named = named || (tried.place == "/dev/ttyUSB0" &&
                          tried.reason == "a CrystalFontz module's USB id, but no answer to a ping at 19200 or "
                                          "115200 baud");
    EXPECT_TRUE(named);
    EXPECT_EQ(written.find('\xFE'), std::string::npos);
}

TEST(SerialUsbId, IsReadFromTheUsbDeviceAboveTheTtysInterface)
{
    const fs::path sysfs = pixtera::test::TestDirectory() / "sys";
    const fs::path usb = sysfs / "devices/pci0000:00/usb1/1-2";
    fs::create_directories(usb / "1-2:1.0/ttyUSB3/tty/ttyUSB3");
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "idProduct") << "fc0d\n";
    fs::create_directories(sysfs / "class/tty/ttyUSB3");
    fs::create_directory_symlink(usb / "1-2:1.0/ttyUSB3", sysfs / "class/tty/ttyUSB3/device");
    fs::create_directories(sysfs / "class/tty/ttyS0/device");

    EXPECT_EQ(SerialUsbIdOf(sysfs, "/dev/ttyUSB3"), (UsbId{0x0403, 0xFC0D}));
    EXPECT_EQ(SerialUsbIdOf(sysfs, "/dev/ttyS0"), std::nullopt) << "no USB device above it";
    EXPECT_EQ(SerialUsbIdOf(sysfs, "/dev/ttyUSB9"), std::nullopt);
    EXPECT_EQ(CrystalfontzModelOf({0x0403, 0xFC0D}), lcd::CrystalfontzModel::Cfa635);
    EXPECT_EQ(CrystalfontzModelOf({0x0403, 0x6001}), std::nullopt);
    EXPECT_EQ(CrystalfontzModelOf({0x1234, 0xFC0D}), std::nullopt);
}

} // namespace
