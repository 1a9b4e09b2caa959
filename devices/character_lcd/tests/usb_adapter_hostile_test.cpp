// SPDX-License-Identifier: MIT
// USB-to-I2C chips that answer what they should not: answers longer or shorter than asked, a
// transfer that never ends, an engine busy for good, another device behind the node, a chip gone
// before it is set up. Each is an error the driver names, in a bounded number of USB calls; none
// is taken for success, and nothing is written to a device that is not the chip.

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

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

constexpr int kAddress = 0x27;
constexpr int kEmpty = 0x3f;
constexpr std::string_view kLines = "\x08\x0c";
// Enough for a status asked until the driver gives up, and a cancel; far from a spin.
constexpr int kMostCallsPerTransfer = 2 * 100 + 8;

TEST(HostileCh341, AnAnswerLongerThanTheStreamAskedIsAnErrorAndNeverAnotherStreamsAck)
{
    Hd44780Model module(Pcf8574Pins::A());
    Ch341Model model(module, kAddress);
    model.Misbehave({.extraAnswer = 1});
    Ch341I2c chip(model.Connect(), kAddress);
    ASSERT_EQ(chip.SetSpeed(100000), 0);
    EXPECT_EQ(chip.Write(kLines), EPROTO) << "one ACK asked for, two bytes answered";
    chip.SetAddress(kEmpty);
    EXPECT_NE(chip.Write(kLines), 0) << "an address nothing acknowledges never reads as acknowledged";
    std::uint8_t byte = 0;
    EXPECT_NE(chip.Read(byte), 0);
}

TEST(HostileMcp2221, AnEngineBusyForGoodEndsTheTransferInBoundedCalls)
{
    Hd44780Model module(Pcf8574Pins::A());
    Mcp2221Model model(module, kAddress);
    Mcp2221I2c chip(model.Connect(), kAddress);
    ASSERT_EQ(chip.Setup(100000), 0);
    model.Misbehave({.busyForever = true});
    const int before = model.usbCalls();
    EXPECT_EQ(chip.Write(kLines), EBUSY);
    EXPECT_LE(model.usbCalls() - before, kMostCallsPerTransfer);
    EXPECT_GE(model.cancels(), 2) << "cancelled at the start and when the wait was given up";
    std::uint8_t byte = 0;
    EXPECT_EQ(chip.Read(byte), EBUSY);
    EXPECT_TRUE(model.TakeMessages().empty());
}

TEST(HostileMcp2221, AClockNotTakenIsAskedAgainAndNeverTakenForSet)
{
    Hd44780Model module(Pcf8574Pins::A());
    Mcp2221Model model(module, kAddress);
    model.Misbehave({.speedRefusals = 1});
    EXPECT_EQ(Mcp2221I2c(model.Connect(), kAddress).Setup(400000), 0);
    EXPECT_EQ(model.divider(), mcp2221::Divider(400000)) << "set at the second asking";
    model.Misbehave({.speedRefusals = 2});
    EXPECT_EQ(Mcp2221I2c(model.Connect(), kAddress).Setup(100000), EBUSY) << "left at 400 kHz";
    EXPECT_EQ(model.divider(), mcp2221::Divider(400000));
}

TEST(HostileHid, ReadDataLongerThanAskedIsAnotherReadsAndAnError)
{
    Hd44780Model module(Pcf8574Pins::A());
    Mcp2221Model mcp(module, kAddress);
    Mcp2221I2c mcpChip(mcp.Connect(), kAddress);
    ASSERT_EQ(mcpChip.Setup(100000), 0);
    mcp.Misbehave({.longerReads = 2});
    std::uint8_t byte = 0;
    EXPECT_EQ(mcpChip.Read(byte), EPROTO);
    Cp2112Model cp(module, kAddress);
    Cp2112I2c cpChip(cp.Connect(), kAddress);
    ASSERT_EQ(cpChip.Setup(100000), 0);
    cp.Misbehave({.longerReads = 2});
    EXPECT_EQ(cpChip.Read(byte), EPROTO);
}

