// SPDX-License-Identifier: MIT
#include "configuration_additions.h"

#include "lcd_settings.h"

#include <filesystem>
#include <set>

namespace pixtera::detection {
namespace {

std::string DevicePlace(const std::string& device)
{
    std::error_code ec;
    const auto target = std::filesystem::canonical(device, ec);
    return ec ? device : target.string();
}

pugi::xml_node DriversOf(pugi::xml_document& document)
{
    pugi::xml_node root = document.child("PixteraConfiguration");
    if (!root)
        root = document.append_child("PixteraConfiguration");
    pugi::xml_node drivers = root.child("drivers");
    return drivers ? drivers : root.append_child("drivers");
}

} // namespace

std::string ModulePlace(const std::string& progId, const std::string& configuration)
{
    const ConfigurationText fields(configuration);
    std::vector<std::string> problems;
    if (progId == "Pixtera.HD44780I2C") {
        const auto settings = lcd::ReadI2cSettings(fields, problems);
        return "i2c " + std::to_string(settings.bus) + " " + std::to_string(settings.address);
    }
    if (progId == "Pixtera.SerialLCD")
        return "tty " + DevicePlace(lcd::ReadSerialSettings(fields, problems).device);
    if (progId == "Pixtera.LCDprocDisplay") {
        std::string host = fields.Text("host").value_or("127.0.0.1");
        if (host == "localhost")
            host = "127.0.0.1";
        return "lcdd " + host + " " + std::to_string(fields.Number("port", 1, 65535).value_or(13666));
    }
    return progId + " " + configuration;
}

std::vector<FoundModule> AddNewModules(pugi::xml_document& document, const std::vector<FoundModule>& found)
{
    std::set<std::string> configured;
    for (const auto& selected : document.select_nodes("PixteraConfiguration/drivers/driver")) {
        const pugi::xml_node driver = selected.node();
        configured.insert(ModulePlace(driver.attribute("clsid").value(), driver.attribute("configuration").value()));
    }
    std::vector<FoundModule> added;
    for (const auto& module : found) {
        if (!configured.insert(ModulePlace(module.progId, module.configuration)).second)
            continue;
        pugi::xml_node driver = DriversOf(document).append_child("driver");
        driver.append_attribute("clsid").set_value(module.progId.c_str());
        driver.append_attribute("configuration").set_value(module.configuration.c_str());
        driver.append_child("display").append_attribute("active").set_value("yes");
        added.push_back(module);
    }
    return added;
}

} // namespace pixtera::detection
