// SPDX-License-Identifier: MIT
// The HD44780 module behind each USB-to-I2C chip, driven by the writer through the chip's own
// protocol: initialisation, text, only the changed cells, a NACK, the chip unplugged in the
// middle of a frame, and several adapters at once.

#include "backpack_connection.h"
#include "ch341_i2c.h"
#include "cp2112_i2c.h"
#include "hd44780_model.h"
#include "lcd_settings.h"
#include "lcd_writer.h"
#include "mcp2221_i2c.h"
#include "usb_adapter_models.h"

#include "captured_log.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <fstream>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

constexpr int kAddress = 0x27;

// One chip with a module behind it, and links through it as the driver opens them.
struct Chip {
    explicit Chip(AdapterKind chipKind) : kind(chipKind)
    {
        switch (kind) {
        case AdapterKind::Ch341: model = std::make_unique<Ch341Model>(module, kAddress); break;
        case AdapterKind::Mcp2221: model = std::make_unique<Mcp2221Model>(module, kAddress); break;
        default: model = std::make_unique<Cp2112Model>(module, kAddress); break;
        }
    }
    std::unique_ptr<AdapterTransfer> Transfer(int address, int& setup)
    {
        switch (kind) {
        case AdapterKind::Ch341: {
            auto chip = std::make_unique<Ch341I2c>(static_cast<Ch341Model&>(*model).Connect(), address);
            setup = chip->SetSpeed(100000);
            return chip;
        }
        case AdapterKind::Mcp2221: {
            auto chip = std::make_unique<Mcp2221I2c>(static_cast<Mcp2221Model&>(*model).Connect(), address);
            setup = chip->Setup(100000);
            return chip;
        }
        default: {
            auto chip = std::make_unique<Cp2112I2c>(static_cast<Cp2112Model&>(*model).Connect(), address);
            setup = chip->Setup(100000);
            return chip;
        }
        }
    }
    std::optional<DeviceLink> Open(int address, std::string& error)
    {
        int setup = 0;
        auto transfer = Transfer(address, setup);
        if (setup != 0) {
            error = std::strerror(setup);
            errno = setup;
            return std::nullopt;
        }
        return DeviceLink(-1, std::move(transfer));
    }

    AdapterKind kind;
    Hd44780Model module{Pcf8574Pins::A()};
    std::unique_ptr<AdapterModel> model;
};

// The writer on a chip, as Pixtera.HD44780I2C sets it up: the expander identified and the pin
// map read back at every connection.
struct Display {
    Display(Chip& chip, Geometry size = {20, 4}) : geometry(size)
    {
        I2cSettings settings;
        settings.geometry = geometry;
        Pacing pacing;
        if (chip.kind == AdapterKind::Cp2112)
            pacing.largestMessage = cp2112::kLargestWrite;
        auto protocol =
            std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true, CharacterRom::A00, pacing);
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = AdapterKey(chip.kind);
        setup.sleep = [](std::chrono::microseconds) {};
        setup.open = [this, &chip, settings, protocol, sleep = setup.sleep](std::string& error) {
            ++opens;
            auto link = chip.Open(kAddress, error);
            if (link && !PrepareBackpack(*link, settings, *protocol, "the model", sleep, error))
                link.reset();
            return link;
        };
        setup.protocol = protocol;
        setup.geometry = geometry;
        setup.retry = 5ms;
        setup.absentRetry = 5ms;
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }
    Geometry geometry;
    std::atomic<int> opens{0};
    std::unique_ptr<LcdWriter> writer;
};

std::string Padded(std::string text, std::size_t cells = 80)
{
    text.resize(cells, ' ');
    return text;
}

class EachChip : public testing::TestWithParam<AdapterKind> {};

TEST_P(EachChip, InitialisesTheModuleAndShowsTextWritingOnlyTheChangedCells)
{
    Chip chip(GetParam());
    Display display(chip);
    const std::string first = Padded("Adapter on USB, row 0 continues past its twenty cells");
    display.writer->Show(first);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    chip.model->WithModule([&](Hd44780Model& module) {
        EXPECT_TRUE(module.fourBit());
        EXPECT_TRUE(module.displayOn());
        EXPECT_TRUE(module.backlight());
        EXPECT_EQ(module.Visible(20, 4), first);
    });
    EXPECT_EQ(chip.model->faults(), "");

    chip.model->TakeMessages();
    const int callsBefore = chip.model->usbCalls();
    std::string second = first;
    second[45] = '#';
    display.writer->Show(second);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    chip.model->WithModule([&](Hd44780Model& module) { EXPECT_EQ(module.Visible(20, 4), second); });
    std::size_t bytes = 0;
    for (const auto& message : chip.model->TakeMessages())
        bytes += message.size();
    EXPECT_EQ(bytes, 8u) << "a jump and one character, four expander bytes each";
    if (GetParam() == AdapterKind::Ch341) {
        EXPECT_EQ(chip.model->usbCalls() - callsBefore, 2) << "the frame one bulk out, its ACKs one bulk in";
    }
    EXPECT_EQ(chip.model->faults(), "");
}

