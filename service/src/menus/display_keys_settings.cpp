// SPDX-License-Identifier: MIT
#include "display_keys_settings.h"

#include <pixtera/configuration_schema.h>
#include <pixtera/menu_file.h>
#include <pixtera/platform/event_log.h>

#include <charconv>
#include <string_view>

namespace pixtera {
namespace {

std::chrono::milliseconds ReadTimeout(const pugi::xml_attribute& attribute, const std::string& where)
{
    if (!attribute)
        return kDefaultMenuTimeout;
    const std::string_view text = attribute.value();
    long long seconds = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || seconds < 0 || seconds > kMaxMenuTimeoutSeconds) {
        LogWarning(where + ": the menu's " + config::kMenuTimeout + " \"" + std::string(text) +
                   "\" is no number of 0 to " + std::to_string(kMaxMenuTimeoutSeconds) + " seconds; it is " +
                   std::to_string(kDefaultMenuTimeout.count()));
        return kDefaultMenuTimeout;
    }
    return std::chrono::seconds(seconds);
}

std::shared_ptr<const Menu> ReadMenu(const pugi::xml_node& element, const std::filesystem::path& configuration,
                                     const std::vector<std::string>& queue, const std::string& where)
{
    const pugi::xml_attribute file = element.attribute(config::kFilename);
    if (!file || !*file.value()) {
        LogWarning(where + ": its menu names no " + config::kFilename + "; the display has no menu");
        return nullptr;
    }
    std::filesystem::path path = file.value();
    if (path.is_relative())
        path = configuration.parent_path() / path;
    auto menu = std::make_shared<Menu>();
    const MenuReadResult read = LoadMenu(path, *menu, MenuDesigns{true, queue});
    if (!read.ok) {
        // The reason names the file and the line already.
        LogWarning(read.problem + "; the display of " + where + " shows its queue without a menu");
        return nullptr;
    }
    return menu;
}

} // namespace

MenuSettings ReadDisplayKeys(const pugi::xml_node& driver, const std::filesystem::path& configuration,
                             const std::vector<std::string>& queue)
{
    const std::string where = configuration.string() + ", " + driver.attribute(config::kClsid).value();
    MenuSettings settings;
    if (const pugi::xml_node keys = driver.select_node(config::kKeysPath).node()) {
        std::vector<std::string> problems;
        settings.bindings = ReadKeyBindings(keys, problems);
        for (const std::string& problem : problems)
            LogWarning(where + ": keys: " + problem + "; it is left out");
    }
    if (const pugi::xml_node menu = driver.select_node(config::kMenuPath).node()) {
        settings.idleTimeout = ReadTimeout(menu.attribute(config::kMenuTimeout), where);
        settings.menu = ReadMenu(menu, configuration, queue, where);
    }
    return settings;
}

} // namespace pixtera
