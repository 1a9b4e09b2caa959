// SPDX-License-Identifier: MIT
// A display the kernel drives, with a FIFO standing in for /dev/lcd: what the writer sends is the
// kernel driver's escape sequences for the cells that changed, the user characters and the
// backlight, and nothing for a frame the display already shows.

#include "kernel_lcd_device.h"
#include "kernel_lcd_protocol.h"
#include "lcd_writer.h"
#include "test_environment.h"

#include <pixtera/platform/unique_fd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using namespace std::chrono_literals;

const std::string kInitialise = "\n\x1b[LI\x1b[LD\x1b[Lc\x1b[Lb\x1b[L+\x1b[2J";

std::filesystem::path MadeFifo(const std::string& name)
{
    const auto path = test::TestDirectory() / name;
    std::filesystem::remove(path);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
    return path;
}

// The kernel's LCD as a FIFO: the test reads the far end.
class KernelLcdStandIn {
public:
    explicit KernelLcdStandIn(const std::string& name, Geometry geometry = {16, 2},
                              CharacterRom rom = CharacterRom::A00)
        : path_(MadeFifo(name)), reader_(open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {
        WriterSetup setup;
        setup.name = "Kernel LCD";
        setup.device = path_.string();
        setup.open = [path = path_.string()](std::string& error) { return OpenKernelLcdDevice(path, error); };
        setup.protocol = std::make_shared<KernelLcdProtocol>(true, rom);
        setup.geometry = geometry;
        setup.rom = rom;
        setup.retry = 5ms;
        writer = std::make_unique<LcdWriter>(std::move(setup));
    }

    // Hands everything over and returns the bytes it caused.
    std::string Sent()
    {
        EXPECT_TRUE(writer->WaitUntilSent(10s));
        std::string bytes;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(reader_.get(), buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<std::size_t>(n));
        return bytes;
    }

    // Everything the writer sent, once there are `count` bytes of it.
    std::string Received(std::size_t count)
    {
        std::string bytes;
        EXPECT_TRUE(test::Eventually([&] {
            char buffer[4096];
            ssize_t n = 0;
            while ((n = read(reader_.get(), buffer, sizeof buffer)) > 0)
                bytes.append(buffer, static_cast<std::size_t>(n));
            return bytes.size() >= count;
        }));
        return bytes;
    }

private:
    std::filesystem::path path_;
    UniqueFd reader_;

public:
    std::unique_ptr<LcdWriter> writer; // before the reader goes
};

TEST(KernelLcd, FramesGoOutAsPositionsAndTheChangedCellsOnly)
{
    KernelLcdStandIn lcd("frames");
    lcd.writer->Show("Hello           "
                     "CPU          42%");
    EXPECT_EQ(lcd.Sent(), kInitialise + "\x1b[Lx0y0;Hello\x1b[Lx0y1;CPU\x1b[Lx13y1;42%");

    lcd.writer->Show("Hallo           "
                     "CPU          42%");
    EXPECT_EQ(lcd.Sent(), "\x1b[Lx1y0;a");

    // Unchanged: nothing; the next change arrives alone, so nothing came before it.
    lcd.writer->Show("Hallo           "
                     "CPU          42%");
    EXPECT_TRUE(lcd.writer->WaitUntilSent(10s));
    lcd.writer->Show("Hallo           "
                     "CPU           7%");
    EXPECT_EQ(lcd.Sent(), "\x1b[Lx13y1; 7");

    // Two changes one cell apart: the cell between is rewritten rather than jumped over.
    lcd.writer->Show("HaXlX           "
                     "CPU           7%");
    EXPECT_EQ(lcd.Sent(), "\x1b[Lx2y0;XlX");
}

TEST(KernelLcd, UserCharactersAreDefinedByEscapeAndShownByTheirCodes)
{
    KernelLcdStandIn lcd("glyphs");
    lcd.writer->Define(0, {0x1F, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1F});
    lcd.writer->Define(5, {0x00, 0x0A, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x15});
    lcd.writer->Show(std::string("\x08\x0D", 2) + std::string(30, ' '));
    EXPECT_EQ(lcd.Sent(), kInitialise + "\x1b[LG01F1111111111111F;" + "\x1b[LG5000A1F0400000015;" + "\x1b[Lx0y0;" +
                              std::string("\0\5", 2))
        << "a row keeps five pixels; codes 8-15 go out as the user characters 0-7, never as controls";

    lcd.writer->Define(5, {0x00, 0x0A, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x15});
    lcd.writer->Define(5, {0x01, 0x0A, 0x1F, 0x04, 0x00, 0x00, 0x00, 0x15});
    EXPECT_EQ(lcd.Sent(), "\x1b[LG5010A1F0400000015;") << "only the character that changed";
}

TEST(KernelLcd, TextGoesThroughTheModulesRomAndNeverAsAControl)
{
    KernelLcdStandIn lcd("rom", {8, 1});
    lcd.writer->Show("\xE4\x1B\n\t\f\r\\~"); // ä is 0xE1 on A00; escape has no glyph; the rest look alike
    EXPECT_EQ(lcd.Sent(), kInitialise + "\x1b[Lx0y0;\xE1 " + std::string("\x02\x01\x04\x05", 4) + "/-");

    KernelLcdStandIn european("rom-a02", {4, 1}, CharacterRom::A02);
    european.writer->Show("\x1B\\~\x9C");
    const std::string sent = european.Sent();
    ASSERT_GT(sent.size(), kInitialise.size());
    const std::string cells = sent.substr(kInitialise.size());
    EXPECT_EQ(cells.substr(0, 8), "\x1b[Lx1y0;") << "the escape is a blank, which the cleared module shows";
    EXPECT_EQ(cells.find('\x1b', 1), std::string::npos) << "one escape, the position's";
}

TEST(KernelLcd, TheBacklightIsSwitchedAndKeptAcrossReinitialisation)
{
    KernelLcdStandIn lcd("backlight", {4, 1});
    lcd.writer->Show("On  ");
    lcd.Sent();
    lcd.writer->SetBacklight(false);
    EXPECT_EQ(lcd.Sent(), "\x1b[L-");
    lcd.writer->Reinitialise();
    // The writer says the backlight again after every new start, as it does to modules that forget.
    std::string again = kInitialise + "\x1b[L-\x1b[Lx0y0;On";
    again.replace(again.find("\x1b[L+"), 4, "\x1b[L-");
    EXPECT_EQ(lcd.Received(again.size()), again) << "the controller set up again, unlit, and the frame again";
}

TEST(KernelLcdDevice, OnlyTheKernelsDeviceOrAFifoIsOpenedAndNeverThroughALink)
{
    std::string error;
    const auto regular = test::TestDirectory() / "lcd-file";
    std::ofstream(regular) << "";
    EXPECT_FALSE(OpenKernelLcdDevice(regular.string(), error));
    EXPECT_NE(error.find("is not the kernel's LCD device"), std::string::npos) << error;

    error.clear();
    EXPECT_FALSE(OpenKernelLcdDevice("/dev/null", error)) << "a character device of another number";
    EXPECT_NE(error.find("is not the kernel's LCD device"), std::string::npos) << error;

    const auto fifo = MadeFifo("lcd-fifo");
    error.clear();
    EXPECT_FALSE(OpenKernelLcdDevice(fifo.string(), error)) << "no reader: refused at once, not waited for";
    EXPECT_FALSE(error.empty());

    UniqueFd reader(open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    EXPECT_TRUE(OpenKernelLcdDevice(fifo.string(), error)) << error;

    const auto link = test::TestDirectory() / "lcd-link";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(fifo, link);
    error.clear();
    EXPECT_FALSE(OpenKernelLcdDevice(link.string(), error));
    EXPECT_NE(error.find("is a link"), std::string::npos) << error;

    error.clear();
    errno = 0;
    EXPECT_FALSE(OpenKernelLcdDevice((test::TestDirectory() / "no-lcd").string(), error));
    EXPECT_EQ(errno, ENOENT) << "the writer waits for a device that is gone by it";
}

} // namespace
