// SPDX-License-Identifier: MIT
#pragma once
// What a thread's name has room for of a plug-in's ProgID: "SystemData" of "Pixtera.SystemData".

#include <string>
#include <string_view>

namespace pixtera {

inline std::string ShortName(std::string_view progId)
{
    const auto dot = progId.rfind('.');
    return std::string(dot == std::string_view::npos ? progId : progId.substr(dot + 1));
}

} // namespace pixtera
