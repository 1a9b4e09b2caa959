// SPDX-License-Identifier: MIT
#include "captured_log.h"
#include "device_link.h"
#include "fake_device.h"
#include "hd44780_model.h"
#include "lcd_settings.h"
#include "lcd_writer.h"
#include "serial_lcd_model.h"
#include "test_environment.h"
#include "writer_bench.h"

#include <pixtera/platform/event_log.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <mutex>
#include <random>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace pixtera::lcd::test;
using namespace std::chrono_literals;

Glyph RandomGlyph(std::mt19937& random)
{
    Glyph glyph{};
    for (auto& row : glyph)
        row = static_cast<std::uint8_t>(random() & 0x1F);
    return glyph;
}

// Random frames: mostly a few cells changed, now and then a new screen; user characters now and
// then. `alphabet` holds the bytes frames are made of.
template <class Check>
void RunRandomSequences(const std::string& alphabet,
                        const std::function<std::shared_ptr<LcdProtocol>(Geometry)>& makeProtocol,
                        const std::function<std::unique_ptr<Check>(Geometry)>& makeCheck)
{
    const Geometry geometries[] = {{16, 2}, {20, 4}, {16, 4}, {40, 2}, {8, 1}};
    std::mt19937 random(20261207);
    for (int sequence = 0; sequence < 300; ++sequence) {
        const Geometry geometry = geometries[random() % std::size(geometries)];
        Bench bench(makeProtocol(geometry), geometry);
        auto check = makeCheck(geometry);
        std::string frame(static_cast<std::size_t>(geometry.cells()), ' ');
        std::array<std::optional<Glyph>, kUserCharacters> glyphs;
        for (int step = 0; step < 12; ++step) {
            const int cells = random() % 4 == 0 ? geometry.cells() : static_cast<int>(random() % 6);
            for (int i = 0; i < cells; ++i)
                frame[random() % frame.size()] = alphabet[random() % alphabet.size()];
            if (random() % 3 == 0) {
                const int code = static_cast<int>(random() % kUserCharacters);
                glyphs[static_cast<std::size_t>(code)] = RandomGlyph(random);
                bench.writer->Define(code, *glyphs[static_cast<std::size_t>(code)]);
            }
            bench.writer->Show(frame);
            check->Feed(bench.Sent());
            ASSERT_TRUE(check->Matches(frame, glyphs)) << "sequence " << sequence << ", step " << step;
        }
    }
}

struct I2cCheck {
    I2cCheck(Geometry g, Pcf8574Pins pins) : geometry(g), model(pins) {}
    void Feed(const std::string& bytes) { model.Feed(bytes); }
    bool Matches(const std::string& frame, const std::array<std::optional<Glyph>, kUserCharacters>& glyphs) const
    {
        for (int code = 0; code < kUserCharacters; ++code)
            if (glyphs[static_cast<std::size_t>(code)] &&
                model.GlyphOf(code) != *glyphs[static_cast<std::size_t>(code)])
                return false;
        return model.Visible(geometry.columns, geometry.rows) == ToModule(CharacterRom::A00, frame);
    }
    Geometry geometry;
    Hd44780Model model;
};

struct SerialCheck {
    explicit SerialCheck(Geometry g) : model(g.columns, g.rows) {}
    void Feed(const std::string& bytes) { model.Feed(bytes); }
    bool Matches(std::string frame, const std::array<std::optional<Glyph>, kUserCharacters>& glyphs) const
    {
        for (int code = 0; code < kUserCharacters; ++code)
            if (glyphs[static_cast<std::size_t>(code)] &&
                model.GlyphOf(code) != *glyphs[static_cast<std::size_t>(code)])
                return false;
        for (char& c : frame) { // what the module shows of the frame: its ROM's codes
            const auto byte = static_cast<unsigned char>(c);
            c = static_cast<char>(byte < 16 ? byte & 7 : ToModule(CharacterRom::A00, byte));
        }
        return model.unknownCommands().empty() && model.screen() == frame;
    }
    SerialLcdModel model;
};

const std::string kAlphabet = std::string("ABCxyz 0123456789:%") + '\x01' + '\x08' + '\x0F' + '\xB0' + '\xFE' + '\xFF';

