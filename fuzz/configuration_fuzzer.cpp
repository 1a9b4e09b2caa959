// SPDX-License-Identifier: MIT
// Arbitrary bytes as pixtera2.xml: loaded (no plug-ins are registered, so only parsing counts),
// each driver element's keys and menu read as a display would take them (a menu file lies beside
// it), then a queue is written into it.

#include "configuration_loader.h"
#include "data_manager.h"
#include "display_keys_settings.h"
#include "display_manager.h"
#include "driver_manager.h"
#include "queue_writer.h"

#include <pixtera/configuration_file.h>
#include <pixtera/platform/event_log.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::filesystem::path Directory()
{
    static const std::filesystem::path directory = [] {
        char pattern[] = "/tmp/pixtera-fuzz-XXXXXX";
        const std::filesystem::path made = mkdtemp(pattern);
        setenv("PIXTERA_REGISTRY", (made / "registry.db").c_str(), 1);
        pixtera::SetLogCapture([](std::string_view) {});
        std::ofstream(made / "panel.pxm") << R"(<Menu Title="Panel">
  <Entry Label="A" Action="ShowDesign" Design="a.pxd"/>
  <Submenu Label="More"><Entry Label="Up" Action="RunCommand" Program="uptime" Confirm="yes"/></Submenu>
</Menu>
)";
        return made;
    }();
    return directory;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const auto path = Directory() / "pixtera2.xml";
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    auto drivers = MakeComObject<DriverManager>();
    auto values = MakeComObject<DataManager>(drivers);
    auto displays = MakeComObject<DisplayManager>(DisplayRuntime{*values, SystemClock()});
    LoadConfigurationFile(path, *drivers, *values, *displays);
    if (const ConfigurationDocument file = LoadConfigurationDocument(path))
        for (const auto& selected : file.document.select_nodes(config::kDriverPath))
            ReadDisplayKeys(selected.node(), path, {"a.pxd"});
    // The queue of the driver element the first byte picks, known by its own attributes.
    const int element = size > 0 ? data[0] % 4 : 0;
    QueueOrigin origin{path, element, "", ""};
    if (const ConfigurationDocument file = LoadConfigurationDocument(path)) {
        const auto elements = file.document.select_nodes(config::kDriverPath);
        if (static_cast<std::size_t>(element) < elements.size()) {
            const pugi::xml_node driver = elements[static_cast<std::size_t>(element)].node();
            origin.clsid = driver.attribute(config::kClsid).value();
            origin.driverConfiguration = driver.attribute(config::kConfiguration).value();
        }
    }
    WriteQueue(origin, {{u"a.pxd", 5}, {u"b\u00e9.pxd", -1}});
    return 0;
}
