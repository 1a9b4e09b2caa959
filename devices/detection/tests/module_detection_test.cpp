// SPDX-License-Identifier: MIT
// Detection against models: backpacks of either pin map with RW wired or not, buses where nothing
// answers, serial modules answering at one speed only, ports in use, and LCDd's greeting.

#include "configuration_additions.h"
#include "kernel_devices.h"
#include "model_devices.h"
#include "module_detection.h"
#include "module_place.h"
#include "plugin_place.h"

#include "ch341_i2c.h"
#include "mcp2221_i2c.h"
#include "usb_adapter_models.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <pugixml.hpp>

namespace {

using namespace pixtera::detection;
using namespace pixtera::detection::test;
using pixtera::lcd::Pcf8574Pins;

DetectionOptions Quick()
{
    DetectionOptions options;
    options.sleep = [](std::chrono::microseconds) {};
    return options;
}

std::vector<std::string> Lines(const DetectionReport& report)
{
    std::vector<std::string> lines;
    for (const auto& module : report.found)
        lines.push_back(module.progId + " " + module.configuration);
    return lines;
}

std::string ReasonFor(const DetectionReport& report, const std::string& place)
{
    for (const auto& tried : report.tried)
        if (tried.place == place)
            return tried.reason;
    return "(not tried)";
}

TEST(ModuleDetection, EachPinMapIsFoundAndTheModuleLeftBlankForTheNextRun)
{
    Hd44780Model wiredA(Pcf8574Pins::A());
    Hd44780Model wiredB(Pcf8574Pins::B());
    ModelDevices devices;
    devices.AddBus(1, {{0x27, &wiredA}});
    devices.AddBus(3, {{0x3F, &wiredB}});
    devices.names.push_back("tty0");

    for (int run = 0; run < 2; ++run) {
        const auto report = DetectModules(devices, Quick());
        EXPECT_EQ(Lines(report), (std::vector<std::string>{
                                     "Pixtera.HD44780I2C bus=1;address=0x27;pinmap=a;columns=20;rows=4;backlight=on",
                                     "Pixtera.HD44780I2C bus=3;address=0x3f;pinmap=b;columns=20;rows=4;backlight=on"}))
            << "run " << run;
        EXPECT_EQ(report.found[0].place, "/dev/i2c-1 address 0x27");
        EXPECT_TRUE(report.found[0].note.empty());
        for (Hd44780Model* module : {&wiredA, &wiredB}) {
            EXPECT_TRUE(module->fourBit() && module->displayOn());
            EXPECT_EQ(module->Visible(20, 4), std::string(80, ' ')) << "initialised and blank";
        }
    }
}

TEST(ModuleDetection, OnlyTheExpanderAddressesAreTouchedAndTheSizeIsTheOneAskedFor)
{
    ModelDevices devices;
    devices.AddBus(0, {});
    DetectModules(devices, Quick());
    std::set<int> expected;
    for (int address = 0; address < 0x80; ++address)
        if ((address >= 0x20 && address <= 0x27) || (address >= 0x38 && address <= 0x3F))
            expected.insert(address);
    EXPECT_EQ(devices.touched, expected);

    Hd44780Model module(Pcf8574Pins::A());
    devices.AddBus(2, {{0x20, &module}});
    DetectionOptions options = Quick();
    options.buses = {2, 7};
    options.size = {16, 2};
    const auto report = DetectModules(devices, options);
    EXPECT_EQ(Lines(report), std::vector<std::string>{
                                 "Pixtera.HD44780I2C bus=2;address=0x20;pinmap=a;columns=16;rows=2;backlight=on"});
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-0"), "(not tried)") << "--bus limits the buses";
    EXPECT_NE(ReasonFor(report, "/dev/i2c-7").find("sudo modprobe i2c-dev"), std::string::npos);
}

TEST(ModuleDetection, ABackpackWithoutRwIsReportedWithTheMapToTry)
{
    Hd44780Model unwired(Pcf8574Pins::B(), false);
    ModelDevices devices;
    devices.AddBus(1, {{0x3F, &unwired}});
    const auto report = DetectModules(devices, Quick());
    ASSERT_EQ(report.found.size(), 1u);
    EXPECT_EQ(report.found[0].note, "pin map unknown, try pinmap=a first");
    EXPECT_NE(report.found[0].configuration.find("pinmap=a"), std::string::npos);
}

TEST(ModuleDetection, NothingFoundNamesEachPlaceWithItsReason)
{
    ModelDevices none;
    none.greeting.reset();
    auto report = DetectModules(none, Quick());
    EXPECT_TRUE(report.found.empty());
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-*"),
              "no I2C bus: load i2c-dev: `sudo modprobe i2c-dev`, and enable I2C on a Raspberry Pi");
    EXPECT_EQ(ReasonFor(report, "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*"),
              "no serial port: a USB serial module appears here when it is plugged in (one on another port: "
              "configure it by hand)");
    EXPECT_EQ(ReasonFor(report, "LCDd at 127.0.0.1:13666"), "not running");
    EXPECT_EQ(report.tried.size(), 3u);
    auto noSerial = Quick();
    noSerial.serial = false;
    EXPECT_EQ(ReasonFor(DetectModules(none, noSerial), "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*"),
              "(not tried)")
        << "not looked at";