TEST(LcdWriter, AfterEveryFrameAnI2cModuleShowsItAndItsUserCharacters)
{
    for (const auto pins : {Pcf8574Pins::A(), Pcf8574Pins::B()}) {
        RunRandomSequences<I2cCheck>(
            kAlphabet, [&](Geometry g) { return std::make_shared<Hd44780I2cProtocol>(g, pins, true); },
            [&](Geometry g) { return std::make_unique<I2cCheck>(g, pins); });
    }
}

TEST(LcdWriter, AfterEveryFrameASerialModuleShowsItAndItsUserCharacters)
{
    RunRandomSequences<SerialCheck>(
        kAlphabet, [](Geometry) { return std::make_shared<SerialLcdProtocol>(SerialLcdOptions{}); },
        [](Geometry g) { return std::make_unique<SerialCheck>(g); });
}

TEST(LcdWriter, InitialisationBringsAnI2cModuleTo4BitModeLitOrDarkFromAnyState)
{
    for (const bool backlight : {true, false}) {
        std::string pauses;
        const Geometry geometry{20, 4};
        Bench bench(std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), backlight), geometry, &pauses);
        Hd44780Model model(Pcf8574Pins::A());
        model.Feed(bench.Sent());
        EXPECT_TRUE(model.fourBit());
        EXPECT_TRUE(model.displayOn());
        EXPECT_TRUE(model.increments());
        EXPECT_EQ(model.backlight(), backlight);
        EXPECT_EQ(model.Visible(20, 4), std::string(80, ' ')) << "cleared";
        EXPECT_EQ(pauses, "50000 4500 150 150 150 2000 ") << "the controller's waits, the clear's last";
    }
    // A module still in 4-bit mode, half-way through a byte, when the driver starts again.
    const Geometry geometry{16, 2};
    Bench bench(std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true), geometry);
    Hd44780Model model(Pcf8574Pins::A());
    model.Feed(std::string("\x3C\x38\x2C\x28\x1C\x18", 6)); // 4-bit function set, then one nibble
    model.Feed(bench.Sent());
    bench.writer->Show("Hello");
    model.Feed(bench.Sent());
    EXPECT_EQ(model.Visible(16, 2).substr(0, 5), "Hello");
}

TEST(LcdWriter, AnUnchangingFrameCostsNothingAndAClockOnlyItsChangedDigits)
{
    struct Case {
        std::shared_ptr<LcdProtocol> protocol;
        std::size_t bytesPerCharacter; // on the link, per character or instruction
    };
    const Geometry geometry{20, 4};
    const Case cases[] = {{std::make_shared<SerialLcdProtocol>(SerialLcdOptions{}), 1},
                          {std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true), 4}};
    for (const auto& c : cases) {
        Bench bench(c.protocol, geometry);
        const std::string screen = "Load      0.42      Memory 61 %       12:00:00" + std::string(34, ' ');
        bench.writer->Show(screen);
        EXPECT_FALSE(bench.Sent().empty());
        std::size_t bytes = 0;
        for (int frame = 0; frame < 60 * 33; ++frame) { // 60 s at 30 ms
            bench.writer->Show(screen);
            bytes += bench.Sent().size();
        }
        EXPECT_EQ(bytes, 0u) << "a static screen writes nothing";

        for (int second = 1; second < 60; ++second) {
            std::string frame = screen;
            frame[44] = static_cast<char>('0' + second / 10);
            frame[45] = static_cast<char>('0' + second % 10);
            bench.writer->Show(frame);
            bytes += bench.Sent().size();
        }
        // Each second one jump and one digit; every tenth second two digits.
        const std::size_t jump = static_cast<std::size_t>(c.protocol->jumpCost()) * c.bytesPerCharacter;
        EXPECT_EQ(bytes, 59 * (jump + c.bytesPerCharacter) + 5 * c.bytesPerCharacter);
    }
}

