// SPDX-License-Identifier: MIT
#pragma once
// The configuration panel's work on pixtera2.xml: the plug-ins it loads, adding, removing and
// configuring them, and saving. Plug-ins are created in the designer's own process only to ask
// their names and the keys they take: the designer never configures them, so none opens its
// device or starts its work here; that happens in the service.

#include "module_detection.h"
#include "plugin_catalog.h"

#include <pixtera/configuration_file.h>
#include <pixtera/platform/com.h>
#include <pixtera/sdk/plugin_info.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::designer {

struct LoadedPlugin {
    std::string clsid;
    std::string configuration;
    std::string name;
    std::string title; // the name with its place, as the panel lists it
    ComPtr<IUnknown> object;
    ComPtr<IPluginInfo> info;
    std::size_t element = 0; // among the driver elements
};

// Asks the user for a plug-in's settings (a form, or the plug-in's EditConfiguration), starting from
// `current`; the new configuration text, or none when cancelled. `required`: the plug-in cannot
// work unconfigured.
using ConfigureDialog = std::function<std::optional<std::string>(IUnknown& plugin, IPluginInfo& info,
                                                                 const std::string& current, bool required)>;

// Creates a plug-in by ProgID, or by class identifier when the text starts with '{'; empty when it
// cannot be created or has no IPluginInfo.
ComPtr<IUnknown> CreatePlugin(const std::string& clsid);
// Loads the module and calls its DllRegisterServer; false when either fails.
bool RegisterPluginModule(const std::filesystem::path& module);

// Where Save keeps the file as it was: pixtera2.xml.previous.
std::filesystem::path PreviousFile(const std::filesystem::path& file);

class ConfigurationEditor {
public:
    enum class AddResult { Added, OnlyOnce, NotCreatable, Declined };

    // A missing file, or one without a drivers element, gets one; a file that exists but cannot be
    // read is refused: error() says why, nothing is listed, and Save does nothing.
    ConfigurationEditor(std::filesystem::path file, std::filesystem::path pluginDirectory);

    const std::string& error() const { return error_; }
    bool readable() const { return error_.empty(); }
    const std::vector<LoadedPlugin>& loaded() const { return loaded_; }
    const std::filesystem::path& file() const { return file_; }

    // Asks for the settings of a plug-in that has some; Declined when they are cancelled. `why`
    // says what kept a plug-in from being added (a missing module, no wrapper, ...).
    AddResult Add(const CatalogEntry& entry, const ConfigureDialog& configure, std::string* why = nullptr);
    // Adds the plug-in with a configuration already known (a module detection found).
    AddResult AddConfigured(const CatalogEntry& entry, const std::string& configuration, std::string* why = nullptr);
    // Whether a listed plug-in already drives the module detection found.
    bool Drives(const detection::FoundModule& module) const;
    void Remove(std::size_t row);
    // Asks for the row's settings and stores them when accepted.
    bool Configure(std::size_t row, const ConfigureDialog& configure, bool required = false);
    // A listed display's menu file (empty: none), and binding one: only a menu the display would
    // read, its keys switched on with it; an empty file unbinds. False with the reason.
    bool DrivesDisplay(std::size_t row) const;
    std::string DisplayMenu(std::size_t row) const;
    bool BindDisplayMenu(std::size_t row, const std::filesystem::path& menu, std::string* why = nullptr);
    // Writes the file atomically, one tag per line, keeping the file as it was as
    // pixtera2.xml.previous; false with the reason (a read-only file is refused, not replaced).
    bool Save(std::string* error = nullptr);

private:
    // `choose` turns the plug-in's defaults into the configuration to add, or none to decline.
    using ChooseConfiguration =
        std::function<std::optional<std::string>(IUnknown&, IPluginInfo&, const std::string& defaults)>;
    AddResult AddWith(const CatalogEntry& entry, const ChooseConfiguration& choose, std::string* why);
    // The plug-ins the file loads, read again, and their titles.
    void Refill();
    void ReadLoaded();
    // The row's driver element; empty when the row is none.
    pugi::xml_node DriverOf(std::size_t row) const;

    std::filesystem::path file_;
    std::filesystem::path pluginDirectory_;
    ConfigurationDocument document_;
    std::string error_;
    std::vector<LoadedPlugin> loaded_;
};

} // namespace pixtera::designer