    ModelDevices devices;
    devices.AddBus(1, {});
    devices.AddBus(2, {});
    devices.refusals["/dev/i2c-2"] = EACCES;
    devices.AddPort("ttyUSB0");
    devices.AddPort("ttyACM0");
    devices.busy.insert("/dev/ttyACM0");
    devices.greeting = "huh";
    report = DetectModules(devices, Quick());
    EXPECT_TRUE(report.found.empty());
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-1"), "no device answered at 0x20-0x27 or 0x38-0x3f");
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-2"), "permission denied: add yourself to the group that owns /dev/i2c-2: "
                                               "`sudo usermod -aG i2c $USER`, then log in again");
    EXPECT_EQ(ReasonFor(report, "/dev/ttyUSB0"),
              "no answer (a module without read-back still works: configure it by hand)");
    EXPECT_EQ(ReasonFor(report, "/dev/ttyACM0"), "in use by another program; not probed");
    EXPECT_FALSE(devices.opened.contains("/dev/ttyACM0"));
    EXPECT_NE(ReasonFor(report, "LCDd at 127.0.0.1:13666").find("huh"), std::string::npos);
    EXPECT_EQ(ReasonFor(report, "/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*"), "(not tried)")
        << "the ports are named one by one";
}

TEST(ModuleDetection, ASerialModuleIsFoundAtItsOwnSpeedUnderItsStableName)
{
    SerialLcdModel module(20, 4);
    ModelDevices devices;
    devices.AddPort("ttyUSB0", &module, 57600);
    devices.AddPort("ttyUSB1");
    devices.links = {{"/dev/serial/by-id/usb-FTDI_LCD-if00-port0", "ttyUSB0"}};
    std::vector<std::string> progress;
    DetectionOptions options = Quick();
    options.lcdd = false;
    options.progress = [&](const std::string& place) { progress.push_back(place); };

    const auto report = DetectModules(devices, options);
    EXPECT_EQ(Lines(report),
              std::vector<std::string>{"Pixtera.SerialLCD device=/dev/serial/by-id/usb-FTDI_LCD-if00-port0;"
                                       "speed=57600;columns=20;rows=4;backlight=on"});
    EXPECT_EQ(report.found[0].place,
              "/dev/serial/by-id/usb-FTDI_LCD-if00-port0 at 57600 baud (module type 0x09, version 0x57)");
    EXPECT_TRUE(module.unknownCommands().empty());
    EXPECT_EQ(module.screen(), std::string(80, '?')) << "asking shows nothing";
    EXPECT_EQ(progress, (std::vector<std::string>{"/dev/serial/by-id/usb-FTDI_LCD-if00-port0", "/dev/ttyUSB1"}))
        << "the link's target is not probed a second time";
}

