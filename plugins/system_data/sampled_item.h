// SPDX-License-Identifier: MIT
#pragma once
// One value of the system, named for designs and placed in the designer's tree.

#include <string>
#include <variant>
#include <vector>

namespace pixtera {

struct SampledItem {
    std::string name; // the item's key, e.g. "CPU.Total"
    std::string description; // a backslash path for the designer's tree, e.g. "System\CPU\Total"
    std::variant<double, std::string> value;
};

using SampledItems = std::vector<SampledItem>;

inline void AddNumber(SampledItems& items, std::string name, std::string description, double value)
{
    items.push_back({std::move(name), std::move(description), value});
}

inline void AddText(SampledItems& items, std::string name, std::string description, std::string value)
{
    items.push_back({std::move(name), std::move(description), std::move(value)});
}

} // namespace pixtera
