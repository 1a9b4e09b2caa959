// SPDX-License-Identifier: MIT
#include "data_item_factory.h"

#include "service_objects.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/unicode_frame.h>

#include <algorithm>

namespace pixtera::designer {

DisplayItem MakeDataItem(IDataCollection& data, LONG id, DWORD now)
{
    BString name;
    CheckCall(data.Name(id, name.Out()), "Reading the name of data item " + std::to_string(id));
    Variant value;
    CheckCall(data.Value(Variant::FromShort(static_cast<SHORT>(id)), value.Out()),
              "Reading the value of data item " + std::to_string(id));
    const auto text = value.AsText();
    const std::u32string shown = text ? lcd::FrameCells(text->view(), text->view().size()) : std::u32string();
    DisplayItem item;
    item.source = kSourceDataValue;
    item.name = std::u16string(name.view());
    item.digits = 9;
    item.scrollDelay = 200;
    item.scrollStart = now;
    item.width = static_cast<LONG>(shown.substr(0, shown.find(U'\n')).size());
    item.height = static_cast<LONG>(1 + std::count(shown.begin(), shown.end(), U'\n'));
    return item;
}

} // namespace pixtera::designer
