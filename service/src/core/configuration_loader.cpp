// SPDX-License-Identifier: MIT
#include "configuration_loader.h"

#include "data_manager.h"
#include "display_keys_settings.h"
#include "display_manager.h"
#include "driver_manager.h"
#include "fed_values.h"
#include "screen_sources.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/plugin_info.h>

#include <pixtera/configuration_file.h>
#include <pixtera/configuration_schema.h>
#include <pixtera/xml_file.h>

#include <pugixml.hpp>

#include <malloc.h>

#include <cstring>

namespace pixtera {
namespace {

// " as a display and a data provider", for the start-up log.
std::string KindsOf(const Capabilities& capabilities)
{
    if (capabilities.display && capabilities.data)
        return " as a display and a data provider";
    if (capabilities.display)
        return " as a display";
    if (capabilities.data)
        return " as a data provider";
    return " (neither display nor data)";
}

Capabilities ReadCapabilities(const pugi::xml_node& driver)
{
    using namespace config;
    return {IsActive(driver, kAction), IsActive(driver, kInput),   IsActive(driver, kOutput),
            IsActive(driver, kEvent),  IsActive(driver, kDisplay), IsActive(driver, kData)};
}

// True when HKLM\Software\Pixtera2.0 says every plug-in runs in a process of its own.
bool IsolateEveryPlugin()
{
    RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0") == ERROR_SUCCESS &&
           key.QueryDword("IsolatePlugins").value_or(0) != 0;
}

// Keys of its own only for a display whose driver element switches input on: a file without it
// leaves the keys to the bus and the screen sources, as before there were menus.
void TakeKeys(ManagedDisplay& display, const pugi::xml_node& element, const std::filesystem::path& path,
              const std::vector<QueueEntry>& entries, DriverManager& drivers, DisplayManager& displays)
{
    if (!config::IsActive(element, config::kInput))
        return;
    if (!display.hasKeys())
        LogWarning(path.string() + ": " + element.attribute(config::kClsid).value() +
                   " takes input, but its driver has no keys");
    std::vector<std::string> queue;
    for (const QueueEntry& entry : entries)
        queue.push_back(Utf16ToUtf8(entry.fileName));
    MenuServices services;
    services.outside = &displays.outsideActions();
    services.setData = [owner = ComPtr<DriverManager>(&drivers)](const std::string& item, const std::string& value) {
        return SetFedText(*owner, item, value);
    };
    display.TakeKeys(ReadDisplayKeys(element, path, queue), std::move(services));
}

void AddDisplay(const pugi::xml_node& element, int ordinal, const std::filesystem::path& path,
                const DriverRecord& driver, DriverManager& drivers, DisplayManager& displays)
{
    auto displayDriver = driver.object.As<IDisplayDriver>();
    if (!displayDriver) {
        LogWarning(Utf16ToUtf8(driver.className) + " is configured as a display but is no display driver");
        return;
    }
    // Under the one guard of every plug-in call: a driver that throws here is faulted as anywhere.
    LONG ignored = 0;
    driver.fault->Guard([&] { return displayDriver->LoaderQuery(&ignored); });
    const QueueOrigin origin{path, ordinal, element.attribute(config::kClsid).value(),
                             element.attribute(config::kConfiguration).value()};
    auto display = displays.AddDisplay(driver.object.get(), origin, driver.fault);
    // The file holds these entries already; entries that cannot be read stay in it untouched.
    std::vector<QueueEntry> entries;
    for (const auto& selected : element.select_nodes(config::kQueueItemPath)) {
        if (auto entry = ReadQueueEntry(selected.node()))
            entries.push_back(std::move(*entry));
        else
            LogWarning(path.string() + ": a queue item of " + origin.clsid +
                       " has no Filename or no numeric Runtime; it is not shown");
    }
    display->LoadQueue(entries);
    TakeKeys(*display, element, path, entries, drivers, displays);
}

} // namespace

bool LoadConfigurationFile(const std::filesystem::path& path, DriverManager& drivers, DataManager& data,
                           DisplayManager& displays)
{
    // What writers killed mid-write left beside it (their queue edits were either written or not).
    if (const int stale = RemoveStaleTemporaries(path); stale > 0)
        LogInformation("Removed " + std::to_string(stale) + " temporary files that interrupted writes left beside " +
                       path.string());
    const ConfigurationDocument file = LoadConfigurationDocument(path);
    if (!file)
        LogError(file.error + "; no driver is created");
    if (file) {
        int ordinal = -1;
        const bool isolateAll = IsolateEveryPlugin();
        for (const auto& selected : file.document.select_nodes(config::kDriverPath)) {
            ++ordinal;
            const pugi::xml_node element = selected.node();
            const pugi::xml_attribute clsid = element.attribute(config::kClsid);
            if (!clsid) {
                LogError(path.string() + ": a driver without clsid ends the configuration here");
                return false;
            }
            const std::u16string progId = Utf8ToUtf16(clsid.value());
            // Hosted by DispatchWrapper.core in a process of its own.
            const bool isolated = std::strcmp(element.attribute(config::kDispatchWrap).value(), config::kYes) == 0 ||
                                  std::strcmp(element.attribute(config::kIsolated).value(), config::kTrue) == 0 ||
                                  isolateAll;
            const std::u16string configuration = Utf8ToUtf16(element.attribute(config::kConfiguration).value());

            // Said first, so that the log names a plug-in that takes the service down with it.
            LogInformation("Loading " + std::string(clsid.value()));
            std::string why;
            auto driver = drivers.Add(progId, configuration, isolated, &why);
            if (!driver) {
                LogWarning(std::string(clsid.value()) + " could not be created: " + why + "; it is left out");
                continue;
            }
            driver->capabilities = ReadCapabilities(element);
            LogInformation("Loaded " + std::string(clsid.value()) + KindsOf(driver->capabilities));
            if (driver->capabilities.display)
                AddDisplay(element, ordinal, path, *driver, drivers, displays);
            if (driver->capabilities.data)
                data.AddProvider(drivers.Size() - 1);
        }
    }
    ConnectScreenSources(drivers, displays);
    for (const auto& display : displays.Displays())
        display->StartOutput();
    malloc_trim(0);
    return true;
}

} // namespace pixtera
