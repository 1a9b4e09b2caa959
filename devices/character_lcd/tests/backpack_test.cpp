// SPDX-License-Identifier: MIT
// The MCP23008 and MCP23017 backpacks against their models: the writer identifies the chip,
// configures it and drives the module through its registers, a run of changed cells one message.

#include "backpack_connection.h"
#include "lcd_writer.h"
#include "mcp_i2c_bus.h"
#include "pin_map_detection.h"

#include "captured_log.h"
#include "test_environment.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

const Sleeper kNoSleep = [](std::chrono::microseconds) {};

// A display on a model backpack, configured as `configuration` says (the expander identified
// when it does not name one).
struct McpDisplay {
    McpDisplay(const Backpack& board, Geometry shape, const std::string& configuration = "",
               std::chrono::milliseconds verifyEvery = 5000ms)
        : chip(board), bus(chip), geometry(shape)
    {
        std::vector<std::string> problems;
        settings = ReadI2cSettings(ConfigurationText(configuration), problems);
        EXPECT_TRUE(problems.empty());
        protocol = std::make_shared<Hd44780I2cProtocol>(
            geometry, WiringFor(settings, settings.expander.value_or(ExpanderChip::Pcf8574)), true);
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = "the model";
        setup.open = [this](std::string& error) -> std::optional<DeviceLink> {
            DeviceLink link = bus.Open();
            if (!PrepareBackpack(link, settings, *protocol, "the model", kNoSleep, error))
                return std::nullopt;
            return link;
        };
        setup.protocol = protocol;
        setup.geometry = geometry;
        setup.sleep = kNoSleep;
        setup.verifyEvery = verifyEvery;
        writer = std::make_unique<LcdWriter>(std::move(setup));
        EXPECT_TRUE(writer->WaitUntilSent(5s));
    }
    ~McpDisplay() { writer.reset(); }

    std::vector<std::string> Show(const std::string& frame)
    {
        writer->Show(frame);
        EXPECT_TRUE(writer->WaitUntilSent(5s));
        return bus.Take();
    }
    std::string Visible()
    {
        return bus.WithChip([&](Mcp230xxModel& m) { return m.module().Visible(geometry.columns, geometry.rows); });
    }

    Mcp230xxModel chip;
    McpI2cBus bus;
    Geometry geometry;
    I2cSettings settings;
    std::shared_ptr<Hd44780I2cProtocol> protocol;
    std::unique_ptr<LcdWriter> writer;
};

// The port byte of a nibble as each board is wired, written out here line by line.
std::uint8_t AdafruitLines(int nibble, bool data, bool enable)
{
    return static_cast<std::uint8_t>((nibble & 0x0F) << 3 | 0x80 /* backlight */ | (data ? 0x02 : 0) |
                                     (enable ? 0x04 : 0));
}
std::uint8_t PlateLines(int nibble, bool data, bool enable)
{
    // D4 B4, D5 B3, D6 B2, D7 B1; the blue LED on B0 is lit low.
    std::uint8_t lines = 0;
    for (int bit = 0; bit < 4; ++bit)
        if (nibble & (1 << bit))
            lines |= static_cast<std::uint8_t>(0x10 >> bit);
    return static_cast<std::uint8_t>(lines | (data ? 0x80 : 0) | (enable ? 0x20 : 0));
}

// The writes of instructions and characters, in order.
struct Spelling {
    std::uint8_t (*lines)(int, bool, bool);
    std::vector<std::uint8_t> writes;

    Spelling& Byte(std::uint8_t byte, bool data)
    {
        for (const int nibble : {byte >> 4, byte & 0x0F}) {
            writes.push_back(lines(nibble, data, true));
            writes.push_back(lines(nibble, data, false));
        }
        return *this;
    }
    Spelling& Jump(int address) { return Byte(static_cast<std::uint8_t>(0x80 | address), false); }
    Spelling& Text(std::string_view text)
    {
        for (char c : text)
            Byte(static_cast<std::uint8_t>(c), true);
        return *this;
    }
};

// One message to the MCP23008's latch (0x0A), the pointer staying there.
std::string Mcp23008Message(const Spelling& spelling)
{
    std::string message = "w\x0A";
    for (const std::uint8_t lines : spelling.writes)
        message.push_back(static_cast<char>(lines));
    return message;
}

// One message to the MCP23017's OLATB (0x15), every later write to B after one to OLATA, whose
// lines (the red and green LEDs, lit low) stay as they are.
std::string Mcp23017Message(const Spelling& spelling, std::uint8_t portA)
{
    std::string message = "w\x15";
    for (std::size_t i = 0; i < spelling.writes.size(); ++i) {
        if (i > 0)
            message.push_back(static_cast<char>(portA));
        message.push_back(static_cast<char>(spelling.writes[i]));
    }
    return message;
}

Glyph Arrow() { return {0x04, 0x0E, 0x1F, 0x04, 0x04, 0x04, 0x04, 0x00}; }