TEST(LcdWriter, AModuleThatGoesAwayIsReportedOnceAndGetsEverythingWhenBack)
{
    pixtera::test::CapturedLog log;
    const Geometry geometry{20, 4};
    Bench bench(std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true), geometry);
    Hd44780Model first(Pcf8574Pins::A());
    const Glyph bar{31, 31, 31, 31, 31, 31, 31, 31};
    bench.writer->Define(0, bar);
    bench.writer->Show("first frame");
    first.Feed(bench.Sent());
    ASSERT_EQ(first.Visible(20, 4).substr(0, 11), "first frame");

    bench.Unplug(); // gone in the middle of the next frame's bytes
    bench.writer->Show("second frame, longer than the first");
    EXPECT_TRUE(bench.writer->WaitUntilSent(5s)) << "an absent module does not hold anyone up";
    const int opens = bench.opens();
    for (int i = 0; i < 200 && bench.opens() < opens + 3; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_GE(bench.opens(), opens + 3) << "tried again and again";
    bench.writer->Show("third frame");

    bench.PlugIn();
    for (int i = 0; i < 2000 && bench.opens() == opens; ++i)
        std::this_thread::sleep_for(1ms);
    Hd44780Model back(Pcf8574Pins::A()); // a module that lost its power: garbage until initialised
    for (int i = 0; i < 2000 && back.Visible(20, 4).substr(0, 11) != "third frame"; ++i) {
        back.Feed(bench.Sent());
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(back.Visible(20, 4), "third frame" + std::string(69, ' '));
    EXPECT_EQ(back.GlyphOf(0), bar) << "the user characters went again";
    const auto lines = log.Lines();
    int warnings = 0;
    for (const auto& line : lines)
        warnings += line.find("went away") != std::string::npos || line.find("trying again") != std::string::npos;
    EXPECT_EQ(warnings, 1) << "one report per outage";
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("the fake is back"), std::string::npos) << lines.back();
}

TEST(LcdWriter, TheLinkIsDownFromItsLossUntilTheModuleIsBackAndNeverLinkedHasNoOutageStart)
{
    const Geometry geometry{16, 2};
    Bench never(std::make_shared<SerialLcdProtocol>(SerialLcdOptions{}), geometry, nullptr, CharacterRom::A00, false);
    ASSERT_TRUE(pixtera::test::Eventually([&] { return never.opens() >= 2; }));
    EXPECT_FALSE(never.writer->Link().linked);
    EXPECT_FALSE(never.writer->Link().lostSince) << "a module never linked has no outage start";

    Bench bench(std::make_shared<SerialLcdProtocol>(SerialLcdOptions{}), geometry);
    bench.writer->Show("linked");
    bench.Sent();
    ASSERT_TRUE(pixtera::test::Eventually([&] { return bench.writer->Link().linked; }));
    EXPECT_FALSE(bench.writer->Link().lostSince);

    const auto before = std::chrono::system_clock::now();
    bench.Unplug();
    bench.writer->Show("lost on the way");
    ASSERT_TRUE(pixtera::test::Eventually([&] { return !bench.writer->Link().linked; }));
    const auto after = std::chrono::system_clock::now();
    const WriterLink lost = bench.writer->Link();
    ASSERT_TRUE(lost.lostSince);
    EXPECT_GE(*lost.lostSince, before);
    EXPECT_LE(*lost.lostSince, after);
    const int opens = bench.opens();
    ASSERT_TRUE(pixtera::test::Eventually([&] { return bench.opens() >= opens + 3; }));
    EXPECT_FALSE(bench.writer->Link().linked);
    EXPECT_EQ(bench.writer->Link().lostSince, lost.lostSince) << "failed attempts do not move the outage's start";

    bench.PlugIn();
    ASSERT_TRUE(pixtera::test::Eventually([&] { return bench.writer->Link().linked; }));
    EXPECT_FALSE(bench.writer->Link().lostSince) << "linked again: no outage";
}