TEST(ModuleDetection, PortsUdevMarksAsAModemOrGpsReceiverAreProbedOnlyWhenNamed)
{
    SerialLcdModel onGpsPort(20, 4), onUsb(20, 4);
    ModelDevices devices;
    devices.AddPort("ttyACM0", &onGpsPort, 19200);
    devices.AddPort("ttyUSB0", &onUsb, 9600);
    devices.marks["/dev/ttyACM0"] = "a GPS receiver (ID_GNSS=1)";
    DetectionOptions options = Quick();
    options.lcdd = false;

    auto report = DetectModules(devices, options);
    EXPECT_EQ(Lines(report), std::vector<std::string>{
                                 "Pixtera.SerialLCD device=/dev/ttyUSB0;speed=9600;columns=20;rows=4;backlight=on"});
    EXPECT_EQ(
        ReasonFor(report, "/dev/ttyACM0"),
        "udev marks it as a GPS receiver (ID_GNSS=1): not probed (`pixtera-detect --port /dev/ttyACM0` probes it)");
    EXPECT_FALSE(devices.opened.contains("/dev/ttyACM0")) << "not even opened";

    options.ports = {"/dev/ttyACM0"};
    report = DetectModules(devices, options);
    EXPECT_EQ(Lines(report), std::vector<std::string>{
                                 "Pixtera.SerialLCD device=/dev/ttyACM0;speed=19200;columns=20;rows=4;backlight=on"});
    EXPECT_EQ(ReasonFor(report, "/dev/ttyUSB0"), "(not tried)") << "only the ports named";
}

TEST(ModuleDetection, LcddIsReportedWithTheSizeItsGreetingGives)
{
    ModelDevices devices;
    devices.greeting = "connect LCDproc 0.5.9 protocol 0.4 lcd wid 16 hgt 2 cellwid 5 cellhgt 8";
    const auto report = DetectModules(devices, Quick());
    EXPECT_EQ(Lines(report),
              std::vector<std::string>{"Pixtera.LCDprocDisplay host=127.0.0.1;port=13666;columns=16;rows=2"});
}

TEST(ModuleDetection, TheKernelsDisplayIsFoundAsItsDeviceAndItsExpanderIsNeverProbed)
{
    Hd44780Model owned(Pcf8574Pins::A()); // behind /dev/lcd, the kernel's pcf857x driver drives it
    Hd44780Model free(Pcf8574Pins::A());
    Hd44780Model ownedToo(Pcf8574Pins::A());
    ModelDevices devices;
    devices.AddBus(1, {{0x27, &owned}, {0x3f, &free}});
    devices.AddBus(2, {{0x27, &ownedToo}});
    devices.kernelLcd = KernelLcdFound{"/dev/lcd", "hd44780", 16, 2};
    devices.i2cDrivers[{1, 0x27}] = "pcf857x";
    devices.i2cDrivers[{2, 0x27}] = "pcf857x";
    auto report = DetectModules(devices, Quick());
    EXPECT_EQ(Lines(report), (std::vector<std::string>{
                                 "Pixtera.KernelLCD device=/dev/lcd;columns=16;rows=2;backlight=on",
                                 "Pixtera.HD44780I2C bus=1;address=0x3f;pinmap=a;columns=20;rows=4;backlight=on"}));
    ASSERT_FALSE(report.found.empty());
    EXPECT_EQ(report.found[0].place, "/dev/lcd, the kernel's hd44780 driver (16x2)");
    EXPECT_FALSE(report.found[0].sizeAssumed) << "the device tree gave it";
    EXPECT_FALSE(devices.touched.contains(0x27)) << "no I2C probe of what a kernel driver has bound";
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-1 address 0x27"), "the kernel's pcf857x driver has it: not probed");
    EXPECT_EQ(ReasonFor(report, "/dev/i2c-2"), "(not tried)") << "something is there, though not probed";

    // Without a size in the device tree: the size asked for, and said to be assumed.
    devices.kernelLcd = KernelLcdFound{"/dev/lcd", "", 0, 0};
    auto options = Quick();
    options.size = {40, 2};
    report = DetectModules(devices, options);
    ASSERT_FALSE(report.found.empty());
    EXPECT_EQ(Lines(report)[0], "Pixtera.KernelLCD device=/dev/lcd;columns=40;rows=2;backlight=on");
    EXPECT_EQ(report.found[0].place, "/dev/lcd, the kernel's charlcd driver");
    EXPECT_TRUE(report.found[0].sizeAssumed);

    // A /dev/lcd that is not the kernel's (a serial module's udev name) is said so, and left alone.
    ModelDevices other;
    other.names.push_back("lcd");
    report = DetectModules(other, Quick());
    EXPECT_EQ(ReasonFor(report, "/dev/lcd"), "not the kernel's LCD device (a link or another device): not used");
    EXPECT_EQ(ReasonFor(DetectModules(devices, Quick()), "/dev/lcd"), "(not tried)");
}

} // namespace

