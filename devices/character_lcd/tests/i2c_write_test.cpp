// SPDX-License-Identifier: MIT
// What goes on the I2C bus for known frames: each stretch of changed cells one message, a cursor
// jump only where the cursor does not get there by itself, and a frame's messages in one transfer.

#include "hd44780_i2c_protocol.h"
#include "hd44780_model.h"
#include "lcd_writer.h"
#include "model_i2c_bus.h"

#include "captured_log.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;
using Transfer = ModelI2cBus::Transfer;

// The bytes map a spells an instruction or a character with: per nibble, the lines with E high,
// then with E low; the backlight (P3) on.
std::string Spelt(std::uint8_t byte, bool data)
{
    std::string bytes;
    for (const int nibble : {byte >> 4, byte & 0x0F}) {
        const auto lines = static_cast<char>(nibble << 4 | 0x08 | (data ? 0x01 : 0x00));
        bytes += {static_cast<char>(lines | 0x04), lines};
    }
    return bytes;
}
std::string Jump(int address) { return Spelt(static_cast<std::uint8_t>(0x80 | address), false); }
std::string Text(std::string_view text)
{
    std::string bytes;
    for (char c : text)
        bytes += Spelt(static_cast<std::uint8_t>(c), true);
    return bytes;
}

struct Writer {
    // `module`: the controller's own speed, when the model keeps time; `readable`: its RW line
    // is wired and the driver knows.
    explicit Writer(Geometry geometry, Pacing pacing = {}, std::optional<Hd44780Timing> module = {},
                    bool readable = false, const std::function<void(WriterSetup&)>& adjust = {})
        : bus(model)
    {
        if (module)
            model.SetTiming(pacing.busHz, InstructionTime(*module), ClearTime(*module));
        auto protocol =
            std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true, CharacterRom::A00, pacing);
        protocol->SetReadable(readable);
        WriterSetup setup;
        setup.name = "Test display";
        setup.device = "the model";
        setup.open = [this](std::string&) { return std::optional<DeviceLink>(bus.Open()); };
        setup.protocol = std::move(protocol);
        setup.geometry = geometry;
        setup.sleep = [this](std::chrono::microseconds pause) {
            bus.WithModel([&](Hd44780Model& m) { m.Wait(pause); });
            slept += pause; // the writer's thread alone until WaitUntilSent
        };
        if (adjust)
            adjust(setup);
        writer = std::make_unique<LcdWriter>(std::move(setup));
        EXPECT_TRUE(writer->WaitUntilSent(5s));
        bus.Take(); // the initialisation
    }
    std::vector<Transfer> Show(const std::string& frame)
    {
        writer->Show(frame);
        EXPECT_TRUE(writer->WaitUntilSent(5s));
        return bus.Take();
    }
    ~Writer() { writer.reset(); }

    Hd44780Model model{Pcf8574Pins::A()};
    ModelI2cBus bus;
    std::chrono::microseconds slept{0};
    std::unique_ptr<LcdWriter> writer;
};

std::size_t Bytes(const std::vector<Transfer>& transfers)
{
    std::size_t bytes = 0;
    for (const auto& transfer : transfers)
        for (const auto& message : transfer)
            bytes += message.size();
    return bytes;
}

std::string Letters(int cells)
{
    std::string text;
    for (int i = 0; i < cells; ++i)
        text.push_back(static_cast<char>('A' + i % 26));
    return text;
}

TEST(I2cPacing, EachTimingGivesTheControllerItsTimeWithTheFewestIdleBytes)
{
    const std::string frame = Letters(80);
    for (const auto timing : {Hd44780Timing::Fast, Hd44780Timing::Standard, Hd44780Timing::Slow}) {
        for (const int hz : {100000, 400000}) {
            SCOPED_TRACE(testing::Message() << "timing " << static_cast<int>(timing) << " at " << hz << " Hz");
            Writer display({20, 4}, {timing, hz}, timing);
            const auto transfers = display.Show(frame);
            EXPECT_EQ(display.model.Visible(20, 4), frame);
            EXPECT_EQ(display.model.tooEarly(), 0);
            const std::size_t bare = 81 * 4; // a jump and 80 characters
            if (hz == 100000 || timing == Hd44780Timing::Fast) {
                EXPECT_EQ(Bytes(transfers), bare) << "the bus alone is slow enough";
            } else {
                ASSERT_TRUE(display.model.leastSlack());
                EXPECT_GT(Bytes(transfers), bare);
                EXPECT_LT(*display.model.leastSlack(), std::chrono::nanoseconds(9 * 1000000000LL / hz))
                    << "one idle byte fewer would have been too early";
            }
        }
    }
    // The model catches a module slower than the driver was told.
    Writer hurried({20, 4}, {Hd44780Timing::Fast, 400000}, Hd44780Timing::Slow);
    hurried.Show(frame);
    EXPECT_GT(hurried.model.tooEarly(), 0);
}

TEST(I2cPacing, AModuleThatCanBeReadEndsTheClearsWaitItself)
{
    std::chrono::microseconds slept[2];
    for (const bool readable : {false, true}) {
        Writer display({20, 4}, {Hd44780Timing::Slow, 100000}, Hd44780Timing::Fast, readable);
        const auto before = display.slept;
        display.writer->Reinitialise();
        display.Show(Letters(80));
        slept[readable] = display.slept - before;
        EXPECT_EQ(display.model.tooEarly(), 0);
        EXPECT_EQ(display.model.Visible(20, 4), Letters(80));
    }
    EXPECT_EQ(slept[false] - slept[true], ClearTime(Hd44780Timing::Slow))
        << "the busy flag ends the clear's wait; the other waits come before 4-bit mode, when it cannot be read";
}

