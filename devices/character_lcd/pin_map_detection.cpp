// SPDX-License-Identifier: MIT
#include "pin_map_detection.h"

#include <array>

namespace pixtera::lcd {
namespace {

// Two addresses, so that garbage matching by chance is out of the question: row 1 column 5 (0x45)
// and row 0 column 18 (0x12) of a 20-column module.
constexpr std::array<std::pair<int, int>, 2> kProbes{{{5, 1}, {18, 0}}};
constexpr Geometry kProbeGeometry{20, 2};

} // namespace

bool ReadsBackThrough(ExpanderPort& port, const Backpack& backpack, const Sleeper& sleep)
{
    const Hd44780I2cProtocol protocol(kProbeGeometry, backpack, true);
    LinkBatch initialise;
    protocol.Initialise(initialise);
    if (!port.Send(initialise, sleep))
        return false;
    for (const auto& [column, row] : kProbes) {
        LinkBatch move;
        protocol.MoveTo(move, column, row);
        if (!port.Send(move, sleep))
            return false;
        const auto status = ReadStatus(port, backpack);
        if (!status || (*status & 0x7F) != Hd44780I2cProtocol::Address(column, row, kProbeGeometry.columns))
            return false;
    }
    return true;
}

PinMapFound DetectPinMap(ExpanderPort& port, const Sleeper& sleep)
{
    if (ReadsBackThrough(port, Pcf8574Pins::A(), sleep))
        return PinMapFound::A;
    if (ReadsBackThrough(port, Pcf8574Pins::B(), sleep))
        return PinMapFound::B;
    return PinMapFound::Unknown;
}

const char* PinMapName(PinMapFound found)
{
    switch (found) {
    case PinMapFound::A: return "a";
    case PinMapFound::B: return "b";
    case PinMapFound::Unknown: break;
    }
    return "unknown";
}

} // namespace pixtera::lcd