TEST(LcdWriter, TheBacklightAndBrightnessGoOutAndStaySoAcrossAReconnection)
{
    const Geometry geometry{16, 2};
    Bench i2c(std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true), geometry);
    Hd44780Model backpack(Pcf8574Pins::A());
    i2c.writer->Show("lit");
    backpack.Feed(i2c.Sent());
    EXPECT_TRUE(backpack.backlight());
    i2c.writer->SetBacklight(false);
    backpack.Feed(i2c.Sent());
    EXPECT_FALSE(backpack.backlight()) << "the backpack's backlight line";
    i2c.writer->Show("dark");
    backpack.Feed(i2c.Sent());
    EXPECT_FALSE(backpack.backlight()) << "and every byte after keeps it off";
    EXPECT_EQ(backpack.Visible(16, 2).substr(0, 4), "dark");

    Bench serial(std::make_shared<SerialLcdProtocol>(SerialLcdOptions{}), geometry);
    SerialLcdModel module(16, 2);
    serial.writer->SetBacklight(false);
    serial.writer->SetBrightness(128);
    module.Feed(serial.Sent());
    EXPECT_FALSE(module.backlight());
    EXPECT_EQ(module.brightness(), 128);
    serial.Unplug();
    serial.PlugIn();
    serial.writer->Show("back");
    SerialLcdModel replaced(16, 2);
    for (int i = 0; i < 2000 && replaced.screen().substr(0, 4) != "back"; ++i) {
        replaced.Feed(serial.Sent());
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_FALSE(replaced.backlight()) << "a module plugged in again is dark as asked";
    EXPECT_EQ(replaced.brightness(), 128);
}