TEST_P(EachChip, AWholeScreenGoesInMessagesTheChipTakes)
{
    Chip chip(GetParam());
    Display display(chip);
    std::string frame;
    for (int i = 0; i < 80; ++i)
        frame.push_back(static_cast<char>('A' + i % 26));
    display.writer->Show(frame);
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));
    chip.model->WithModule([&](Hd44780Model& module) { EXPECT_EQ(module.Visible(20, 4), frame); });
    EXPECT_EQ(chip.model->faults(), "") << "every packet and report as the chip takes it";
}

TEST_P(EachChip, AnEmptyAddressIsANackAndTheBusStaysUsable)
{
    Chip chip(GetParam());
    int setup = 0;
    auto transfer = chip.Transfer(0x3f, setup);
    ASSERT_EQ(setup, 0);
    const std::string_view lines = "\x08\x0c";
    EXPECT_EQ(transfer->Write(lines), ENXIO);
    std::uint8_t byte = 0;
    EXPECT_EQ(transfer->Read(byte), ENXIO);
    // The same opened adapter, as detection goes from address to address.
    transfer->SetAddress(kAddress);
    EXPECT_EQ(transfer->Write(lines), 0) << "the chip was left ready for the next transfer";
    EXPECT_EQ(chip.model->TakeMessages(), std::vector<std::string>{std::string(lines)});
    EXPECT_EQ(chip.model->faults(), "");
}

TEST_P(EachChip, UnpluggedMidFrameIsReportedOnceAndTheModuleIsInitialisedAfresh)
{
    pixtera::test::CapturedLog log;
    Chip chip(GetParam());
    Hd44780Model fresh(Pcf8574Pins::A()); // plugged in later: power lost, garbage until initialised
    Display display(chip); // stopped before the modules go
    display.writer->Show(Padded("before"));
    ASSERT_TRUE(display.writer->WaitUntilSent(5s));

    chip.model->UnplugAfter(1); // the next frame's first USB call goes, then the chip is gone
    std::string frame;
    for (int i = 0; i < 80; ++i)
        frame.push_back(static_cast<char>('a' + i % 26));
    display.writer->Show(frame);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return log.Contains("failed"); }));
    const int opens = display.opens;
    ASSERT_TRUE(pixtera::test::Eventually([&] { return display.opens >= opens + 2; }))
        << "tried again and again while it is away";

    chip.model->PlugIn(fresh);
    ASSERT_TRUE(pixtera::test::Eventually(
        [&] { return chip.model->WithModule([&](Hd44780Model& m) { return m.Visible(20, 4) == frame; }); }));
    chip.model->WithModule([](Hd44780Model& m) { EXPECT_TRUE(m.fourBit()); });
    EXPECT_EQ(log.Count("failed") + log.Count("cannot use") + log.Count("went away"), 1) << log.Text();
    EXPECT_EQ(log.Count("is back"), 1) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(UsbAdapters, EachChip,
                         testing::Values(AdapterKind::Ch341, AdapterKind::Mcp2221, AdapterKind::Cp2112),
                         [](const auto& chip) { return std::string(AdapterKey(chip.param)); });

TEST(UsbAdapters, ThreeAdaptersDriveTheirOwnModulesAtOnce)
{
    Chip ch341(AdapterKind::Ch341), mcp(AdapterKind::Mcp2221), cp(AdapterKind::Cp2112);
    Display one(ch341, {16, 2}), two(mcp, {16, 2}), three(cp, {16, 2});
    for (int round = 0; round < 5; ++round) {
        const std::string tag = std::to_string(round);
        one.writer->Show(Padded("CH341A " + tag, 32));
        two.writer->Show(Padded("MCP2221 " + tag, 32));
        three.writer->Show(Padded("CP2112 " + tag, 32));
    }
    for (auto* display : {&one, &two, &three})
        ASSERT_TRUE(display->writer->WaitUntilSent(5s));
    ch341.model->WithModule([](Hd44780Model& m) { EXPECT_EQ(m.Visible(16, 2), Padded("CH341A 4", 32)); });
    mcp.model->WithModule([](Hd44780Model& m) { EXPECT_EQ(m.Visible(16, 2), Padded("MCP2221 4", 32)); });
    cp.model->WithModule([](Hd44780Model& m) { EXPECT_EQ(m.Visible(16, 2), Padded("CP2112 4", 32)); });
}

