// SPDX-License-Identifier: MIT
#pragma once
// The CrystalFontz packet modules as the writer drives them: every operation is a command packet,
// each a message of its own, and text goes as "send data to LCD" commands that carry their own
// column and row, so a run of changed cells costs one packet. The packets reach the module through
// a PacketLink, which waits for each answer before the next command.

#include "crystalfontz_module.h"
#include "crystalfontz_port.h"
#include "crystalfontz_sensors.h"
#include "device_link.h"
#include "lcd_protocol.h"

#include <pixtera/sdk/character_rom.h>

#include <array>
#include <memory>
#include <optional>

namespace pixtera::lcd {

// The CFA635's LEDs: each off, green, red or both (amber).
enum class LedColour : std::uint8_t { Off, Green, Red, Amber };
using LedColours = std::array<LedColour, cfa::kLeds>;
// A LedState as a colour; none for on, which no die of the CFA635 is alone.
std::optional<LedColour> LedColourOf(long state);
LONG LedStateOf(LedColour colour);

struct CrystalfontzOptions {
    bool backlight = true;
    int brightness = 100; // the backlight's level when lit, 0-100
    std::optional<int> contrast; // 0-255, limited to the model's; none: as the module keeps it
    std::optional<LedColours> leds; // the CFA635's; none: as the module keeps them
    CharacterRom rom = CharacterRom::A00; // what the frames' characters are mapped to
    int watchdog = 0; // seconds without a feed before the module resets the host; 0: off
    SensorChannels sensors; // the fans and temperature sensors to hear from; none: reporting left alone
};

class CrystalfontzProtocol final : public LcdProtocol {
public:
    CrystalfontzProtocol(CrystalfontzModel model, CrystalfontzOptions options);

    void Initialise(LinkBatch& batch) const override;
    // Only remembered: the next Write carries the place.
    void MoveTo(LinkBatch& batch, int column, int row) const override;
    void WriteCodes(LinkBatch& batch, std::string_view codes) const override;
    CharacterRom rom() const override { return options_.rom; }
    void Define(LinkBatch& batch, int code, const Glyph& glyph) const override;
    // A packet's type, length, CRC, column and row: a gap shorter than that is cheaper rewritten.
    int jumpCost() const override { return 6; }
    void Backlight(LinkBatch& batch, bool on) override;
    bool Brightness(LinkBatch& batch, int level) override;
    // The CFA635's LEDs: off, green, red or amber.
    bool Led(LinkBatch& batch, int index, long state) override;

private:
    void SendBacklight(LinkBatch& batch) const;
    static void SendLed(LinkBatch& batch, int led, LedColour colour);

    const CrystalfontzModel model_;
    const CrystalfontzOptions options_;
    // The writer thread's alone.
    bool lit_;
    int level_;
    mutable int column_ = 0;
    mutable int row_ = 0;
};

// One command packet in a message of its own.
void AddCommand(LinkBatch& batch, std::uint8_t command, std::string_view data);

// A serial port opened by the writer, whose messages (each a command packet) go through `port`:
// sent, answered, sent again when the answer is lost. A module that does not answer fails the
// message (ETIMEDOUT), and the writer reports it and reconnects.
class PacketTransfer final : public I2cTransfer {
public:
    PacketTransfer(int fd, std::shared_ptr<PacketPort> port, std::string name)
        : fd_(fd), port_(std::move(port)), name_(std::move(name))
    {
    }
    const char* busName() const override { return "packet"; }
    bool countsClocks() const override { return false; }
    int Combined(std::span<const std::string_view> messages) override;
    int Write(std::string_view message) override;
    int Read(std::uint8_t&) override { return EOPNOTSUPP; }

private:
    const int fd_; // the link's, which owns it
    const std::shared_ptr<PacketPort> port_;
    const std::string name_; // for the log
    bool refusalReported_ = false;
};

// Opens the module's serial port for the writer: the port's reader is handed a duplicate.
std::optional<DeviceLink> OpenPacketDevice(const std::string& path, int baud, const std::shared_ptr<PacketPort>& port,
                                           const std::string& name, std::string& error);

} // namespace pixtera::lcd