namespace {

TEST(ModuleDetection, UsbAdaptersAreProbedThroughTheirChipsAndNamedBySerialOrPort)
{
    using namespace pixtera::lcd;
    Hd44780Model behindCh341(Pcf8574Pins::A());
    Hd44780Model behindMcp(Pcf8574Pins::B());
    pixtera::lcd::test::Ch341Model ch341(behindCh341, 0x27);
    pixtera::lcd::test::Mcp2221Model mcp(behindMcp, 0x3f);
    ModelDevices devices;
    devices.usbAdapters = {{AdapterKind::Ch341, {"/sys/bus/usb/devices/1-1.4", "1-1.4", "", 1, 5}, {}},
                           {AdapterKind::Mcp2221, {"/sys/bus/usb/devices/1-2", "1-2", "0001234", 1, 6}, {}},
                           {AdapterKind::Cp2112, {"/sys/bus/usb/devices/1-3", "1-3", "AB12", 1, 7}, {}},
                           {AdapterKind::Mcp2221, {"/sys/bus/usb/devices/2-1", "2-1", "0009999", 2, 2}, 5}};
    devices.usbOpeners["1-1.4"] = [&] {
        auto transfer = std::make_unique<Ch341I2c>(ch341.Connect(), 0x20);
        auto& chip = *transfer;
        return std::unique_ptr<I2cAdapter>(std::make_unique<AdapterBus>(DeviceLink(-1, std::move(transfer)), chip));
    };
    devices.usbOpeners["1-2"] = [&] {
        auto transfer = std::make_unique<Mcp2221I2c>(mcp.Connect(), 0x20);
        auto& chip = *transfer;
        return std::unique_ptr<I2cAdapter>(std::make_unique<AdapterBus>(DeviceLink(-1, std::move(transfer)), chip));
    };

    const auto report = DetectModules(devices, Quick());
    EXPECT_EQ(Lines(report),
              (std::vector<std::string>{
                  "Pixtera.HD44780I2C adapter=ch341:1-1.4;address=0x27;pinmap=a;columns=20;rows=4;backlight=on",
                  "Pixtera.HD44780I2C adapter=mcp2221:0001234;address=0x3f;pinmap=b;columns=20;rows=4;backlight=on"}));
    ASSERT_EQ(report.found.size(), 2u);
    EXPECT_EQ(report.found[0].place, "CH341A at 1-1.4 address 0x27");
    for (Hd44780Model* module : {&behindCh341, &behindMcp})
        EXPECT_EQ(module->Visible(20, 4), std::string(80, ' ')) << "initialised and blank";
    EXPECT_EQ(ch341.faults(), "");
    EXPECT_EQ(mcp.faults(), "");
    EXPECT_NE(ReasonFor(report, "CP2112 at 1-3").find("permission denied"), std::string::npos);
    EXPECT_EQ(ReasonFor(report, "MCP2221 at 2-1"), "a kernel driver made it /dev/i2c-5: probed there");

    auto onlyBus = Quick();
    onlyBus.buses = {1};
    devices.AddBus(1, {});
    EXPECT_TRUE(DetectModules(devices, onlyBus).found.empty()) << "--bus leaves the USB adapters alone";
}

// Drivers as pixtera2.xml holds them, and the ones --write would add for `report`.
std::vector<std::string> Added(const std::vector<std::string>& configured, const DetectionReport& report)
{
    pugi::xml_document document;
    auto drivers = document.append_child("PixteraConfiguration").append_child("drivers");
    for (const auto& configuration : configured) {
        auto driver = drivers.append_child("driver");
        driver.append_attribute("clsid") = "Pixtera.HD44780I2C";
        driver.append_attribute("configuration") = configuration.c_str();
    }
    std::vector<std::string> added;
    for (const auto& module : AddNewModules(document, report.found))
        added.push_back(module.configuration.substr(0, module.configuration.find(";pinmap")));
    return added;
}

TEST(ModuleDetection, AnAdapterConfiguredByKindPortOrSerialIsTheOneDetectionFindsThere)
{
    using namespace pixtera::lcd;
    // Two MCP2221s, one a kernel driver made /dev/i2c-5, and a CH341A, as sysfs shows them.
    const auto sysfs = pixtera::test::TestDirectory() / "same-adapter-sysfs";
    const auto usb = [&](const std::string& port, const std::string& ids, const std::string& serial) {
        const auto dir = sysfs / "bus/usb/devices" / port;
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "idVendor") << ids.substr(0, 4) << "\n";
        std::ofstream(dir / "idProduct") << ids.substr(5) << "\n";
        if (!serial.empty())
            std::ofstream(dir / "serial") << serial << "\n";
    };
    usb("1-2", "04d8:00dd", "0001234");
    usb("1-3", "1a86:5512", "");
    usb("2-1", "04d8:00dd", "0009999");
    std::filesystem::create_directories(sysfs / "bus/usb/devices/2-1/2-1:1.2/0003:04D8:00DD.0003/i2c-5");

