// SPDX-License-Identifier: MIT
#include "lcd2usb_protocol.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace pixtera::lcd {
namespace {

using namespace std::chrono_literals;

char Byte(int value) { return static_cast<char>(static_cast<std::uint8_t>(value)); }

void Command(LinkBatch& batch, std::uint8_t controllers, std::uint8_t command)
{
    batch.Break();
    batch.Add(Byte(lcd2usb::kCommand | controllers));
    batch.Add(Byte(command));
}

} // namespace

bool HasTwoControllers(const Geometry& geometry) { return geometry.cells() > 80; }

std::uint8_t Lcd2UsbProtocol::ControllerOf(int row) const
{
    return HasTwoControllers(options_.geometry) && row >= 2 ? lcd2usb::kSecond : lcd2usb::kFirst;
}

void Lcd2UsbProtocol::Initialise(LinkBatch& batch) const
{
    const std::uint8_t all = HasTwoControllers(options_.geometry) ? lcd2usb::kBoth : lcd2usb::kFirst;
    // The firmware has put the controllers in 4-bit mode; two lines, 5x8 dots.
    Command(batch, all, 0x28);
    Command(batch, all, 0x0C); // display on, no cursor
    Command(batch, all, 0x01); // clear
    batch.Pause(2ms);
    Command(batch, all, 0x06); // entry: left to right, no shift
    if (options_.contrast) {
        batch.Break();
        batch.Add(Byte(lcd2usb::kContrast));
        batch.Add(Byte(*options_.contrast));
    }
    SendBrightness(batch);
}

void Lcd2UsbProtocol::MoveTo(LinkBatch& batch, int column, int row) const
{
    const std::uint8_t controller = ControllerOf(row);
    const int line = HasTwoControllers(options_.geometry) ? row % 2 : row;
    // Rows 2 and 3 of one controller go on after rows 0 and 1 at its width.
    static constexpr int kLine[] = {0x00, 0x40, 0x00, 0x40};
    const int offset = line >= 2 ? options_.geometry.columns : 0;
    Command(batch, controller, static_cast<std::uint8_t>(0x80 | ((kLine[line] + offset + column) & 0x7F)));
    batch.Break();
    batch.Add(Byte(lcd2usb::kData | controller));
}

void Lcd2UsbProtocol::WriteCodes(LinkBatch& batch, std::string_view codes) const
{
    for (char c : codes) {
        const auto byte = static_cast<std::uint8_t>(c);
        batch.Add(Byte(byte < 16 ? byte & 7 : byte));
    }
}

void Lcd2UsbProtocol::Define(LinkBatch& batch, int code, const Glyph& glyph) const
{
    const std::uint8_t all = HasTwoControllers(options_.geometry) ? lcd2usb::kBoth : lcd2usb::kFirst;
    Command(batch, all, static_cast<std::uint8_t>(0x40 | ((code & 7) << 3)));
    batch.Break();
    batch.Add(Byte(lcd2usb::kData | all));
    for (std::uint8_t row : glyph)
        batch.Add(Byte(row & 0x1F));
}

void Lcd2UsbProtocol::SendBrightness(LinkBatch& batch) const
{
    batch.Break();
    batch.Add(Byte(lcd2usb::kBrightness));
    batch.Add(Byte(options_.backlight ? options_.brightness : 0));
}

void Lcd2UsbProtocol::Backlight(LinkBatch& batch, bool on)
{
    options_.backlight = on;
    SendBrightness(batch);
}

bool Lcd2UsbProtocol::Brightness(LinkBatch& batch, int level)
{
    options_.brightness = std::clamp(level, 0, 255);
    if (options_.backlight)
        SendBrightness(batch);
    return true;
}

int Lcd2UsbTransfer::Send(std::string_view message)
{
    if (message.empty())
        return 0;
    const auto what = static_cast<std::uint8_t>(message[0]);
    std::string_view bytes = message.substr(1);
    std::array<std::uint8_t, 2> ignored{};
    std::size_t got = 0;
    if ((what & 0xE0) == lcd2usb::kSet) {
        const std::uint16_t value = bytes.empty() ? 0 : static_cast<std::uint8_t>(bytes[0]);
        return control_->In(what, value, 0, std::span(ignored.data(), 0), got);
    }
    while (!bytes.empty()) {
        const std::size_t count = std::min(bytes.size(), lcd2usb::kBytesPerRequest);
        std::array<std::uint8_t, lcd2usb::kBytesPerRequest> part{};
        std::copy_n(bytes.begin(), count, part.begin());
        const auto value = static_cast<std::uint16_t>(part[0] | part[1] << 8);
        const auto index = static_cast<std::uint16_t>(part[2] | part[3] << 8);
        const auto request = static_cast<std::uint8_t>(what | (count - 1));
        if (const int error = control_->In(request, value, index, std::span(ignored.data(), 0), got); error != 0)
            return error;
        bytes.remove_prefix(count);
    }
    return 0;
}

std::optional<std::string> ProbeLcd2Usb(UsbControl& control)
{
    // A value no idle bus would answer by chance.
    constexpr std::uint16_t kAsked = 0x5AC3;
    std::array<std::uint8_t, 2> answer{};
    std::size_t got = 0;
    if (control.In(lcd2usb::kEcho, kAsked, 0, answer, got) != 0 || got != 2 || (answer[0] | answer[1] << 8) != kAsked)
        return std::nullopt;
    answer = {};
    if (control.In(lcd2usb::kVersion, 0, 0, answer, got) != 0 || got != 2)
        return std::nullopt;
    return std::to_string(answer[0]) + "." + std::to_string(answer[1]);
}

std::optional<std::uint8_t> ReadLcd2UsbKeys(UsbControl& control)
{
    std::array<std::uint8_t, 2> answer{};
    std::size_t got = 0;
    if (control.In(lcd2usb::kKeys, 0, 0, answer, got) != 0 || got < 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(answer[0] & 0x03);
}

std::vector<KeyEventOf> Lcd2UsbKeys::Decode(std::uint8_t state)
{
    state &= 0x03;
    std::vector<KeyEventOf> events;
    for (std::uint8_t bit = 0; bit < 2; ++bit) {
        const auto mask = static_cast<std::uint8_t>(1 << bit);
        if ((state & mask) && !(held_ & mask))
            events.push_back({KeyOf(static_cast<std::uint8_t>(bit + 1)), kKeyPressed});
        else if (!(state & mask) && (held_ & mask))
            events.push_back({KeyOf(static_cast<std::uint8_t>(bit + 1)), kKeyReleased});
    }
    held_ = state;
    return events;
}

} // namespace pixtera::lcd