TEST(HostileMcp2221, ShortReportsAreNoAnswers)
{
    Hd44780Model module(Pcf8574Pins::A());
    Mcp2221Model model(module, kAddress);
    model.Misbehave({.reportBytes = 16});
    Mcp2221I2c chip(model.Connect(), kAddress);
    EXPECT_NE(chip.Setup(100000), 0);
    EXPECT_NE(chip.Write(kLines), 0);
}

TEST(HostileCp2112, ATransferThatNeverEndsIsCancelledSoThatTheNextOneGoes)
{
    Hd44780Model module(Pcf8574Pins::A());
    Cp2112Model model(module, kAddress);
    Cp2112I2c chip(model.Connect(), kAddress);
    ASSERT_EQ(chip.Setup(100000), 0);
    model.Misbehave({.stuckTransfers = 1});
    const int before = model.usbCalls();
    EXPECT_EQ(chip.Write(kLines), ETIMEDOUT);
    EXPECT_LE(model.usbCalls() - before, kMostCallsPerTransfer);
    EXPECT_EQ(model.cancels(), 1);
    EXPECT_EQ(chip.Write(kLines), 0) << "the chip was left free for the next transfer";
    EXPECT_EQ(model.TakeMessages(), std::vector<std::string>{std::string(kLines)});
}

TEST(HostileCp2112, AReadResponseShorterThanTheBytesItClaimsIsAnError)
{
    Hd44780Model module(Pcf8574Pins::A());
    Cp2112Model model(module, kAddress);
    Cp2112I2c chip(model.Connect(), kAddress);
    ASSERT_EQ(chip.Setup(100000), 0);
    model.Misbehave({.reportBytes = 3}); // the ID, the status and the length; the data cut off
    std::uint8_t byte = 0x5a;
    EXPECT_EQ(chip.Read(byte), EPROTO) << "no byte made up from what the report did not hold";
}

TEST(HostileHid, AnotherDeviceBehindTheNodeIsWrittenNothing)
{
    const Misbehaviour other{.vendor = 0x046d, .product = 0xc52b};
    Hd44780Model module(Pcf8574Pins::A());
    Mcp2221Model mcp(module, kAddress);
    mcp.Misbehave(other);
    EXPECT_EQ(Mcp2221I2c(mcp.Connect(), kAddress).Setup(100000), EMEDIUMTYPE);
    EXPECT_EQ(mcp.usbCalls(), 0);
    Cp2112Model cp(module, kAddress);
    cp.Misbehave(other);
    EXPECT_EQ(Cp2112I2c(cp.Connect(), kAddress).Setup(100000), EMEDIUMTYPE);
    EXPECT_EQ(cp.usbCalls(), 0);
    // Each chip's ids are not the other's.
    Cp2112Model mcpIds(module, kAddress);
    mcpIds.Misbehave({.vendor = mcp2221::kVendor, .product = mcp2221::kProduct});
    EXPECT_EQ(Cp2112I2c(mcpIds.Connect(), kAddress).Setup(100000), EMEDIUMTYPE);
    // Another chip of the kind, with a serial number of its own.
    Mcp2221Model second(module, kAddress);
    second.Misbehave({.serial = "0009999"});
    EXPECT_EQ(Mcp2221I2c(second.Connect(), kAddress).Setup(100000, "0001234"), EMEDIUMTYPE);
    EXPECT_EQ(second.usbCalls(), 0);
    EXPECT_EQ(Mcp2221I2c(second.Connect(), kAddress).Setup(100000, "0009999"), 0);
}

TEST(HostileHid, AChipUnpluggedBeforeItIsSetUpIsGone)
{
    Hd44780Model module(Pcf8574Pins::A());
    Ch341Model ch341(module, kAddress);
    ch341.UnplugAfter(0);
    EXPECT_EQ(Ch341I2c(ch341.Connect(), kAddress).SetSpeed(100000), ENODEV);
    Mcp2221Model mcp(module, kAddress);
    mcp.UnplugAfter(0);
    EXPECT_EQ(Mcp2221I2c(mcp.Connect(), kAddress).Setup(100000), ENODEV);
    Cp2112Model cp(module, kAddress);
    cp.UnplugAfter(0);
    EXPECT_EQ(Cp2112I2c(cp.Connect(), kAddress).Setup(100000), ENODEV);
}