    Hd44780Model behindMcp(Pcf8574Pins::A()), behindCh341(Pcf8574Pins::A()), behindKernelMcp(Pcf8574Pins::A());
    pixtera::lcd::test::Mcp2221Model mcp(behindMcp, 0x27);
    pixtera::lcd::test::Ch341Model ch341(behindCh341, 0x3f);
    ModelDevices devices;
    devices.usbAdapters = KernelDevices({}, sysfs).UsbAdapters();
    ASSERT_EQ(devices.usbAdapters.size(), 3u);
    devices.usbOpeners["1-2"] = [&] {
        auto transfer = std::make_unique<Mcp2221I2c>(mcp.Connect(), 0x20);
        auto& chip = *transfer;
        return std::unique_ptr<I2cAdapter>(std::make_unique<AdapterBus>(DeviceLink(-1, std::move(transfer)), chip));
    };
    devices.usbOpeners["1-3"] = [&] {
        auto transfer = std::make_unique<Ch341I2c>(ch341.Connect(), 0x20);
        auto& chip = *transfer;
        return std::unique_ptr<I2cAdapter>(std::make_unique<AdapterBus>(DeviceLink(-1, std::move(transfer)), chip));
    };
    devices.AddBus(5, {{0x27, &behindKernelMcp}});

    const auto report = DetectModules(devices, Quick());
    const std::vector<std::string> everything{"bus=5;address=0x27", "adapter=ch341:1-3;address=0x3f",
                                              "adapter=mcp2221:0001234;address=0x27"};
    ASSERT_EQ(Added({}, report), everything);

