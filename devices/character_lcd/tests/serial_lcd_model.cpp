// SPDX-License-Identifier: MIT
#include "serial_lcd_model.h"

namespace pixtera::lcd::test {

std::size_t SerialLcdModel::ArgumentCount(std::uint8_t command) const
{
    switch (command) {
    case 0x47: return 2;
    case 0x4E: return 9;
    case 0x42:
    case 0x50:
    case 0x7E:
    case 0x99: return 1;
    case 0xD0: return adafruit_ ? 3 : 0;
    case 0xD1: return adafruit_ ? 2 : 0;
    default: return 0;
    }
}

std::string SerialLcdModel::KeyStroke(char key, int repeats) const
{
    switch (repeat_) {
    case Repeat::Typematic: return std::string(static_cast<std::size_t>(1 + repeats), key);
    case Repeat::UpDown: return std::string{key, static_cast<char>(key + 0x20)};
    default: return std::string(1, key); // a key held is sent once
    }
}

void SerialLcdModel::Feed(std::string_view bytes)
{
    for (char c : bytes) {
        if (!pending_.empty()) {
            pending_.push_back(c);
            if (pending_.size() < 2)
                continue;
            const auto command = static_cast<std::uint8_t>(pending_[1]);
            if (pending_.size() == 2 + ArgumentCount(command)) {
                Command(command, std::string_view(pending_).substr(2));
                pending_.clear();
            }
            continue;
        }
        if (c == static_cast<char>(0xFE)) {
            pending_.push_back(c);
            continue;
        }
        if (column_ < columns_ && row_ < rows_) // no wrapping: the driver never writes past a row
            screen_[static_cast<std::size_t>(row_ * columns_ + column_)] = c;
        ++column_;
    }
}

void SerialLcdModel::Command(std::uint8_t command, std::string_view arguments)
{
    auto argument = [&](std::size_t i) { return static_cast<std::uint8_t>(arguments[i]); };
    switch (command) {
    case 0x58:
        screen_.assign(screen_.size(), ' ');
        column_ = row_ = 0;
        break;
    case 0x48: column_ = row_ = 0; break;
    case 0x47:
        column_ = argument(0) - 1;
        row_ = argument(1) - 1;
        break;
    case 0x4E:
        for (std::size_t i = 0; i < 8; ++i)
            glyphs_[argument(0) & 7][i] = argument(1 + i);
        break;
    case 0x42: backlight_ = true; break;
    case 0x46: backlight_ = false; break;
    case 0x50: contrast_ = argument(0); break;
    case 0x99: brightness_ = argument(0); break;
    case 0x7E: repeat_ = argument(0) == 0 ? Repeat::Typematic : Repeat::UpDown; break;
    case 0x60: repeat_ = Repeat::Off; break;
    case 0xD0:
        if (!adafruit_) {
            unknown_.push_back(command);
            break;
        }
        colour_ = {argument(0), argument(1), argument(2)};
        break;
    case 0xD1:
        if (!adafruit_) {
            unknown_.push_back(command);
            break;
        }
        size_ = {argument(0), argument(1)};
        break;
    case 0x37: replies_.push_back(static_cast<char>(kModuleType)); break;
    case 0x36: replies_.push_back(static_cast<char>(kVersion)); break;
    case 0x52: // auto scroll off
    case 0x44: // line wrap off
    case 0x4B: // underline cursor off
    case 0x54: // blinking cursor off
        break;
    default: unknown_.push_back(command);
    }
}

} // namespace pixtera::lcd::test