TEST(LcdSettings, ReadWithDefaultsAndNamedProblems)
{
    std::vector<std::string> problems;
    const auto i2c =
        ReadI2cSettings(ConfigurationText("bus=3;address=0x3f;columns=16;rows=2;backlight=off;pinmap=b"), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(i2c.bus, 3);
    EXPECT_EQ(i2c.address, 0x3F);
    EXPECT_EQ(i2c.geometry.columns, 16);
    EXPECT_FALSE(i2c.backlight);
    EXPECT_EQ(i2c.pins.enable, Pcf8574Pins::B().enable);
    EXPECT_FALSE(i2c.detectPins) << "a map given is used as it is";
    EXPECT_TRUE(ReadI2cSettings(ConfigurationText(""), problems).detectPins) << "auto by default";
    EXPECT_TRUE(ReadI2cSettings(ConfigurationText("pinmap=auto"), problems).detectPins);

    EXPECT_EQ(i2c.timing, Hd44780Timing::Standard);
    EXPECT_EQ(i2c.refresh, 0) << "no re-initialisation unless asked";
    const auto slow = ReadI2cSettings(ConfigurationText("timing=slow;refresh=30"), problems);
    EXPECT_EQ(slow.timing, Hd44780Timing::Slow);
    EXPECT_EQ(slow.refresh, 30);
    EXPECT_EQ(ReadI2cSettings(ConfigurationText("timing=fast"), problems).timing, Hd44780Timing::Fast);
    EXPECT_TRUE(problems.empty());

    const auto bad = ReadI2cSettings(
        ConfigurationText("address=0x99;rows=5;pinmap=c;backlight=dim;timing=quick;refresh=-1"), problems);
    EXPECT_EQ(problems,
              (std::vector<std::string>{"address (0x03 to 0x77)", "rows (1 to 4)", "backlight (on or off)",
                                        "pinmap (auto, a, b, adafruit, plate or the pins of RS, RW, E, backlight, "
                                        "D4-D7 such as 0,1,2,3,4,5,6,7)",
                                        "timing (fast, standard or slow)", "refresh (0 to 86400 seconds)"}));
    EXPECT_EQ(bad.address, 0x27);
    EXPECT_EQ(bad.geometry.rows, 4);
    EXPECT_EQ(bad.timing, Hd44780Timing::Standard);

    problems.clear();
    const auto serial = ReadSerialSettings(ConfigurationText("device=/dev/lcd;speed=9600;contrast=200"), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(serial.device, "/dev/lcd");
    EXPECT_EQ(serial.speed, 9600);
    EXPECT_EQ(serial.options.contrast, 200);
    EXPECT_FALSE(serial.options.brightness) << "left as the module has it";
    ReadSerialSettings(ConfigurationText("speed=12345;brightness=300"), problems);
    EXPECT_EQ(problems.size(), 2u);
}

TEST(LcdSettings, APinMapListedPinByPinDrivesTheModuleWiredSo)
{
    std::vector<std::string> problems;
    const auto b = ReadI2cSettings(ConfigurationText("pinmap=6,5,4,7,0,1,2,3"), problems).pins;
    const auto named = Pcf8574Pins::B();
    EXPECT_EQ(std::tie(b.rs, b.rw, b.enable, b.backlight), std::tie(named.rs, named.rw, named.enable, named.backlight));
    EXPECT_TRUE(std::equal(std::begin(b.data), std::end(b.data), std::begin(named.data)));

    // An odd wiring: RS P7, RW P6, E P5, backlight P4, D4-D7 on P3-P0.
    const auto settings = ReadI2cSettings(ConfigurationText("pinmap=7,6,5,4,3,2,1,0"), problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(settings.detectPins);
    Hd44780Model module(settings.pins);
    const Hd44780I2cProtocol protocol({16, 2}, settings.pins, true);
    LinkBatch batch;
    protocol.Initialise(batch);
    protocol.Write(batch, "wired");
    for (const auto& segment : batch.segments())
        module.Feed(segment.bytes);
    EXPECT_EQ(module.Visible(16, 2).substr(0, 5), "wired");
    EXPECT_TRUE(module.backlight());

    for (const char* bad :
         {"0,1,2,3,4,5,6", "0,1,2,3,4,5,6,7,0", "0,1,2,3,4,5,6,6", "0,1,2,3,4,5,6,8", "0,1,2,3,4,5,6,"}) {
        problems.clear();
        const auto read = ReadI2cSettings(ConfigurationText(std::string("pinmap=") + bad), problems);
        EXPECT_EQ(problems.size(), 1u) << bad;
        EXPECT_TRUE(read.detectPins) << bad;
    }
}

TEST(LcdSettings, TheSerialModuleGetsItsBacklightContrastAndBrightness)
{
    const Geometry geometry{16, 2};
    Bench bench(std::make_shared<SerialLcdProtocol>(SerialLcdOptions{true, 120, 200}), geometry);
    SerialLcdModel model(16, 2);
    model.Feed(bench.Sent());
    EXPECT_TRUE(model.backlight());
    EXPECT_EQ(model.contrast(), 120);
    EXPECT_EQ(model.brightness(), 200);
    EXPECT_EQ(model.screen(), std::string(32, ' '));
    EXPECT_TRUE(model.unknownCommands().empty());
}

} // namespace

namespace {

TEST(DeviceLinks, APathThatIsNoI2cBusIsSaidSoWithTheAddressInHex)
{
    const auto notABus = pixtera::test::TestDirectory() / "i2c-7";
    std::ofstream(notABus) << "";
    std::string error;
    EXPECT_FALSE(pixtera::lcd::OpenI2cDevice(notABus.string(), 0x27, error));
    EXPECT_EQ(error, notABus.string() + " is not an I2C bus");
    EXPECT_FALSE(pixtera::lcd::OpenI2cDevice(pixtera::test::TestDirectory().string() + "/missing", 0x27, error));
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

} // namespace

namespace {

using namespace std::chrono_literals;

TEST(LcdWriter, AModuleUnpluggedUnderAStaticScreenIsNoticedAndGetsTheFrameWhenBack)
{
    pixtera::test::CapturedLog log;
    using namespace pixtera::lcd;
    const Geometry geometry{20, 4};
    Bench bench(std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true), geometry);
    bench.writer->Show("static screen");
    ASSERT_TRUE(bench.writer->WaitUntilSent(5s));
    bench.Sent();
    const int opens = bench.opens();

    bench.Unplug(); // nothing is written: only watching the link can tell
    for (int i = 0; i < 2000 && bench.opens() == opens; ++i)
        std::this_thread::sleep_for(1ms);
    EXPECT_GT(bench.opens(), opens) << "the outage was noticed without a write";
    bench.PlugIn();
    Hd44780Model back(Pcf8574Pins::A());
    for (int i = 0; i < 3000 && back.Visible(20, 4).substr(0, 13) != "static screen"; ++i) {
        back.Feed(bench.Sent());
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(back.Visible(20, 4), "static screen" + std::string(67, ' ')) << "initialised and given the whole frame";
    EXPECT_TRUE(log.Contains("went away")) << log.Text();
}

} // namespace
