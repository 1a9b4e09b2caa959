// SPDX-License-Identifier: MIT
#include "crystalfontz_protocol.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/display_leds.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace pixtera::lcd {
namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += static_cast<char>(value);
    return bytes;
}

// A GPIO's duty for a die: 0 dark, 100 lit.
int Duty(bool lit) { return lit ? 100 : 0; }

} // namespace

std::optional<LedColour> LedColourOf(long state)
{
    switch (state) {
    case kLedOff: return LedColour::Off;
    case kLedGreen: return LedColour::Green;
    case kLedRed: return LedColour::Red;
    case kLedAmber: return LedColour::Amber;
    default: return std::nullopt;
    }
}

LONG LedStateOf(LedColour colour)
{
    switch (colour) {
    case LedColour::Green: return kLedGreen;
    case LedColour::Red: return kLedRed;
    case LedColour::Amber: return kLedAmber;
    case LedColour::Off: break;
    }
    return kLedOff;
}

void AddCommand(LinkBatch& batch, std::uint8_t command, std::string_view data)
{
    batch.Break();
    batch.Add(EncodePacket({PacketKind::Command, command, std::string(data)}));
}

CrystalfontzProtocol::CrystalfontzProtocol(CrystalfontzModel model, CrystalfontzOptions options)
    : model_(model), options_(options), lit_(options.backlight), level_(std::clamp(options.brightness, 0, 100))
{
}

void CrystalfontzProtocol::Initialise(LinkBatch& batch) const
{
    const CrystalfontzTraits& traits = TraitsOf(model_);
    AddCommand(batch, cfa::kClear, {});
    AddCommand(batch, cfa::kCursorStyle, Bytes({0}));
    if (options_.contrast)
        AddCommand(batch, cfa::kContrast, Bytes({std::clamp(*options_.contrast, 0, traits.contrastLimit)}));
    SendBacklight(batch);
    // Presses and releases: a held key is known by its release.
    AddCommand(batch, cfa::kKeyReporting, Bytes({traits.keyMask, traits.keyMask}));
    if (options_.watchdog > 0)
        AddCommand(batch, cfa::kWatchdog, Bytes({std::min(options_.watchdog, 255)}));
    // Asked at every initialisation: a module that was unplugged or reset has forgotten.
    if (options_.sensors.fans != 0)
        AddCommand(batch, cfa::kFanReporting, FanReportingData(options_.sensors));
    if (options_.sensors.temperatures != 0)
        AddCommand(batch, cfa::kTemperatureReporting, TemperatureReportingData(options_.sensors));
    if (traits.leds && options_.leds)
        for (int led = 0; led < cfa::kLeds; ++led)
            SendLed(batch, led, (*options_.leds)[static_cast<std::size_t>(led)]);
}

void CrystalfontzProtocol::SendLed(LinkBatch& batch, int led, LedColour colour)
{
    const bool green = colour == LedColour::Green || colour == LedColour::Amber;
    const bool red = colour == LedColour::Red || colour == LedColour::Amber;
    AddCommand(batch, cfa::kSetGpio, Bytes({cfa::GreenGpio(led), Duty(green)}));
    AddCommand(batch, cfa::kSetGpio, Bytes({cfa::RedGpio(led), Duty(red)}));
}

bool CrystalfontzProtocol::Led(LinkBatch& batch, int index, long state)
{
    const auto colour = LedColourOf(state);
    if (!TraitsOf(model_).leds || index < 0 || index >= cfa::kLeds || !colour)
        return false;
    SendLed(batch, index, *colour);
    return true;
}

void CrystalfontzProtocol::MoveTo(LinkBatch&, int column, int row) const
{
    column_ = column;
    row_ = row;
}

void CrystalfontzProtocol::WriteCodes(LinkBatch& batch, std::string_view text) const
{
    const Geometry geometry = TraitsOf(model_).geometry;
    // A command carries the column, the row and at most one row of text.
    while (!text.empty() && row_ < geometry.rows) {
        const auto room = static_cast<std::size_t>(std::max(geometry.columns - column_, 0));
        const std::size_t count = std::min({text.size(), room, kLongestData - 2});
        if (count == 0) {
            column_ = 0;
            ++row_;
            continue;
        }
        std::string data = Bytes({column_, row_});
        for (char c : text.substr(0, count)) {
            const auto byte = static_cast<std::uint8_t>(c);
            // Codes 0-7 and 8-15 are the user characters 0-7.
            data += static_cast<char>(byte < 16 ? byte & 7 : byte);
        }
        AddCommand(batch, cfa::kSendData, data);
        text.remove_prefix(count);
        column_ += static_cast<int>(count);
    }
}

void CrystalfontzProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    std::string data = Bytes({code & 7});
    for (std::uint8_t row : glyph)
        data += static_cast<char>(row & 0x3F);
    AddCommand(batch, cfa::kDefineCharacter, data);
}

void CrystalfontzProtocol::SendBacklight(LinkBatch& batch) const
{
    AddCommand(batch, cfa::kBacklight, Bytes({lit_ ? level_ : 0}));
}

void CrystalfontzProtocol::Backlight(LinkBatch& batch, bool on)
{
    lit_ = on;
    SendBacklight(batch);
}

bool CrystalfontzProtocol::Brightness(LinkBatch& batch, int level)
{
    level_ = (std::clamp(level, 0, 255) * 100 + 127) / 255;
    if (lit_)
        SendBacklight(batch);
    return true;
}

int PacketTransfer::Combined(std::span<const std::string_view> messages)
{
    for (const auto message : messages)
        if (const int error = Write(message); error != 0)
            return error;
    return 0;
}

int PacketTransfer::Write(std::string_view message)
{
    PacketReader reader;
    for (const Packet& command : reader.Feed(message)) {
        std::string error;
        const auto answer = port_->Transact(fd_, command, error);
        if (!answer)
            return error == "stopped" ? ECANCELED : error.rfind("write", 0) == 0 ? EIO : ETIMEDOUT;
        if (answer->kind == PacketKind::Error && !refusalReported_) {
            // Not worth a reconnection: the module is there and said so.
            LogWarning(name_ + ": the module refused command " + std::to_string(command.command) +
                       " (an older firmware, or another model than configured?)");
            refusalReported_ = true;
        }
    }
    return 0;
}

std::optional<DeviceLink> OpenPacketDevice(const std::string& path, int baud, const std::shared_ptr<PacketPort>& port,
                                           const std::string& name, std::string& error)
{
    port->Detach(); // the last port's duplicate would keep the port locked
    auto serial = OpenSerialDevice(path, baud, error);
    if (!serial)
        return std::nullopt;
    // The packet link takes a duplicate (the same open port, its lock kept) and writes to it.
    const int fd = fcntl(serial->fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("dup: ") + std::strerror(errno);
        return std::nullopt;
    }
    DeviceLink link(fd, std::make_unique<PacketTransfer>(fd, port, name));
    port->Attach(fd);
    return link;
}

} // namespace pixtera::lcd
