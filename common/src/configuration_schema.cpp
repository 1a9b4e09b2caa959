// SPDX-License-Identifier: MIT
#include <pixtera/configuration_schema.h>

#include <cstring>

namespace pixtera::config {

bool IsActive(const pugi::xml_node& driver, const char* capability)
{
    return std::strcmp(driver.child(capability).attribute(kActive).value(), kYes) == 0;
}

pugi::xml_node DriversElement(pugi::xml_document& document)
{
    pugi::xml_node root = document.child(kRoot);
    if (!root)
        root = document.append_child(kRoot);
    const pugi::xml_node drivers = root.child(kDrivers);
    return drivers ? drivers : root.append_child(kDrivers);
}

pugi::xml_node AppendDriver(pugi::xml_node drivers, const char* clsid, const char* configuration)
{
    pugi::xml_node driver = drivers.append_child(kDriver);
    driver.append_attribute(kClsid).set_value(clsid);
    driver.append_attribute(kConfiguration).set_value(configuration);
    return driver;
}

void AppendCapability(pugi::xml_node driver, const char* capability, bool active)
{
    driver.append_child(capability).append_attribute(kActive).set_value(active ? kYes : kNo);
}

} // namespace pixtera::config