// The writer on a chip that misbehaves from the start: the failure said once, the module tried
// again at the writer's pace, and the writer let go of at once when stopped.
struct HostileCase {
    const char* name;
    AdapterKind kind;
    Misbehaviour how;
};

void PrintTo(const HostileCase& hostile, std::ostream* out) { *out << hostile.name; }

class HostileWriter : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileWriter, TheFailureIsSaidOnceAndTriedAgainAtTheWritersPace)
{
    pixtera::test::CapturedLog log;
    Hd44780Model module(Pcf8574Pins::A());
    std::unique_ptr<AdapterModel> model;
    switch (GetParam().kind) {
    case AdapterKind::Ch341: model = std::make_unique<Ch341Model>(module, kAddress); break;
    case AdapterKind::Mcp2221: model = std::make_unique<Mcp2221Model>(module, kAddress); break;
    default: model = std::make_unique<Cp2112Model>(module, kAddress); break;
    }
    model->Misbehave(GetParam().how);
    const Geometry geometry{16, 2};
    I2cSettings settings;
    settings.geometry = geometry;
    auto protocol = std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true);
    std::atomic<int> opens{0};
    WriterSetup setup;
    setup.name = "Hostile display";
    setup.device = AdapterKey(GetParam().kind);
    setup.sleep = [](std::chrono::microseconds) {};
    setup.open = [&, settings, protocol](std::string& error) -> std::optional<DeviceLink> {
        ++opens;
        std::unique_ptr<AdapterTransfer> transfer;
        int result = 0;
        if (auto* ch341 = dynamic_cast<Ch341Model*>(model.get())) {
            auto chip = std::make_unique<Ch341I2c>(ch341->Connect(), kAddress);
            result = chip->SetSpeed(100000);
            transfer = std::move(chip);
        } else if (auto* mcp = dynamic_cast<Mcp2221Model*>(model.get())) {
            auto chip = std::make_unique<Mcp2221I2c>(mcp->Connect(), kAddress);
            result = chip->Setup(100000);
            transfer = std::move(chip);
        } else {
            auto chip = std::make_unique<Cp2112I2c>(static_cast<Cp2112Model&>(*model).Connect(), kAddress);
            result = chip->Setup(100000);
            transfer = std::move(chip);
        }
        if (result != 0) {
            error = std::strerror(result);
            errno = result;
            return std::nullopt;
        }
        std::optional<DeviceLink> link(DeviceLink(-1, std::move(transfer)));
        if (!PrepareBackpack(
                *link, settings, *protocol, "the model", [](std::chrono::microseconds) {}, error))
            link.reset();
        return link;
    };
    setup.protocol = protocol;
    setup.geometry = geometry;
    setup.retry = 5ms;
    setup.absentRetry = 5ms;
    auto writer = std::make_unique<LcdWriter>(std::move(setup));
    writer->Show(std::string(32, 'x'));
    ASSERT_TRUE(pixtera::test::Eventually([&] { return opens >= 4; })) << "tried again and again";
    writer.reset(); // joins its thread: nothing waits on the chip for good
    EXPECT_NE(module.Visible(16, 2), std::string(32, 'x')) << "no frame is reported shown through such a chip";
    EXPECT_EQ(log.Count("Hostile display"), 1) << log.Text();
}

INSTANTIATE_TEST_SUITE_P(
    UsbAdapters, HostileWriter,
    testing::Values(HostileCase{"ch341_long_answers", AdapterKind::Ch341, {.extraAnswer = 3}},
                    HostileCase{"mcp2221_busy", AdapterKind::Mcp2221, {.busyForever = true}},
                    HostileCase{"mcp2221_short_reports", AdapterKind::Mcp2221, {.reportBytes = 8}},
                    HostileCase{"cp2112_never_done", AdapterKind::Cp2112, {.stuckTransfers = 1000}},
                    HostileCase{"cp2112_another_device", AdapterKind::Cp2112, {.vendor = 0x1234, .product = 1}}),
    [](const auto& hostile) { return std::string(hostile.param.name); });

} // namespace
