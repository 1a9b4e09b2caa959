// SPDX-License-Identifier: MIT
// The USB character modules found by their ids and a query only they answer so, over models of
// the picoLCD 20x2's reports and the LCD2USB's control requests; --write adds their drivers once.

#include "detect_command.h"
#include "kernel_devices.h"
#include "lcd2usb_model.h"
#include "module_detection.h"
#include "module_place.h"
#include "picolcd_model.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace {

using namespace pixtera::detection;
using pixtera::lcd::test::Lcd2UsbModel;
using pixtera::lcd::test::PicoLcdModel;

// A machine with nothing but USB modules, by port; a port with no model refuses to open.
class UsbModuleDevices final : public DetectionDevices {
public:
    std::vector<std::string> DeviceNames() override { return {}; }
    std::vector<std::pair<std::string, std::string>> SerialLinks() override { return {}; }
    std::unique_ptr<I2cAdapter> OpenI2c(const std::string&, int& error) override
    {
        error = ENOENT;
        return nullptr;
    }
    std::unique_ptr<SerialPort> OpenSerial(const std::string&, int& error) override
    {
        error = ENOENT;
        return nullptr;
    }
    std::optional<std::string> OtherUse(const std::string&) override { return std::nullopt; }
    std::optional<std::string> LcddGreeting(const std::string&, int) override { return std::nullopt; }
    std::optional<KernelLcdFound> KernelLcd() override { return std::nullopt; }
    std::optional<std::string> I2cDriver(int, int) override { return std::nullopt; }

    std::vector<UsbModuleFound> UsbModules() override
    {
        return sysfs.empty() ? modules : KernelDevices({}, sysfs).UsbModules();
    }
    std::shared_ptr<pixtera::lcd::HidReports> OpenPicoLcd(const UsbModuleFound& found, int& error) override
    {
        const auto model = picos.find(found.device.port);
        if (model == picos.end()) {
            error = EACCES;
            return nullptr;
        }
        return model->second->Connect()->reports;
    }
    std::shared_ptr<pixtera::lcd::UsbControl> OpenLcd2Usb(const UsbModuleFound& found, int& error) override
    {
        const auto model = lcd2usbs.find(found.device.port);
        if (model == lcd2usbs.end()) {
            error = EACCES;
            return nullptr;
        }
        return model->second->Connect()->control;
    }

    void Add(UsbModuleKind kind, const std::string& port)
    {
        UsbModuleFound found;
        found.kind = kind;
        found.device.port = port;
        modules.push_back(found);
    }

    std::vector<UsbModuleFound> modules;
    std::filesystem::path sysfs; // when set, the modules are those its bus/usb/devices holds
    std::map<std::string, PicoLcdModel*> picos;
    std::map<std::string, Lcd2UsbModel*> lcd2usbs;
};

DetectionOptions UsbOnly()
{
    DetectionOptions options;
    options.serial = false;
    options.lcdd = false;
    return options;
}

TEST(UsbModuleDetection, FindsEachModuleThatAnswersAndWritesNothingElseToIt)
{
    PicoLcdModel pico;
    Lcd2UsbModel lcd2usb({20, 4});
    Lcd2UsbModel impostor({20, 4});
    impostor.BreakEcho();
    UsbModuleDevices devices;
    devices.Add(UsbModuleKind::PicoLcd, "1-1.2");
    devices.Add(UsbModuleKind::Lcd2Usb, "1-1.3");
    devices.Add(UsbModuleKind::Lcd2Usb, "1-1.4");
    devices.Add(UsbModuleKind::PicoLcd, "1-1.5"); // not this user's
    devices.picos["1-1.2"] = &pico;
    devices.lcd2usbs["1-1.3"] = &lcd2usb;
    devices.lcd2usbs["1-1.4"] = &impostor;

    const DetectionReport report = DetectModules(devices, UsbOnly());
    ASSERT_EQ(report.found.size(), 2u);
    EXPECT_EQ(report.found[0].progId, "Pixtera.PicoLCD");
    EXPECT_EQ(report.found[0].configuration, "device=auto:1-1.2;backlight=on");
    EXPECT_EQ(report.found[0].place, "picoLCD 20x2 at 1-1.2");
    EXPECT_EQ(report.found[1].progId, "Pixtera.LCD2USB");
    EXPECT_EQ(report.found[1].configuration, "device=auto:1-1.3;columns=20;rows=4;backlight=on");
    EXPECT_TRUE(report.found[1].sizeAssumed);
    EXPECT_EQ(pico.bytesWritten(), 1u) << "the version report alone";
    EXPECT_EQ(pico.versionsAsked(), 1);
    EXPECT_EQ(lcd2usb.controllerBytes(), 0u) << "nothing reached the display";
    EXPECT_EQ(impostor.controllerBytes(), 0u);
    EXPECT_EQ(impostor.requests(), 1) << "the echo alone";

    std::vector<PlaceTried> usb; // the other places tried are the I2C buses there are none of
    for (const PlaceTried& tried : report.tried)
        if (tried.place.find(" at 1-1.") != std::string::npos)
            usb.push_back(tried);
    ASSERT_EQ(usb.size(), 2u);
    EXPECT_EQ(usb[0].place, "LCD2USB at 1-1.4");
    EXPECT_NE(usb[0].reason.find("did not echo"), std::string::npos);
    EXPECT_EQ(usb[1].place, "picoLCD 20x2 at 1-1.5");
    EXPECT_NE(usb[1].reason.find("udev rule"), std::string::npos) << usb[1].reason;
}