    // The first MCP2221 by port is the one a bare kind opens, by its port or its serial number.
    for (const char* configured : {"adapter=mcp2221;address=0x27", "adapter=mcp2221:1-2;address=39;rows=2",
                                   "adapter=mcp2221:0001234;address=0x27"}) {
        EXPECT_EQ(Added({configured}, report), (std::vector<std::string>{everything[0], everything[1]})) << configured;
        EXPECT_TRUE(DrivesModule("Pixtera.HD44780I2C", configured, report.found[2])) << configured;
    }
    EXPECT_EQ(Added({"adapter=ch341;address=0x3f", "adapter=mcp2221:2-1;address=0x27"}, report),
              std::vector<std::string>{everything[2]})
        << "the only CH341A by its kind, the second MCP2221 through the bus its kernel driver made";
    EXPECT_TRUE(DrivesModule("Pixtera.HD44780I2C", "adapter=mcp2221:0009999;address=0x27", report.found[0]));

    // Other modules stay other modules.
    EXPECT_EQ(Added({"adapter=mcp2221:0009999;address=0x3f", "adapter=cp2112;address=0x27", "bus=1;address=0x27",
                     "adapter=ch341:1-4;address=0x3f"},
                    report),
              everything);
    EXPECT_FALSE(DrivesModule("Pixtera.HD44780I2C", "adapter=mcp2221:0009999;address=0x27", report.found[2]))
        << "the second MCP2221 is not the one at 1-2";
}

TEST(ModuleDetection, AdaptersSharingASerialNumberAreToldApartByTheirPorts)
{
    using namespace pixtera::lcd;
    // Clones often keep their maker's serial number.
    Hd44780Model first(Pcf8574Pins::A()), second(Pcf8574Pins::A());
    pixtera::lcd::test::Mcp2221Model firstChip(first, 0x27), secondChip(second, 0x27);
    ModelDevices devices;
    devices.usbAdapters = {{AdapterKind::Mcp2221, {"/sys/bus/usb/devices/1-2", "1-2", "0001234", 1, 6}, {}},
                           {AdapterKind::Mcp2221, {"/sys/bus/usb/devices/1-5", "1-5", "0001234", 1, 9}, {}}};
    for (auto [port, chip] : {std::pair{"1-2", &firstChip}, std::pair{"1-5", &secondChip}})
        devices.usbOpeners[port] = [chip = chip] {
            auto transfer = std::make_unique<Mcp2221I2c>(chip->Connect(), 0x20);
            auto& opened = *transfer;
            return std::unique_ptr<I2cAdapter>(
                std::make_unique<AdapterBus>(DeviceLink(-1, std::move(transfer)), opened));
        };
    const auto report = DetectModules(devices, Quick());
    EXPECT_EQ(Added({}, report),
              (std::vector<std::string>{"adapter=mcp2221:1-2;address=0x27", "adapter=mcp2221:1-5;address=0x27"}))
        << "each written so that it opens its own adapter";
    EXPECT_EQ(Added({"adapter=mcp2221:0001234;address=0x27"}, report),
              std::vector<std::string>{"adapter=mcp2221:1-5;address=0x27"})
        << "the serial number opens the first of the two";
}

