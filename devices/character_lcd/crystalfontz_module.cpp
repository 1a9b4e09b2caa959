// SPDX-License-Identifier: MIT
#include "crystalfontz_module.h"

#include <pixtera/sdk/display_input.h>

namespace pixtera::lcd {

const CrystalfontzTraits& TraitsOf(CrystalfontzModel model)
{
    static constexpr CrystalfontzTraits kTraits[] = {
        {"CFA533", {16, 2}, 19200, 200, 0x3F, false},
        {"CFA631", {20, 2}, 115200, 254, 0x0F, false},
        {"CFA633", {16, 2}, 19200, 200, 0x3F, false},
        {"CFA635", {20, 4}, 115200, 254, 0x3F, true},
    };
    return kTraits[static_cast<int>(model)];
}

std::optional<CrystalfontzModel> ParseCrystalfontzModel(std::string_view text)
{
    if (text.size() > 3 && (text.substr(0, 3) == "CFA" || text.substr(0, 3) == "cfa"))
        text.remove_prefix(3);
    if (text == "533")
        return CrystalfontzModel::Cfa533;
    if (text == "631")
        return CrystalfontzModel::Cfa631;
    if (text == "633")
        return CrystalfontzModel::Cfa633;
    if (text == "635")
        return CrystalfontzModel::Cfa635;
    return std::nullopt;
}

CrystalfontzKey KeyOfReport(std::uint8_t code)
{
    // 1-6 pressed and 7-12 released on the six-key modules; 13-16 pressed and 17-20 released on
    // the CFA631, whose keys are corners.
    static constexpr LONG kSixKeys[] = {kKeyUp, kKeyDown, kKeyLeft, kKeyRight, kKeyEnter, kKeyEscape};
    static constexpr LONG kCorners[] = {kKeyUp, kKeyEnter, kKeyDown, kKeyEscape}; // UL, UR, LL, LR
    if (code >= 1 && code <= 6)
        return {kSixKeys[code - 1], kKeyPressed};
    if (code >= 7 && code <= 12)
        return {kSixKeys[code - 7], kKeyReleased};
    if (code >= 13 && code <= 16)
        return {kCorners[code - 13], kKeyPressed};
    if (code >= 17 && code <= 20)
        return {kCorners[code - 17], kKeyReleased};
    return {kKeyRaw | code, kKeyPressed};
}

} // namespace pixtera::lcd
