// SPDX-License-Identifier: MIT
#pragma once
// One display item of a design, as the service and the designer keep it.

#include <pixtera/platform/types.h>

#include <optional>
#include <string>
#include <vector>

namespace pixtera {

enum ItemMode : LONG {
    kModeStatic = 0,
    kModeLeftToRight = 1,
    kModeRightToLeft = 2,
    kModeHorizontalBar = 3,
    kModeBigNumber = 4, // the text's digits drawn digitRows high
};
enum ItemAlignment : LONG { kAlignLeft = 0, kAlignRight = 1, kAlignCenter = 2 };
enum ItemSource : LONG { kSourceStaticText = 0, kSourceDataValue = 1 };
enum ByteUnit : LONG { kBytes = 0, kKiloBytes = 1, kMegaBytes = 2, kGigaBytes = 3, kTerraBytes = 4 };

struct DisplayItem {
    LONG barMaximum = 100; // the value that fills the bar; raised by the values when automatic
    LONG column = 0;
    LONG row = 0;
    LONG width = 0;
    LONG height = 1;
    LONG mode = kModeStatic;
    LONG alignment = kAlignLeft;
    LONG scrollDelay = 75; // milliseconds per one-cell step; 0 stops the scrolling
    LONG source = kSourceDataValue;
    std::optional<std::string> text; // static text, in UTF-8
    bool convert = false;
    LONG fromUnit = kBytes;
    LONG toUnit = kKiloBytes;
    bool format = false;
    LONG digits = 0;
    DWORD scrollStart = 0; // tick count when the item was made: the origin of its scrolling
    std::u16string name; // the data value's name
    bool deleted = false; // removed in the designer's editor; never written
    bool automaticMaximum = false;
    LONG digitRows = 2; // a big number's digits: 2 or 4 rows high

    friend bool operator==(const DisplayItem&, const DisplayItem&) = default;
};

inline constexpr DWORD kDefaultUpdateFrequency = 30; // milliseconds between two renderings

// A screen layout: its items in drawing order, a background image and a refresh period.
struct Design {
    std::vector<DisplayItem> items;
    std::u16string background;
    DWORD updateFrequency = kDefaultUpdateFrequency;

    friend bool operator==(const Design&, const Design&) = default;
};

} // namespace pixtera
