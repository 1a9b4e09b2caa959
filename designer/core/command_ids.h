// SPDX-License-Identifier: MIT
#pragma once
// The designer's command ids: the ids of its actions, kept from the program's menus so that stored
// settings ("ColorScheme", "PixSize", "%d_visible") keep their meaning.

#include <array>

namespace pixtera::designer {

enum CommandId : int {
    kConfigure = 210,
    kNew = 57600,
    kOpen = 57601,
    kSave = 57603,
    kSaveAs = 57604,
    kExit = 57665,
    kExitAndCloseService = 32808,

    kViewDataPanel = 32803,
    kViewProperties = 32804,
    kViewQueue = 32805,

    kColourBlue = 32773,
    kColourRed = 32774,
    kColourGreen = 32775,
    kColourOrange = 32776,
    kColourYellow = 32777,
    kColourWhite = 214,
    kColourCustom = 218,

    kPixelSize0 = 32778, // to kPixelSize0 + 4 for 4 px
    kPixelSizeAuto = 32783,

    kPreviewDisplay1 = 32786, // to kPreviewDisplay1 + 8 for display 9
    kVirtual2x16 = 32795, // 2x16, 2x20, 4x16, 4x20, 2x40, 4x40
    kAbout = 57664,
    kQuickStart = 221,
    kPowerPolicy = 231, // Display > Power...
    kMenuEditor = 241, // File > Menu Editor...

    kModeStatic = 32821, // to kModeStatic + 3 for the bar
    kAlignLeft = 32832,
    kAlignCenter = 32833,
    kAlignRight = 32834,
    kSpeedVerySlow = 32836, // to kSpeedVerySlow + 5 for "Insane!"
    kMove = 32829,
    kResize = 32830,
    kDelete = 32825,
    kBackgroundLoad = 212,
    kBackgroundRemove = 213,
};

inline constexpr int kMaxPreviewDisplays = 9;

// The virtual displays of Display > Preview > Virtual, in the order of their ids from kVirtual2x16.
struct VirtualSize {
    const char* text;
    int columns;
    int rows;
};
inline constexpr std::array<VirtualSize, 6> kVirtualSizes{
    {{"2x16", 16, 2}, {"2x20", 20, 2}, {"4x16", 16, 4}, {"4x20", 20, 4}, {"2x40", 40, 2}, {"4x40", 40, 4}}};

} // namespace pixtera::designer
