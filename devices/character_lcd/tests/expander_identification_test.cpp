// SPDX-License-Identifier: MIT
// Telling the expanders apart before writing: MCP23008 and MCP23017 by their register files read
// in turn, a PCF8574 by its pins read back, a chip that reads one constant, an empty address, and
// an MCP an earlier run left in byte mode.

#include "expander_identification.h"
#include "hd44780_i2c_protocol.h"
#include "hd44780_model.h"
#include "mcp230xx_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;

// A chip behind an I2C device that keeps every message: "w" and the bytes, or "r" and the count.
class ModelDevice final : public I2cDevice {
public:
    ModelDevice(std::function<void(std::string_view)> write, std::function<std::uint8_t()> read)
        : write_(std::move(write)), read_(std::move(read))
    {
    }
    bool Write(std::string_view message) override
    {
        log.push_back("w" + std::string(message));
        if (!read_)
            return false;
        write_(message);
        return true;
    }
    bool Read(std::span<std::uint8_t> bytes) override
    {
        log.push_back("r" + std::to_string(bytes.size()));
        if (!read_)
            return false; // nothing acknowledges
        for (auto& byte : bytes)
            byte = read_();
        return true;
    }
    bool Wrote() const
    {
        return std::any_of(log.begin(), log.end(), [](const std::string& entry) { return entry[0] == 'w'; });
    }

    std::vector<std::string> log;

private:
    std::function<void(std::string_view)> write_;
    std::function<std::uint8_t()> read_;
};

ModelDevice On(Mcp230xxModel& chip)
{
    return ModelDevice([&](std::string_view message) { chip.Write(message); }, [&] { return chip.Read(); });
}

ModelDevice On(Hd44780Model& module)
{
    return ModelDevice(
        [&](std::string_view message) {
            module.StartMessage();
            module.Feed(message);
        },
        [&] { return module.Read(); });
}

// Brings a model up as the driver does: byte mode, directions, the module initialised.
void DriveAsTheWriterDoes(Mcp230xxModel& chip, const Backpack& board)
{
    const Hd44780I2cProtocol protocol({16, 2}, board, true);
    LinkBatch batch;
    protocol.Initialise(batch);
    protocol.MoveTo(batch, 3, 1);
    protocol.Write(batch, "hi");
    for (const auto& segment : batch.segments())
        chip.Write(segment.bytes);
}

TEST(ExpanderIdentification, EachChipIsToldBeforeAnythingIsWrittenToIt)
{
    for (const Backpack& board : {Backpack::Adafruit(), Backpack::Plate()}) {
        for (int before = 0; before < 25; before += 6) {
            SCOPED_TRACE(testing::Message() << ExpanderName(board.chip) << " with its pointer moved on " << before);
            Mcp230xxModel chip(board);
            for (int read = 0; read < before; ++read)
                chip.Read(); // wherever an earlier reader left the pointer
            ModelDevice device = On(chip);
            EXPECT_EQ(IdentifyExpander(device),
                      board.chip == ExpanderChip::Mcp23008 ? ExpanderFound::Mcp23008 : ExpanderFound::Mcp23017);
            EXPECT_FALSE(device.Wrote());
            EXPECT_EQ(chip.dataWrites(), 0);
        }
    }

    Hd44780Model backpack(Pcf8574Pins::A());
    ModelDevice pcf = On(backpack);
    EXPECT_EQ(IdentifyByReads(pcf), ExpanderFound::PortLike);
    EXPECT_FALSE(pcf.Wrote()) << "reads alone cannot tell a PCF8574 from a constant";
    EXPECT_EQ(IdentifyExpander(pcf), ExpanderFound::Pcf8574);
    EXPECT_EQ(pcf.log.front(), "r44");
    for (const auto& entry : pcf.log) {
        if (entry[0] == 'w') {
            EXPECT_EQ(entry.size(), 2u) << "single bytes only";
        }
    }

    ModelDevice constant([](std::string_view) {}, [] { return std::uint8_t{0x18}; });
    EXPECT_EQ(IdentifyByReads(constant), ExpanderFound::PortLike);
    EXPECT_FALSE(ReadsBackAsPcf8574(constant));
    EXPECT_EQ(std::count_if(constant.log.begin(), constant.log.end(), [](auto& e) { return e[0] == 'w'; }), 1)
        << "no more than one byte once the first read-back fails";

    ModelDevice empty({}, {});
    EXPECT_EQ(IdentifyExpander(empty), ExpanderFound::Absent);
    EXPECT_FALSE(empty.Wrote());
}

TEST(ExpanderIdentification, ReadsThatOnlyResembleARegisterFileAreNoMcp)
{
    // A sensor whose registers read 0 but for one: in a GPIO's place on the second pass only, an
    // output that would have changed without its latch.
    std::vector<std::uint8_t> sensor(kIdentificationReads, 0);
    sensor[15] = 0x33;
    EXPECT_EQ(ClassifyReads(sensor), ExpanderFound::Unknown);

    std::vector<std::uint8_t> eeprom; // cells holding their own address
    for (std::size_t i = 0; i < kIdentificationReads; ++i)
        eeprom.push_back(static_cast<std::uint8_t>(0x40 + i));
    EXPECT_EQ(ClassifyReads(eeprom), ExpanderFound::Unknown);

    // Eleven registers over and over, IOCON's missing bit 6 set wherever it stands: no MCP23008,
    // and an MCP23017 would have to repeat its A registers in its B ones.
    std::vector<std::uint8_t> eleven;
    for (std::size_t i = 0; i < kIdentificationReads; ++i)
        eleven.push_back(i % 11 == 3 ? 0x41 : 0x40);
    EXPECT_EQ(ClassifyReads(eleven), ExpanderFound::Unknown);
}

TEST(ExpanderIdentification, AnMcpLeftInByteModeIsFoundThroughItsPointer)
{
    for (const Backpack& board : {Backpack::Adafruit(), Backpack::Plate()}) {
        SCOPED_TRACE(ExpanderName(board.chip));
        Mcp230xxModel chip(board);
        DriveAsTheWriterDoes(chip, board);
        const std::string shown = chip.module().Visible(16, 2);
        const int writes = chip.dataWrites();
        ModelDevice reader = On(chip);
        EXPECT_FALSE(ChipOf(IdentifyByReads(reader))) << "byte mode hides the register file from reads alone";
        ModelDevice device = On(chip);
        const ExpanderFound found = IdentifyExpander(device);
        EXPECT_EQ(ChipOf(found), board.chip);
        for (const auto& entry : device.log) {
            if (entry[0] == 'w') {
                EXPECT_EQ(entry.size(), 2u) << "a register's address, nothing written into one";
            }
        }
        EXPECT_EQ(chip.dataWrites(), writes);
        EXPECT_EQ(chip.module().Visible(16, 2), shown);
    }
}

} // namespace