TEST(I2cWrite, KnownFramesGoAsTheFewestMessagesInOneTransfer)
{
    Writer display({20, 4});
    const std::string rows[] = {"ABCDEFGHIJKLMNOPQRST", "abcdefghijklmnopqrst", "0123456789ABCDEFGHIJ",
                                "KLMNOPQRSTUVWXYZabcd"};
    std::string frame = rows[0] + rows[1] + rows[2] + rows[3];
    // DDRAM runs on: row 2 after row 0 (0x14 after 0x13), row 1 after row 2 (0x40 after 0x27 in
    // two-line mode), row 3 after row 1: one jump for the whole screen.
    EXPECT_EQ(display.Show(frame),
              (std::vector<Transfer>{{Jump(0x00) + Text(rows[0]) + Text(rows[2]) + Text(rows[1]) + Text(rows[3])}}));

    frame[60 + 5] = '#'; // row 3, column 5
    EXPECT_EQ(display.Show(frame), (std::vector<Transfer>{{Jump(0x54 + 5) + Text("#")}}));
    frame[60 + 6] = '$'; // where the cursor stands now: no jump
    EXPECT_EQ(display.Show(frame), (std::vector<Transfer>{{Text("$")}}));

    frame[2] = '1'; // two places on row 0, too far apart to rewrite what lies between
    frame[10] = '2';
    frame[19] = '3'; // and the end of row 0 with the start of row 2, which follows it
    frame[40] = '4';
    EXPECT_EQ(display.Show(frame),
              (std::vector<Transfer>{{Jump(0x02) + Text("1"), Jump(0x0A) + Text("2"), Jump(0x13) + Text("34")}}));

    frame[30] = '5'; // one unchanged cell between two changes is cheaper written than jumped
    frame[32] = '6';
    EXPECT_EQ(display.Show(frame),
              (std::vector<Transfer>{{Jump(0x40 + 10) + Text("5") + Text(rows[1].substr(11, 1)) + Text("6")}}));
    EXPECT_EQ(display.model.Visible(20, 4), frame);
}

TEST(I2cWrite, AnAdapterWithoutCombinedTransfersGetsTheSameMessagesOneByOne)
{
    Writer display({16, 2});
    display.bus.RefuseCombined(true);
    const int tries = display.bus.combinedTries();
    EXPECT_EQ(display.Show("Hello     world!"),
              (std::vector<Transfer>{{Jump(0x00) + Text("Hello")}, {Jump(0x0A) + Text("world!")}}));
    EXPECT_EQ(display.Show("Hello     World!"), (std::vector<Transfer>{{Jump(0x0A) + Text("W")}}));
    EXPECT_EQ(display.bus.combinedTries(), tries + 1) << "refused once, not asked again";
    EXPECT_EQ(display.model.Visible(16, 2).substr(0, 16), "Hello     World!");
}

TEST(I2cWrite, TheLastUpdatesTrafficIsMeasured)
{
    // A clock that moves on a millisecond each time it is read.
    auto ticks = std::make_shared<std::atomic<int>>(0);
    Writer display({20, 4}, {}, {}, false, [ticks](WriterSetup& setup) {
        setup.now = [ticks] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(++*ticks)); };
    });
    display.Show(std::string(20, 'x'));
    const LinkTraffic traffic = display.writer->LastTraffic();
    EXPECT_EQ(traffic.elapsed, 1ms) << "from before the update's transfer to after it";
    EXPECT_EQ(traffic.messages, 1u);
    EXPECT_EQ(traffic.transfers, 1u);
    EXPECT_EQ(traffic.bytes, 21u * 4);
    // A start, the address byte and the data at nine clocks a byte, and a stop.
    EXPECT_EQ(traffic.clocks, 1u + 9 + 9 * 84 + 1);
}

TEST(I2cRepair, AModuleThatMissedANibbleIsRepairedAtTheCheckAfterTheFrame)
{
    pixtera::test::CapturedLog log;
    Writer display({20, 4}, {}, {}, true, [](WriterSetup& setup) { setup.verifyEvery = 0ms; });
    std::string frame = Letters(80);
    display.Show(frame);
    EXPECT_GT(display.bus.reads(), 0) << "checked after writing";
    EXPECT_FALSE(log.Contains("initialised again")) << log.Text();

    const int reads = display.bus.reads();
    for (int i = 0; i < 5; ++i)
        display.Show(frame);
    EXPECT_EQ(display.bus.reads(), reads) << "a screen that stands still is never read";

    frame.replace(20, 20, "a frame with a slip ");
    display.bus.WithModel([](Hd44780Model& m) { m.DropNibbleAfter(9); });
    display.Show(frame);
    EXPECT_EQ(display.model.Visible(20, 4), frame);
    EXPECT_TRUE(log.Contains("read back its cursor at")) << log.Text();
    EXPECT_TRUE(log.Contains("initialised again"));
}

TEST(I2cRepair, AModuleThatCannotBeReadIsRefreshedOnlyWhenAsked)
{
    for (const bool refreshed : {false, true}) {
        Writer display({20, 4}, {}, {}, false, [&](WriterSetup& setup) {
            setup.verifyEvery = 0ms;
            setup.refresh = refreshed ? 20ms : 0ms;
        });
        const std::string frame = Letters(80);
        display.Show(frame);
        EXPECT_EQ(display.bus.reads(), 0) << "nothing to read on such a backpack";
        // Noise writes a character behind the driver's back.
        display.bus.WithModel([](Hd44780Model& m) { m.Feed(Spelt('#', true)); });
        const bool repaired = pixtera::test::Eventually(
            [&] { return display.bus.WithModel([&](Hd44780Model& m) { return m.Visible(20, 4) == frame; }); },
            refreshed ? 10000ms : 200ms);
        EXPECT_EQ(repaired, refreshed);
    }
}

} // namespace