TEST(PluginPlace, NamesTheDeviceBusAndAddressHostOrFileAsDetectionDoes)
{
    using pixtera::detection::PlaceOf;
    EXPECT_EQ(PlaceOf("Pixtera.SerialLCD", "device=/dev/ttyUSB0;speed=9600"), "/dev/ttyUSB0");
    EXPECT_EQ(PlaceOf("Pixtera.SerialLCD", ""), "/dev/ttyACM0") << "the driver's default";
    EXPECT_EQ(PlaceOf("Pixtera.HD44780I2C", "bus=3;address=63"), "/dev/i2c-3 address 0x3f");
    EXPECT_EQ(PlaceOf("Pixtera.HD44780I2C", ""), "/dev/i2c-1 address 0x27");
    EXPECT_EQ(PlaceOf("Pixtera.HD44780I2C", "adapter=i2c-dev;bus=2"), "/dev/i2c-2 address 0x27");
    EXPECT_EQ(PlaceOf("Pixtera.HD44780I2C", "adapter=ch341:1-1.4;bus=2;address=0x3f"), "ch341:1-1.4 address 0x3f")
        << "a USB adapter has no bus number";
    EXPECT_EQ(PlaceOf("Pixtera.LCDprocDisplay", "host=pi;port=13667"), "LCDd at pi:13667");
    EXPECT_EQ(PlaceOf("Pixtera.FileDisplay", "columns=16;path=/tmp/lcd"), "/tmp/lcd");
    EXPECT_EQ(PlaceOf("Pixtera.TerminalDisplay", "tty=/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(PlaceOf("Pixtera.SystemData", "interval=500"), "");
    EXPECT_EQ(PlaceOf("Pixtera.MqttData", "host=broker;port=1883"), "") << "a broker is not a display's place";

    // A display known only by its configuration (the service's, over the bus).
    EXPECT_EQ(PlaceOf("", "address=0x3f;columns=16"), "/dev/i2c-1 address 0x3f");
    EXPECT_EQ(PlaceOf("", "device=/dev/ttyUSB1"), "/dev/ttyUSB1");
    EXPECT_EQ(PlaceOf("", "host=127.0.0.1"), "LCDd at 127.0.0.1:13666");
    EXPECT_EQ(PlaceOf("", "path=/tmp/lcd2"), "/tmp/lcd2");
    EXPECT_EQ(PlaceOf("", "columns=20;rows=4"), "");

    EXPECT_EQ(PlaceOf("Pixtera.KernelLCD", "columns=16"), "/dev/lcd") << "a driver found by its description alone";
}

TEST(PluginPlace, ADriverIsReadByItsDescriptionAlone)
{
    using pixtera::DescribedDriver;
    using pixtera::SettingDescription;
    using pixtera::SettingPlace;
    static constexpr SettingDescription kPanel[] = {
        {"unit", "Unit", kSettingText, "0x10", "The panel's unit", 0, 0xFF, "", SettingPlace::Number},
        {"link", "Link", kSettingText, "/dev/panel0", "Its device", 0, 0, "", SettingPlace::Device},
        {"rows", "Rows", kSettingInteger, "4", "Rows", 1, 4},
    };
    static constexpr DescribedDriver kPanelDriver{"Some.Panel", kPanel, "{link} unit {unit:hex} ({unit})"};
    static constexpr SettingDescription kBox[] = {
        {"link", "Link", kSettingText, "/dev/box", "Its device", 0, 0, "", SettingPlace::Device},
    };
    static constexpr DescribedDriver kBoxDriver{"Some.Box", kBox, "box on {link}"};
    const DescribedDriver* drivers[] = {&kPanelDriver, &kBoxDriver};

    EXPECT_EQ(PlaceOf("Some.Panel", "unit=33;link=/dev/panel2", drivers), "/dev/panel2 unit 0x21 (33)");
    EXPECT_EQ(PlaceOf("Some.Panel", "unit=0x100;rows=2", drivers), "/dev/panel0 unit 0x10 (16)")
        << "an unusable number and a missing device at their defaults";
    EXPECT_EQ(PlaceOf("Some.Box", "unit=3", drivers), "box on /dev/box") << "only its own keys";
    // Without a ProgID, the first driver one of whose place keys is there.
    EXPECT_EQ(PlaceOf("", "link=/dev/x", drivers), "/dev/x unit 0x10 (16)");
    const DescribedDriver* boxOnly[] = {&kBoxDriver};
    EXPECT_EQ(PlaceOf("", "rows=2;link=/dev/x", boxOnly), "box on /dev/x");
    EXPECT_EQ(PlaceOf("", "rows=2", drivers), "") << "rows is no place key";
    EXPECT_EQ(PlaceOf("Pixtera.HD44780I2C", "bus=2", drivers), "") << "a driver not among them";
}

} // namespace