TEST(UsbAdapters, TheConfiguredSpeedReachesEachChip)
{
    Hd44780Model module(Pcf8574Pins::A());
    Ch341Model ch341(module, kAddress);
    EXPECT_EQ(Ch341I2c(ch341.Connect(), kAddress).SetSpeed(400000), 0);
    EXPECT_EQ(ch341.speed(), ch341::kSpeed400k);
    EXPECT_EQ(Ch341I2c(ch341.Connect(), kAddress).SetSpeed(100000), 0);
    EXPECT_EQ(ch341.speed(), ch341::kSpeed100k);
    Mcp2221Model mcp(module, kAddress);
    EXPECT_EQ(Mcp2221I2c(mcp.Connect(), kAddress).Setup(400000), 0);
    EXPECT_EQ(mcp.divider(), 27); // 12 MHz / 400 kHz - 3
    Cp2112Model cp(module, kAddress);
    EXPECT_EQ(Cp2112I2c(cp.Connect(), kAddress).Setup(400000), 0);
    EXPECT_EQ(cp.clock(), 400000);
}

TEST(UsbAdapterSettings, AdapterAndSpeedAreReadWithTheirProblemsNamed)
{
    std::vector<std::string> problems;
    auto settings = ReadI2cSettings(pixtera::ConfigurationText("address=0x3f"), problems);
    EXPECT_EQ(settings.adapter.kind, AdapterKind::I2cDev);
    EXPECT_EQ(settings.speed, 100000);
    settings = ReadI2cSettings(pixtera::ConfigurationText("adapter=mcp2221:1-1.4;speed=400"), problems);
    EXPECT_EQ(settings.adapter.kind, AdapterKind::Mcp2221);
    EXPECT_EQ(settings.adapter.which, "1-1.4");
    EXPECT_EQ(settings.speed, 400000);
    EXPECT_TRUE(problems.empty());
    settings = ReadI2cSettings(pixtera::ConfigurationText("adapter=ch341:;speed=1000"), problems);
    EXPECT_EQ(settings.adapter.kind, AdapterKind::I2cDev);
    EXPECT_EQ(problems.size(), 2u);
    EXPECT_FALSE(ParseAdapter("i2c-dev:1"));
    EXPECT_FALSE(ParseAdapter("ftdi"));
    EXPECT_EQ(AdapterText(*ParseAdapter("cp2112:00A1B2")), "cp2112:00A1B2");
}

void WriteFile(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text << "\n";
}

TEST(UsbAdapterSettings, AdaptersAreFoundBySerialNumberOrPortAndTheirKernelNodes)
{
    const auto root = pixtera::test::TestDirectory() / "usb";
    const auto device = [&](const std::string& port, const std::string& vendor, const std::string& product,
                            const std::string& serial) {
        WriteFile(root / port / "idVendor", vendor);
        WriteFile(root / port / "idProduct", product);
        if (!serial.empty())
            WriteFile(root / port / "serial", serial);
    };
    device("1-1.4", "04d8", "00dd", "0001234");
    device("1-2", "04d8", "00dd", "0009999");
    device("2-1", "1a86", "5512", "");
    device("1-3", "10c4", "ea90", "AAA");
    std::filesystem::create_directories(root / "2-1" / "2-1:1.0" / "i2c-9"); // a USB driver's own bus
    WriteFile(root / "1-1.4:1.2" / "idVendor", "04d8"); // an interface, no device
    std::filesystem::create_directories(root / "1-2" / "1-2:1.2" / "0003:04D8:00DD.0003" / "i2c-7");
    std::filesystem::create_directories(root / "1-1.4" / "1-1.4:1.2" / "0003:04D8:00DD.0002" / "hidraw" / "hidraw3");

    const auto mcps = FindAdapters(AdapterKind::Mcp2221, root);
    ASSERT_EQ(mcps.size(), 2u);
    EXPECT_EQ(mcps[0].port, "1-1.4");
    EXPECT_EQ(ChooseAdapter(*ParseAdapter("mcp2221"), mcps)->port, "1-1.4");
    EXPECT_EQ(ChooseAdapter(*ParseAdapter("mcp2221:0009999"), mcps)->port, "1-2");
    EXPECT_EQ(ChooseAdapter(*ParseAdapter("mcp2221:1-2"), mcps)->serial, "0009999");
    EXPECT_FALSE(ChooseAdapter(*ParseAdapter("mcp2221:1-9"), mcps));
    EXPECT_EQ(KernelI2cBus(mcps[1]), 7);
    EXPECT_FALSE(KernelI2cBus(mcps[0]));
    EXPECT_EQ(HidrawNode(mcps[0]), "/dev/hidraw3");
    const auto ch341 = FindAdapters(AdapterKind::Ch341, root);
    ASSERT_EQ(ch341.size(), 1u);
    EXPECT_EQ(ch341[0].serial, "");
    EXPECT_EQ(KernelI2cBus(ch341[0]), 9);
    EXPECT_FALSE(HidrawNode(ch341[0]));
}

} // namespace
