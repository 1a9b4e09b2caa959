// SPDX-License-Identifier: MIT
#include "display_menu.h"

#include <pixtera/configuration_schema.h>

namespace pixtera::designer {

bool DrivesDisplay(const pugi::xml_node& driver) { return config::IsActive(driver, config::kDisplay); }

std::string BoundMenu(const pugi::xml_node& driver)
{
    return driver.child(config::kDisplay).child(config::kMenu).attribute(config::kFilename).value();
}

MenuDesigns QueueDesigns(const pugi::xml_node& driver)
{
    MenuDesigns designs;
    designs.known = true;
    for (const auto& item : driver.select_nodes(config::kQueueItemPath))
        designs.queue.emplace_back(item.node().attribute(config::kFilename).value());
    return designs;
}

bool BindMenu(pugi::xml_node driver, const std::filesystem::path& file, std::string* why)
{
    pugi::xml_node display = driver.child(config::kDisplay);
    if (!DrivesDisplay(driver)) {
        if (why)
            *why = "the plugin drives no display";
        return false;
    }
    if (file.empty()) {
        display.remove_child(config::kMenu);
        return true;
    }
    Menu menu;
    if (const MenuReadResult read = LoadMenu(file, menu, QueueDesigns(driver)); !read.ok) {
        if (why)
            *why = read.problem;
        return false;
    }
    // A menu element already there keeps its other settings (its timeout).
    pugi::xml_node bound = display.child(config::kMenu);
    if (!bound)
        bound = display.append_child(config::kMenu);
    pugi::xml_attribute name = bound.attribute(config::kFilename);
    (name ? name : bound.append_attribute(config::kFilename)).set_value(file.c_str());
    pugi::xml_node input = driver.child(config::kInput);
    if (!input)
        input = driver.insert_child_before(config::kInput, display);
    pugi::xml_attribute active = input.attribute(config::kActive);
    (active ? active : input.append_attribute(config::kActive)).set_value(config::kYes);
    return true;
}

} // namespace pixtera::designer
