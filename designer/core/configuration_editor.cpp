// SPDX-License-Identifier: MIT
#include "configuration_editor.h"

#include "display_menu.h"
#include "module_place.h"
#include "plugin_titles.h"

#include <pixtera/configuration_schema.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/module.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_driver.h>

#include <algorithm>
#include <cstring>

#include <unistd.h>

namespace pixtera::designer {
namespace {

constexpr const char* kWrapperModule = "DispatchWrapper.so";

bool ClassRegistered(const char* progId)
{
    CLSID id{};
    return SUCCEEDED(CLSIDFromProgID(Utf8ToUtf16(progId).c_str(), &id));
}

} // namespace

ComPtr<IUnknown> CreatePlugin(const std::string& clsid)
{
    const std::u16string text = Utf8ToUtf16(clsid);
    CLSID id{};
    const HRESULT found =
        !text.empty() && text.front() == u'{' ? CLSIDFromString(text.c_str(), &id) : CLSIDFromProgID(text.c_str(), &id);
    if (FAILED(found))
        return {};
    ComPtr<IUnknown> object;
    try {
        if (FAILED(CoCreateInstance(id, nullptr, CLSCTX_ALL, IID_IUnknown, object.OutVoid())) || !object ||
            FAILED(OleRun(object.get())) || !object.As<IPluginInfo>())
            return {};
    } catch (...) {
        return {}; // a plug-in that throws is not created
    }
    return object;
}

bool RegisterPluginModule(const std::filesystem::path& module)
{
    HMODULE library = LoadLibraryA(module.c_str());
    if (!library)
        return false;
    using Entry = HRESULT (*)();
    const auto entry = reinterpret_cast<Entry>(GetProcAddress(library, "DllRegisterServer"));
    const bool registered = entry && SUCCEEDED(entry());
    FreeLibrary(library);
    return registered;
}

ConfigurationEditor::ConfigurationEditor(std::filesystem::path file, std::filesystem::path pluginDirectory)
    : file_(std::move(file)), pluginDirectory_(std::move(pluginDirectory))
{
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(file_, ec))) {
        document_ = LoadConfigurationDocument(file_);
        error_ = document_.error;
        const pugi::xml_node root = document_.document.document_element();
        if (error_.empty() && root && std::strcmp(root.name(), config::kRoot) != 0)
            error_ = file_.string() + ": the root element is <" + std::string(root.name()) + ">, not <" +
                     config::kRoot + ">";
    } else {
        document_.document.load_string(std::string(kDefaultConfiguration).c_str());
    }
    if (!readable())
        return;
    config::DriversElement(document_.document);
    Refill();
}

void ConfigurationEditor::Refill()
{
    ReadLoaded();
    std::vector<PluginIdentity> identities;
    for (const LoadedPlugin& plugin : loaded_)
        identities.push_back({plugin.name, plugin.clsid, plugin.configuration});
    const auto titles = PluginTitles(identities);
    for (std::size_t i = 0; i < loaded_.size(); ++i)
        loaded_[i].title = titles[i];
}

void ConfigurationEditor::ReadLoaded()
{
    loaded_.clear();
    std::size_t element = 0;
    for (const auto& selected : document_.document.select_nodes(config::kDriverPath)) {
        const pugi::xml_node driver = selected.node();
        const std::size_t index = element++;
        const pugi::xml_attribute clsid = driver.attribute(config::kClsid);
        if (!clsid)
            return; // the service stops reading here too
        LoadedPlugin plugin;
        plugin.clsid = clsid.value();
        plugin.configuration = driver.attribute(config::kConfiguration).value();
        plugin.element = index;
        plugin.object = CreatePlugin(plugin.clsid);
        if (!plugin.object)
            continue; // kept in the file, not listed
        plugin.info = plugin.object.As<IPluginInfo>();
        BString name;
        try {
            if (FAILED(plugin.info->GetPluginName(name.Out())))
                return;
        } catch (...) {
            continue;
        }
        plugin.name = name.utf8();
        loaded_.push_back(std::move(plugin));
    }
}

ConfigurationEditor::AddResult ConfigurationEditor::Add(const CatalogEntry& entry, const ConfigureDialog& configure,
                                                        std::string* why)
{
    return AddWith(
        entry,
        [&](IUnknown& object, IPluginInfo& info, const std::string& defaults) -> std::optional<std::string> {
            // A plug-in with settings is added as its form leaves it: its defaults (a device, a
            // bus) are rarely the user's. Cancel adds nothing.
            if (!entry.configurationNeeded && !entry.configurationAvailable)
                return defaults;
            return configure(object, info, defaults, entry.configurationNeeded);
        },
        why);
}

ConfigurationEditor::AddResult ConfigurationEditor::AddConfigured(const CatalogEntry& entry,
                                                                  const std::string& configuration, std::string* why)
{
    return AddWith(
        entry, [&](IUnknown&, IPluginInfo&, const std::string&) { return std::optional(configuration); }, why);
}

bool ConfigurationEditor::Drives(const detection::FoundModule& module) const
{
    return std::any_of(loaded_.begin(), loaded_.end(), [&](const LoadedPlugin& plugin) {
        return detection::DrivesModule(plugin.clsid, plugin.configuration, module);
    });
}

