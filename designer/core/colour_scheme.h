// SPDX-License-Identifier: MIT
#pragma once
// The preview's colours: unlit dots, lit dots and the frame between them, by scheme.

#include "designer_settings.h"

#include <optional>

namespace pixtera::designer {

struct CanvasColours {
    Rgb background; // unlit dots
    Rgb font; // lit dots
    std::optional<Rgb> frame; // none: the palette's button face
};

// The Custom scheme's colours as stored, each with its default when missing.
struct CustomColours {
    Rgb frame{0, 0, 0}; // "BackColor"
    Rgb font{255, 255, 255}; // "FontColor"
    Rgb background{120, 120, 120}; // "FontBack"

    static CustomColours Read(const DesignerSettings& settings);
    void Write(DesignerSettings& settings) const;
};

// The colours of a scheme command (Blue ... White, Custom); none for another id.
std::optional<CanvasColours> SchemeColours(int command, const CustomColours& custom);

// The highlighted variant: each channel times the factor, truncated, at most 255.
Rgb Brighter(Rgb colour, double factor);
inline constexpr double kBackgroundHighlight = 1.7;
inline constexpr double kFontHighlight = 2.9;

} // namespace pixtera::designer
