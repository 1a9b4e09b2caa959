// SPDX-License-Identifier: MIT
#pragma once
// Reading the outside frame-rate counter's shared record through its module FRAPS.DLL, which the
// plug-in never loads: it is used only while some other part of the process has it loaded.

#include <cstdint>
#include <optional>
#include <string>

namespace pixtera {

struct FrapsReading {
    std::uint32_t framesPerSecond = 0;
    std::string game; // in the display code page
};

// Looks the module up anew and reads the record, holding the module loaded while reading, so a
// module that went away is never read through a stale pointer. Nothing when the module, its
// export or its record is not there.
std::optional<FrapsReading> ReadFraps();

// The record's layout as far as it is read.
inline constexpr std::size_t kFramesPerSecondOffset = 4;
inline constexpr std::size_t kGameNameOffset = 16;
inline constexpr std::size_t kMaxGameName = 260;

} // namespace pixtera