ConfigurationEditor::AddResult ConfigurationEditor::AddWith(const CatalogEntry& entry,
                                                            const ChooseConfiguration& choose, std::string* why)
{
    auto refuse = [why](std::string reason) {
        if (why)
            *why = std::move(reason);
        return AddResult::NotCreatable;
    };
    if (!readable())
        return refuse(error_);
    if (!entry.multiInstance)
        for (const auto& plugin : loaded_)
            if (plugin.clsid == entry.progId)
                return AddResult::OnlyOnce;
    // A wrapped plug-in runs in a host process of the service's; without the wrapper class the
    // service could not start it.
    if (entry.dispatchWrap && !ClassRegistered("DispatchWrapper.core") &&
        !(RegisterPluginModule(pluginDirectory_ / kWrapperModule) && ClassRegistered("DispatchWrapper.core")))
        return refuse(entry.shortDescription +
                      " runs in a process of its own, but DispatchWrapper.core is not "
                      "registered and " +
                      (pluginDirectory_ / kWrapperModule).string() + " could not register it");
    ComPtr<IUnknown> object = CreatePlugin(entry.progId);
    if (!object) {
        const auto module = pluginDirectory_ / entry.fileName;
        std::error_code ec;
        if (!std::filesystem::is_regular_file(module, ec))
            return refuse(entry.shortDescription + ": its module " + module.string() + " is missing");
        if (!RegisterPluginModule(module))
            return refuse(entry.shortDescription + ": its module " + module.string() + " could not be registered");
        object = CreatePlugin(entry.progId);
        if (!object)
            return refuse(entry.shortDescription + ": " + entry.progId + " could not be created from " +
                          module.string());
    }
    auto info = object.As<IPluginInfo>();
    BString defaults;
    info->GetConfiguration(defaults.Out());
    const auto chosen = choose(*object, *info, defaults.utf8());
    if (!chosen)
        return AddResult::Declined;
    const std::string& configuration = *chosen;

    pugi::xml_node driver =
        config::AppendDriver(config::DriversElement(document_.document), entry.progId.c_str(), configuration.c_str());
    if (entry.dispatchWrap)
        driver.append_attribute(config::kDispatchWrap).set_value(config::kYes);
    const bool display = static_cast<bool>(object.As<IDisplayDriver>());
    const bool data = static_cast<bool>(object.As<IDataProvider>());
    for (const char* capability : config::kCapabilities) {
        const std::string_view name = capability;
        config::AppendCapability(driver, capability,
                                 (name == config::kDisplay && display) || (name == config::kData && data));
    }
    Refill();
    return AddResult::Added;
}

void ConfigurationEditor::Remove(std::size_t row)
{
    if (row >= loaded_.size())
        return;
    const auto drivers = document_.document.select_nodes(config::kDriverPath);
    if (loaded_[row].element < drivers.size()) {
        const pugi::xml_node driver = drivers[loaded_[row].element].node();
        driver.parent().remove_child(driver);
    }
    Refill();
}

pugi::xml_node ConfigurationEditor::DriverOf(std::size_t row) const
{
    if (row >= loaded_.size())
        return {};
    const auto drivers = document_.document.select_nodes(config::kDriverPath);
    return loaded_[row].element < drivers.size() ? drivers[loaded_[row].element].node() : pugi::xml_node();
}

bool ConfigurationEditor::DrivesDisplay(std::size_t row) const { return designer::DrivesDisplay(DriverOf(row)); }

std::string ConfigurationEditor::DisplayMenu(std::size_t row) const { return BoundMenu(DriverOf(row)); }

bool ConfigurationEditor::BindDisplayMenu(std::size_t row, const std::filesystem::path& menu, std::string* why)
{
    return BindMenu(DriverOf(row), menu, why);
}

bool ConfigurationEditor::Configure(std::size_t row, const ConfigureDialog& configure, bool required)
{
    if (row >= loaded_.size())
        return false;
    LoadedPlugin& plugin = loaded_[row];
    const auto configuration = configure(*plugin.object, *plugin.info, plugin.configuration, required);
    if (!configuration)
        return false;
    const auto drivers = document_.document.select_nodes(config::kDriverPath);
    if (plugin.element < drivers.size()) {
        pugi::xml_node driver = drivers[plugin.element].node();
        pugi::xml_attribute attribute = driver.attribute(config::kConfiguration);
        (attribute ? attribute : driver.append_attribute(config::kConfiguration)).set_value(configuration->c_str());
    }
    Refill();
    return true;
}

bool ConfigurationEditor::Save(std::string* error)
{
    if (!readable()) {
        if (error)
            *error = error_;
        return false;
    }
    auto fail = [error](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    std::error_code ec;
    const bool exists = std::filesystem::exists(file_, ec);
    // Renaming over a read-only file would replace it; its owner made it read-only for a reason
    // (root, who may write anything, is held to the file's mode too).
    using std::filesystem::perms;
    const auto mode = std::filesystem::status(file_, ec).permissions();
    if (exists && (access(file_.c_str(), W_OK) != 0 ||
                   (mode & (perms::owner_write | perms::group_write | perms::others_write)) == perms::none))
        return fail(file_.string() + " is read-only; nothing was changed");
    if (exists) {
        std::filesystem::copy_file(file_, PreviousFile(file_), std::filesystem::copy_options::overwrite_existing, ec);
        if (ec)
            return fail("keeping the previous configuration as " + PreviousFile(file_).string() +
                        " failed: " + ec.message());
    }
    return SaveConfigurationDocument(document_, file_, error);
}

std::filesystem::path PreviousFile(const std::filesystem::path& file) { return file.string() + ".previous"; }

} // namespace pixtera::designer
