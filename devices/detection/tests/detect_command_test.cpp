// SPDX-License-Identifier: MIT
// pixtera-detect's command: what it prints, its exit codes, and --write adding only what is new
// to a pixtera2.xml whose comments and other content stay.

#include "detect_command.h"
#include "model_devices.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera::detection;
using namespace pixtera::detection::test;
using pixtera::lcd::Pcf8574Pins;

struct Run {
    int status;
    std::string out;
    std::string err;
};

Run Detect(std::vector<std::string> arguments, DetectionDevices& devices, const std::filesystem::path& file = {})
{
    arguments.push_back("--no-serial");
    std::ostringstream out, err;
    const int status = RunDetectCommand(arguments, devices, file, out, err);
    return {status, out.str(), err.str()};
}

TEST(DetectCommand, PrintsALinePerModuleAndSaysWhatItCouldNotKnow)
{
    Hd44780Model module(Pcf8574Pins::A());
    ModelDevices devices;
    devices.AddBus(1, {{0x27, &module}});
    auto run = Detect({"--bus", "1"}, devices);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Pixtera.HD44780I2C bus=1;address=0x27;pinmap=a;columns=20;rows=4;backlight=on\n");
    EXPECT_NE(run.err.find("found /dev/i2c-1 address 0x27"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("a module cannot tell its size: 20x4 is written"), std::string::npos) << run.err;

    run = Detect({"--size", "16x2"}, devices);
    EXPECT_NE(run.out.find("columns=16;rows=2"), std::string::npos);
    EXPECT_EQ(run.err.find("cannot tell its size"), std::string::npos) << "the size was given";

    ModelDevices lcdd;
    lcdd.greeting = "connect LCDproc 0.5.9 protocol 0.4 lcd wid 16 hgt 2 cellwid 5 cellhgt 8";
    run = Detect({}, lcdd);
    EXPECT_NE(run.out.find("columns=16;rows=2"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("cannot tell its size"), std::string::npos) << "LCDd told its size: " << run.err;
}

TEST(DetectCommand, NothingFoundExitsOneWithTheReasonsAndBadArgumentsTwo)
{
    ModelDevices devices;
    auto run = Detect({}, devices);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty());
    EXPECT_NE(run.err.find("/dev/i2c-*: no I2C bus: load i2c-dev: `sudo modprobe i2c-dev`"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("LCDd at 127.0.0.1:13666: not running"), std::string::npos) << run.err;
    std::ostringstream out, err;
    EXPECT_EQ(RunDetectCommand({}, devices, {}, out, err), 1) << "with the serial ports, of which there are none";
    EXPECT_NE(err.str().find("/dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*: no serial port"), std::string::npos)
        << err.str();

    for (const std::vector<std::string>& wrong : {std::vector<std::string>{"--size", "20"},
                                                  {"--size", "50x4"},
                                                  {"--bus", "x"},
                                                  {"--bus"},
                                                  {"--port"},
                                                  {"--port", "/dev/ttyS0"}, // with --no-serial
                                                  {"--frobnicate"}}) {
        run = Detect(wrong, devices);
        EXPECT_EQ(run.status, 2) << wrong[0];
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(DetectCommand, APortNamedIsProbedWhateverUdevMarksItAs)
{
    SerialLcdModel module(16, 2);
    ModelDevices devices;
    devices.AddPort("ttyACM0", &module, 9600);
    devices.marks["/dev/ttyACM0"] = "a modem (ID_MM_PORT_TYPE_AT_PRIMARY=1)";
    const std::vector<std::string> listed{"--no-lcdd"};
    const std::vector<std::string> named{"--no-lcdd", "--port", "/dev/ttyACM0", "--size", "16x2"};
    std::ostringstream out, err;
    EXPECT_EQ(RunDetectCommand(listed, devices, {}, out, err), 1);
    EXPECT_NE(err.str().find("/dev/ttyACM0: udev marks it as a modem"), std::string::npos) << err.str();
    out.str("");
    EXPECT_EQ(RunDetectCommand(named, devices, {}, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "Pixtera.SerialLCD device=/dev/ttyACM0;speed=9600;columns=16;rows=2;backlight=on\n");
}

TEST(DetectCommand, WriteAddsOnlyWhatIsNewAndKeepsTheRest)
{
    const auto file = pixtera::test::TestDirectory() / "detect" / "pixtera2.xml";
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file)
        << "<?xml version=\"1.0\"?>\n<!-- my displays -->\n<PixteraConfiguration>\n"
           "<drivers>\n<!-- the kitchen -->\n"
           "<driver clsid=\"Pixtera.HD44780I2C\" configuration=\"address=39;rows=2\">"
           "<display active=\"yes\"><queue><queueitem Filename=\"a.pxd\" Runtime=\"5\"/></queue></display>"
           "</driver>\n</drivers>\n<extra keep=\"me\"/>\n</PixteraConfiguration>\n";
    Hd44780Model kitchen(Pcf8574Pins::A());
    Hd44780Model desk(Pcf8574Pins::B());
    ModelDevices devices;
    devices.AddBus(1, {{0x27, &kitchen}, {0x3F, &desk}});

    auto run = Detect({"--write", "--config", file.string()}, devices);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("added to " + file.string() + ": Pixtera.HD44780I2C bus=1;address=0x3f;pinmap=b"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("added to " + file.string() + ": Pixtera.HD44780I2C bus=1;address=0x27"), std::string::npos)
        << "bus 1 address 39 is the same module however it is spelt";
    const std::string written = pixtera::test::FileText(file);
    for (const char* kept :
         {"<!-- my displays -->", "<!-- the kitchen -->", "address=39;rows=2", "a.pxd", "<extra keep=\"me\""})
        EXPECT_NE(written.find(kept), std::string::npos) << kept << " in\n" << written;
    EXPECT_NE(written.find("configuration=\"bus=1;address=0x3f;pinmap=b;columns=20;rows=4;backlight=on\""),
              std::string::npos);

    run = Detect({"--write", "--config", file.string()}, devices);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.find("added"), std::string::npos) << "a second run adds nothing";
    EXPECT_EQ(pixtera::test::FileText(file), written);

    // The kernel's display: added once, with the size sysfs gave.
    devices.kernelLcd = KernelLcdFound{"/dev/lcd", "hd44780", 16, 2};
    run = Detect({"--write", "--config", file.string()}, devices);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("added to " + file.string() + ": Pixtera.KernelLCD device=/dev/lcd;columns=16;rows=2"),
              std::string::npos)
        << run.out;
    EXPECT_NE(
        pixtera::test::FileText(file).find(
            R"(<driver clsid="Pixtera.KernelLCD" configuration="device=/dev/lcd;columns=16;rows=2;backlight=on")"),
        std::string::npos)
        << pixtera::test::FileText(file);
    run = Detect({"--write", "--config", file.string()}, devices);
    EXPECT_EQ(run.out.find("added"), std::string::npos) << "a second run adds nothing";
    devices.kernelLcd.reset();

    // A file that is not XML is left alone, and said so.
    const auto broken = file.parent_path() / "broken.xml";
    std::ofstream(broken) << "<PixteraConfiguration>";
    run = Detect({"--write", "--config", broken.string()}, devices);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("nothing was written"), std::string::npos) << run.err;
    EXPECT_EQ(pixtera::test::FileText(broken), "<PixteraConfiguration>");

    // A file that does not exist yet is made, directories and all.
    const auto fresh = file.parent_path() / "new" / "pixtera2.xml";
    run = Detect({"--write", "--config", fresh.string()}, devices);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(pixtera::test::FileText(fresh).find("address=0x27"), std::string::npos);
}

} // namespace
