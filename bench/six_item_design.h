// SPDX-License-Identifier: MIT
#pragma once
// The benchmarks' 20x4 design with six items: two static texts, two data values with conversion
// and digits, a scroller and a bar, and the values it shows.

#include <pixtera/display_item.h>
#include <pixtera/value_source.h>

namespace pixtera::bench {

inline DisplayItem At(LONG column, LONG row, LONG width)
{
    DisplayItem item;
    item.column = column;
    item.row = row;
    item.width = width;
    return item;
}

inline Design SixItemDesign()
{
    Design design;
    DisplayItem title = At(0, 0, 20);
    title.source = kSourceStaticText;
    title.text = "System monitor";
    title.alignment = kAlignCenter;
    DisplayItem label = At(0, 1, 5);
    label.source = kSourceStaticText;
    label.text = "RAM:";
    DisplayItem memory = At(5, 1, 7);
    memory.name = u"MemoryUsed";
    memory.convert = true;
    memory.toUnit = kMegaBytes;
    memory.format = true;
    memory.digits = 1;
    memory.alignment = kAlignRight;
    DisplayItem network = At(12, 1, 8);
    network.name = u"NetworkReceived";
    network.convert = true;
    network.fromUnit = kKiloBytes;
    network.toUnit = kGigaBytes;
    network.format = true;
    network.digits = 2;
    network.alignment = kAlignRight;
    DisplayItem scroller = At(0, 2, 20);
    scroller.name = u"Title";
    scroller.mode = kModeRightToLeft;
    scroller.scrollDelay = 150;
    DisplayItem bar = At(0, 3, 20);
    bar.name = u"CpuTotal";
    bar.mode = kModeHorizontalBar;
    design.items = {title, label, memory, network, scroller, bar};
    return design;
}

inline void SetSixItemValues(TableValueSource& values)
{
    values.Set(u"MemoryUsed", Variant::FromDouble(3.2e9));
    values.Set(u"NetworkReceived", Variant::FromDouble(1.5e7));
    values.Set(u"Title", Variant::FromUtf8("Now playing: a rather long title "));
    values.Set(u"CpuTotal", Variant::FromDouble(42.5));
}

} // namespace pixtera::bench
