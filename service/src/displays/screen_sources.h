// SPDX-License-Identifier: MIT
#pragma once
// Joins the drivers that bring client screens (IScreenSource) to the displays they serve: each
// display is offered to each source with its geometry, and a source that takes it is added to
// the display's rotation and told, through a sink, to wake it when its screens change.

#include "display_manager.h"
#include "driver_manager.h"

namespace pixtera {

// Before the displays' output starts.
void ConnectScreenSources(DriverManager& drivers, DisplayManager& displays);

} // namespace pixtera