TEST(UsbModuleDetection, WriteAddsEachModuleOnce)
{
    const auto file = pixtera::test::TestDirectory() / "usb-detect" / "pixtera2.xml";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << "<?xml version=\"1.0\"?>\n<PixteraConfiguration>\n<drivers/>\n</PixteraConfiguration>\n";
    PicoLcdModel pico;
    Lcd2UsbModel lcd2usb({40, 4});
    UsbModuleDevices devices;
    devices.Add(UsbModuleKind::PicoLcd, "3-2");
    devices.Add(UsbModuleKind::Lcd2Usb, "3-4");
    devices.picos["3-2"] = &pico;
    devices.lcd2usbs["3-4"] = &lcd2usb;

    const auto run = [&] {
        const std::vector<std::string> arguments{"--write", "--config", file.string(), "--no-serial"};
        std::ostringstream out, err;
        const int status = RunDetectCommand(arguments, devices, file, out, err);
        EXPECT_EQ(status, 0) << err.str();
        return out.str();
    };
    const std::string first = run();
    EXPECT_NE(first.find("Pixtera.PicoLCD device=auto:3-2"), std::string::npos) << first;
    EXPECT_NE(first.find("Pixtera.LCD2USB device=auto:3-4"), std::string::npos) << first;
    const std::string written = pixtera::test::FileText(file);
    EXPECT_NE(written.find(R"(clsid="Pixtera.PicoLCD" configuration="device=auto:3-2;backlight=on")"),
              std::string::npos)
        << written;
    EXPECT_EQ(run().find("added"), std::string::npos) << "a second run adds nothing";
    EXPECT_EQ(pixtera::test::FileText(file), written);
}

// A driver configured with device=auto drives the first module of its kind by port, as the
// drivers choose it, and a picoLCD's hidraw node is that module too: --write adds none of them
// again, and only the second picoLCD is new.
TEST(UsbModuleDetection, AutoAndANodeAreTheModuleTheyOpenWhenWriting)
{
    const auto root = pixtera::test::TestDirectory() / "usb-auto";
    const auto devices = root / "sysfs/bus/usb/devices";
    const auto module = [&](const std::string& port, const std::string& vendor, const std::string& product) {
        std::filesystem::create_directories(devices / port);
        std::ofstream(devices / port / "idVendor") << vendor << "\n";
        std::ofstream(devices / port / "idProduct") << product << "\n";
    };
    module("1-1.4", "04d8", "c002");
    std::filesystem::create_directories(devices / "1-1.4/1-1.4:1.0/0003:04D8:C002.0009/hidraw/hidraw7");
    module("1-1.2", "04d8", "c002");
    std::filesystem::create_directories(devices / "1-1.2/1-1.2:1.0/0003:04D8:C002.0005/hidraw/hidraw5");
    module("2-1", "0403", "c630");
    PicoLcdModel first;
    PicoLcdModel second;
    Lcd2UsbModel lcd2usb({20, 4});
    UsbModuleDevices machine;
    machine.sysfs = root / "sysfs";
    machine.picos["1-1.2"] = &first;
    machine.picos["1-1.4"] = &second;
    machine.lcd2usbs["2-1"] = &lcd2usb;

    const DetectionReport report = DetectModules(machine, UsbOnly());
    ASSERT_EQ(report.found.size(), 3u);
    const auto drives = [&](const std::string& progId, const std::string& configuration, std::size_t found) {
        return DrivesModule(progId, configuration, report.found[found]);
    };
    EXPECT_EQ(report.found[0].configuration, "device=auto:1-1.2;backlight=on");
    EXPECT_TRUE(drives("Pixtera.PicoLCD", "device=auto", 0));
    EXPECT_TRUE(drives("Pixtera.PicoLCD", "", 0)) << "auto is the default";
    EXPECT_TRUE(drives("Pixtera.PicoLCD", "device=/dev/hidraw5", 0));
    EXPECT_EQ(report.found[1].configuration, "device=auto:1-1.4;backlight=on");
    EXPECT_FALSE(drives("Pixtera.PicoLCD", "device=auto", 1)) << "auto opens the module at 1-1.2";
    EXPECT_FALSE(drives("Pixtera.PicoLCD", "device=/dev/hidraw5", 1));
    EXPECT_TRUE(drives("Pixtera.PicoLCD", "device=/dev/hidraw7", 1));
    EXPECT_TRUE(drives("Pixtera.LCD2USB", "device=auto;columns=16;rows=2", 2));
    EXPECT_FALSE(drives("Pixtera.PicoLCD", "device=auto", 2)) << "another driver's";

    const auto file = root / "pixtera2.xml";
    std::ofstream(file) << "<?xml version=\"1.0\"?>\n<PixteraConfiguration>\n<drivers>\n"
                           "<driver clsid=\"Pixtera.PicoLCD\" configuration=\"device=auto\"><display/></driver>\n"
                           "<driver clsid=\"Pixtera.LCD2USB\" configuration=\"columns=40\"><display/></driver>\n"
                           "</drivers>\n</PixteraConfiguration>\n";
    const std::vector<std::string> arguments{"--write", "--config", file.string(), "--no-serial"};
    std::ostringstream out, err;
    ASSERT_EQ(RunDetectCommand(arguments, machine, file, out, err), 0) << err.str();
    const std::string written = pixtera::test::FileText(file);
    EXPECT_EQ(written.find("auto:1-1.2"), std::string::npos) << written;
    EXPECT_EQ(written.find("auto:2-1"), std::string::npos) << written;
    EXPECT_NE(written.find(R"(configuration="device=auto:1-1.4;backlight=on")"), std::string::npos) << written;
}

} // namespace
