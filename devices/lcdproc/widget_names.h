// SPDX-License-Identifier: MIT
#pragma once
// The names clients give widget types and icons.

#include "client_screen.h"

#include <optional>
#include <string_view>

namespace pixtera::lcdproc {

std::optional<WidgetType> WidgetTypeNamed(std::string_view name);
std::optional<Icon> IconNamed(std::string_view name);

} // namespace pixtera::lcdproc
