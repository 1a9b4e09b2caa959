// SPDX-License-Identifier: MIT
#pragma once
// A display item for a data item of the service, sized to show its current value.

#include <pixtera/display_item.h>
#include <pixtera/service_interfaces.h>

namespace pixtera::designer {

// Reads the item's name and value (throws ServiceError when the service fails): width = length of
// the value's first line, height = its number of lines; 9 digits when formatting is switched on.
DisplayItem MakeDataItem(IDataCollection& data, LONG id, DWORD now);

} // namespace pixtera::designer
