// SPDX-License-Identifier: MIT
#include "lcd2usb_model.h"

#include "lcd2usb_protocol.h"

#include <cerrno>

namespace pixtera::lcd::test {

class Lcd2UsbModel::End final : public UsbControl {
public:
    End(Lcd2UsbModel& model, std::uint64_t generation) : model_(model), generation_(generation) {}
    int In(std::uint8_t request, std::uint16_t value, std::uint16_t index, std::span<std::uint8_t> answer,
           std::size_t& got) override
    {
        got = 0;
        std::lock_guard lock(model_.mutex_);
        if (model_.unplugged_ || model_.generation_ != generation_)
            return ENODEV;
        const int result = model_.Request(request, value, index, answer, got);
        if (model_.requestsLeft_ > 0 && --model_.requestsLeft_ == 0)
            model_.unplugged_ = true;
        return result;
    }

private:
    Lcd2UsbModel& model_;
    const std::uint64_t generation_;
};

std::optional<Lcd2UsbConnection> Lcd2UsbModel::Connect()
{
    std::lock_guard lock(mutex_);
    if (unplugged_)
        return std::nullopt;
    ++generation_;
    return Lcd2UsbConnection{UniqueFd(), std::make_shared<End>(*this, generation_)};
}

bool Lcd2UsbModel::twoControllers() const { return HasTwoControllers(geometry_); }

void Lcd2UsbModel::Controller::Command(std::uint8_t byte, std::string& faults)
{
    if (byte & 0x80) {
        address = byte & 0x7F;
        cgramMode = false;
    } else if (byte & 0x40) {
        address = byte & 0x3F;
        cgramMode = true;
    } else if (byte & 0x20) {
        if ((byte & 0x08) == 0)
            faults += "one line set; ";
    } else if (byte & 0x10) {
        faults += "a shift; ";
    } else if (byte & 0x08) {
        on = (byte & 0x04) != 0;
    } else if (byte & 0x04) {
        if (byte != 0x06)
            faults += "an entry mode other than left to right; ";
    } else if (byte == 0x01) {
        ddram.fill(' ');
        address = 0;
        cgramMode = false;
    } else if (byte == 0x02) {
        address = 0;
    }
}

void Lcd2UsbModel::Controller::Data(std::uint8_t byte)
{
    if (cgramMode) {
        cgram[static_cast<std::size_t>(address) & 63] = byte;
        address = (address + 1) & 63;
    } else {
        ddram[static_cast<std::size_t>(address) & 127] = static_cast<char>(byte);
        address = (address + 1) & 127;
    }
}

int Lcd2UsbModel::Request(std::uint8_t request, std::uint16_t value, std::uint16_t index,
                          std::span<std::uint8_t> answer, std::size_t& got)
{
    ++requests_;
    const auto answerWith = [&](std::uint8_t a, std::uint8_t b) {
        if (answer.size() < 2) {
            faults_ += "a get with no room for its answer; ";
            return EOVERFLOW;
        }
        answer[0] = a;
        answer[1] = b;
        got = 2;
        return 0;
    };
    switch (request & 0xE0) {
    case lcd2usb::kEcho:
        ++echoes_;
        return answerWith(static_cast<std::uint8_t>(value ^ (brokenEcho_ ? 0xFF : 0)),
                          static_cast<std::uint8_t>(value >> 8));
    case lcd2usb::kCommand:
    case lcd2usb::kData: {
        const int targets = (request >> 3) & 3;
        if (targets == 0 || ((targets & 2) && !twoControllers())) {
            faults_ += "bytes for a controller not fitted; ";
            return EPIPE;
        }
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                                       static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8)};
        const int count = (request & 7) + 1;
        if (count > 4) {
            faults_ += "more than four bytes in a request; ";
            return EPIPE;
        }
        for (int i = 0; i < count; ++i) {
            ++bytes_;
            for (int c = 0; c < 2; ++c) {
                if (!(targets & (1 << c)))
                    continue;
                if ((request & 0xE0) == lcd2usb::kCommand)
                    controllers_[c].Command(bytes[i], faults_);
                else
                    controllers_[c].Data(bytes[i]);
            }
        }
        return 0;
    }
    case lcd2usb::kSet:
        if (request == lcd2usb::kContrast)
            contrast_ = value & 0xFF;
        else if (request == lcd2usb::kBrightness)
            brightness_ = value & 0xFF;
        else
            faults_ += "an unknown setting; ";
        return 0;
    case lcd2usb::kGet:
        if (request == lcd2usb::kVersion)
            return answerWith(1, 9);
        if (request == lcd2usb::kKeys)
            return answerWith(keys_, 0);
        if (request == lcd2usb::kControllers)
            return answerWith(twoControllers() ? 3 : 1, 0);
        faults_ += "an unknown get; ";
        return EPIPE;
    default: faults_ += "an unknown request; "; return EPIPE;
    }
}

std::string Lcd2UsbModel::Visible() const
{
    std::lock_guard lock(mutex_);
    std::string cells;
    for (int row = 0; row < geometry_.rows; ++row) {
        const bool second = twoControllers() && row >= 2;
        const int line = twoControllers() ? row % 2 : row;
        const int start = (line % 2 ? 0x40 : 0) + (line >= 2 ? geometry_.columns : 0);
        for (int column = 0; column < geometry_.columns; ++column)
            cells.push_back(controllers_[second ? 1 : 0].ddram[static_cast<std::size_t>(start + column) & 127]);
    }
    return cells;
}

Glyph Lcd2UsbModel::GlyphOf(int controller, int code) const
{
    std::lock_guard lock(mutex_);
    Glyph glyph{};
    for (std::size_t row = 0; row < 8; ++row)
        glyph[row] =
            controllers_.at(static_cast<std::size_t>(controller)).cgram[static_cast<std::size_t>(code) * 8 + row];
    return glyph;
}

bool Lcd2UsbModel::displayOn(int controller) const
{
    std::lock_guard lock(mutex_);
    return controllers_.at(static_cast<std::size_t>(controller)).on;
}

std::optional<int> Lcd2UsbModel::contrast() const
{
    std::lock_guard lock(mutex_);
    return contrast_;
}

std::optional<int> Lcd2UsbModel::brightness() const
{
    std::lock_guard lock(mutex_);
    return brightness_;
}

std::size_t Lcd2UsbModel::controllerBytes() const
{
    std::lock_guard lock(mutex_);
    return bytes_;
}

int Lcd2UsbModel::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

int Lcd2UsbModel::echoes() const
{
    std::lock_guard lock(mutex_);
    return echoes_;
}

std::string Lcd2UsbModel::faults() const
{
    std::lock_guard lock(mutex_);
    return faults_;
}

void Lcd2UsbModel::SetKeys(std::uint8_t state)
{
    std::lock_guard lock(mutex_);
    keys_ = state;
}

void Lcd2UsbModel::BreakEcho()
{
    std::lock_guard lock(mutex_);
    brokenEcho_ = true;
}

void Lcd2UsbModel::UnplugAfter(int requests)
{
    std::lock_guard lock(mutex_);
    requestsLeft_ = requests;
}

void Lcd2UsbModel::PlugIn()
{
    std::lock_guard lock(mutex_);
    unplugged_ = false;
    requestsLeft_ = -1;
    controllers_ = {};
    contrast_.reset();
    brightness_.reset();
}

} // namespace pixtera::lcd::test