TEST(McpBackpack, EachBoardIsIdentifiedByReadingAndShowsFramesAndUserCharacters)
{
    for (const Backpack& board : {Backpack::Adafruit(), Backpack::Plate()}) {
        const bool plate = board.chip == ExpanderChip::Mcp23017;
        SCOPED_TRACE(ExpanderName(board.chip));
        pixtera::test::CapturedLog log;
        McpDisplay display(board, {16, 2});
        const auto opening = display.bus.Take();
        ASSERT_FALSE(opening.empty());
        EXPECT_EQ(opening.front()[0], 'r') << "read before anything is written";
        EXPECT_TRUE(log.Contains(std::string("is an ") + ExpanderName(board.chip))) << log.Text();

        display.writer->Define(1, Arrow());
        const std::string frame = std::string("Hello \x01") + "         " + "second row here!";
        display.Show(frame);
        EXPECT_EQ(display.Visible(), frame);
        display.bus.WithChip([&](Mcp230xxModel& m) {
            EXPECT_EQ(m.module().GlyphOf(1), Arrow());
            EXPECT_TRUE(m.module().fourBit() && m.module().displayOn());
            EXPECT_TRUE(m.Register(McpRegister(board.chip, mcp::kIocon)) & mcp::kSeqop);
            EXPECT_FALSE(m.bankSet());
            EXPECT_EQ(m.clashes(), 0);
            if (plate) {
                EXPECT_EQ(m.Register(McpRegister(board.chip, mcp::kGppu, mcp::kPortA)), 0x1F) << "button pull-ups";
                EXPECT_EQ(m.Pins(mcp::kPortA) & 0xDF, 0x1F) << "LEDs lit (low), buttons up";
                EXPECT_EQ(m.Pins(mcp::kPortB) & 0x01, 0) << "the blue LED lit";
            } else {
                EXPECT_EQ(m.Register(mcp::kIodir), 0x01) << "GP0, which nothing drives, is left an input";
                EXPECT_EQ(m.Pins(0) & 0x80, 0x80) << "backlight on";
            }
        });

        display.writer->SetBacklight(false);
        display.Show(frame);
        display.bus.WithChip([&](Mcp230xxModel& m) {
            if (plate) {
                EXPECT_EQ(m.Pins(mcp::kPortA) & 0xC0, 0xC0);
                EXPECT_EQ(m.Pins(mcp::kPortB) & 0x01, 0x01);
            } else {
                EXPECT_EQ(m.Pins(0) & 0x80, 0);
            }
        });
        EXPECT_EQ(display.Visible(), frame) << "the backlight alone changed";
    }
}

TEST(McpBackpack, EachChangedRunIsOneMessageOfExactBytes)
{
    const std::string first = "ABCDEFGHIJKLMNOPabcdefghijklmnop";
    std::string second = first;
    second[3] = '#';
    second[4] = '$';
    second[16 + 10] = '%';
    using Messages = std::vector<std::string>;

    McpDisplay adafruit(Backpack::Adafruit(), {16, 2}, "expander=mcp23008");
    adafruit.bus.Take();
    const auto spell = [] { return Spelling{AdafruitLines, {}}; };
    EXPECT_EQ(adafruit.Show(first), (Messages{Mcp23008Message(spell().Jump(0x00).Text(first.substr(0, 16))),
                                              Mcp23008Message(spell().Jump(0x40).Text(first.substr(16)))}));
    EXPECT_EQ(adafruit.Show(second), (Messages{Mcp23008Message(spell().Jump(0x03).Text("#$")),
                                               Mcp23008Message(spell().Jump(0x4A).Text("%"))}));
    EXPECT_TRUE(adafruit.Show(second).empty());
    EXPECT_EQ(adafruit.Visible(), second);

    McpDisplay plate(Backpack::Plate(), {16, 2}, "pinmap=plate");
    plate.bus.Take();
    const auto spellB = [] { return Spelling{PlateLines, {}}; };
    EXPECT_EQ(plate.Show(first), (Messages{Mcp23017Message(spellB().Jump(0x00).Text(first.substr(0, 16)), 0x00),
                                           Mcp23017Message(spellB().Jump(0x40).Text(first.substr(16)), 0x00)}));
    EXPECT_EQ(plate.Show(second), (Messages{Mcp23017Message(spellB().Jump(0x03).Text("#$"), 0x00),
                                            Mcp23017Message(spellB().Jump(0x4A).Text("%"), 0x00)}));
    EXPECT_EQ(plate.Visible(), second);
}

TEST(McpBackpack, ThePlateIsReadBackAndRepairedTheAdafruitBackpackCannotBe)
{
    for (const Backpack& board : {Backpack::Adafruit(), Backpack::Plate()}) {
        SCOPED_TRACE(ExpanderName(board.chip));
        Mcp230xxModel chip(board);
        McpI2cBus bus(chip);
        DeviceLink link = bus.Open();
        McpExpanderPort port(link, board);
        EXPECT_EQ(ReadsBackThrough(port, board, kNoSleep), board.chip == ExpanderChip::Mcp23017);
        EXPECT_EQ(chip.clashes(), 0) << "D4-D7 let go before the controller drives them";
    }

    pixtera::test::CapturedLog log;
    McpDisplay display(Backpack::Plate(), {16, 2}, "", 0ms);
    std::string frame = "checked after   writing, always";
    display.Show(frame);
    EXPECT_FALSE(log.Contains("initialised again")) << log.Text();
    frame.replace(16, 16, "a slip repaired ");
    display.bus.WithChip([](Mcp230xxModel& m) { m.module().DropNibbleAfter(5); });
    display.Show(frame);
    EXPECT_EQ(display.Visible(), frame);
    EXPECT_TRUE(log.Contains("read back its cursor at")) << log.Text();
    display.bus.WithChip([](Mcp230xxModel& m) { EXPECT_EQ(m.clashes(), 0); });
}

} // namespace
