// SPDX-License-Identifier: MIT
#include "key_bindings.h"

#include <pixtera/configuration_schema.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/key_names.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

namespace pixtera {
namespace {

constexpr std::array<std::pair<std::string_view, KeyRole>, 4> kRoleNames{{
    {config::kKeyPreviousDesign, KeyRole::PreviousDesign},
    {config::kKeyNextDesign, KeyRole::NextDesign},
    {config::kKeyOpenMenu, KeyRole::OpenMenu},
    {config::kKeyNothing, KeyRole::Nothing},
}};

std::optional<KeyRole> RoleFromName(std::string_view name)
{
    for (const auto& [known, role] : kRoleNames)
        if (known == name)
            return role;
    return std::nullopt;
}

} // namespace

KeyBindings::KeyBindings()
    : roles_{{kKeyLeft, KeyRole::PreviousDesign}, {kKeyRight, KeyRole::NextDesign}, {kKeyEnter, KeyRole::OpenMenu}}
{
}

KeyRole KeyBindings::RoleOf(LONG key) const
{
    const auto found =
        std::find_if(roles_.begin(), roles_.end(), [key](const auto& bound) { return bound.first == key; });
    return found == roles_.end() ? KeyRole::Nothing : found->second;
}

void KeyBindings::Bind(LONG key, KeyRole role)
{
    const auto found =
        std::find_if(roles_.begin(), roles_.end(), [key](const auto& bound) { return bound.first == key; });
    if (found != roles_.end())
        found->second = role;
    else
        roles_.emplace_back(key, role);
}

KeyBindings ReadKeyBindings(const pugi::xml_node& keys, std::vector<std::string>& problems)
{
    KeyBindings bindings;
    for (const pugi::xml_attribute& attribute : keys.attributes()) {
        const std::string_view name = attribute.name();
        const std::optional<LONG> key = KeyFromName(name);
        // Raw codes have no attribute name (a colon would be a namespace), and names are
        // case-sensitive like the rest of the file.
        if (!key || *key >= kKeyRaw || KeyName(*key) != name) {
            problems.push_back("no key is called \"" + std::string(name) + "\"");
            continue;
        }
        const std::optional<KeyRole> role = RoleFromName(attribute.value());
        if (!role) {
            problems.push_back(std::string(name) + ": no key does \"" + attribute.value() + "\" (" +
                               config::kKeyPreviousDesign + ", " + config::kKeyNextDesign + ", " +
                               config::kKeyOpenMenu + " or " + config::kKeyNothing + ")");
            continue;
        }
        bindings.Bind(*key, *role);
    }
    return bindings;
}

} // namespace pixtera
