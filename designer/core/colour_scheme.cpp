// SPDX-License-Identifier: MIT
#include "colour_scheme.h"

#include "command_ids.h"

#include <algorithm>

namespace pixtera::designer {

CustomColours CustomColours::Read(const DesignerSettings& settings)
{
    CustomColours colours;
    colours.frame = settings.ReadColour("BackColor").value_or(colours.frame);
    colours.font = settings.ReadColour("FontColor").value_or(colours.font);
    colours.background = settings.ReadColour("FontBack").value_or(colours.background);
    return colours;
}

void CustomColours::Write(DesignerSettings& settings) const
{
    settings.WriteColour("BackColor", frame);
    settings.WriteColour("FontColor", font);
    settings.WriteColour("FontBack", background);
}

std::optional<CanvasColours> SchemeColours(int command, const CustomColours& custom)
{
    constexpr Rgb kBlack{0, 0, 0};
    switch (command) {
    case kColourBlue: return CanvasColours{{23, 64, 103}, {61, 181, 255}, kBlack};
    case kColourRed: return CanvasColours{{103, 30, 0}, {255, 60, 0}, kBlack};
    case kColourGreen: return CanvasColours{{0, 103, 30}, {0, 255, 50}, kBlack};
    case kColourOrange: return CanvasColours{{103, 64, 23}, {255, 181, 63}, kBlack};
    case kColourYellow: return CanvasColours{{148, 156, 66}, kBlack, Rgb{165, 181, 66}};
    case kColourWhite: return CanvasColours{{200, 200, 200}, kBlack, Rgb{150, 150, 150}};
    case kColourCustom: return CanvasColours{custom.background, custom.font, custom.frame};
    default: return std::nullopt;
    }
}

Rgb Brighter(Rgb colour, double factor)
{
    auto channel = [factor](int value) { return std::min(255, static_cast<int>(value * factor)); };
    return {channel(colour.red), channel(colour.green), channel(colour.blue)};
}

} // namespace pixtera::designer
