#include "configuration_editor.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/module.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/display_driver.h>

#include <cstring>

namespace pixtera::designer {
namespace {

constexpr const char* kCapabilities[] = {"action", "input", "output", "event", "display", "data"};

} // namespace

namespace {

// The plug-in in a process of its own, hosted by the wrapper class.
ComPtr<IUnknown> CreateWrapped(const std::string& progId)
{
    ComPtr<IUnknown> wrapper;
    if (FAILED(CoCreateInstance(CLSID_DispatchWrapper, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, wrapper.OutVoid())))
        return {};
    auto wrapping = wrapper.As<IDispatchWrapper>();
    if (!wrapping || FAILED(wrapping->Wrap(BString(std::string_view(progId)).get())) || !wrapper.As<IPluginInfo>())
        return {};
    return wrapper;
}

} // namespace

ComPtr<IUnknown> CreatePlugin(const std::string& clsid, bool dispatchWrap)
{
    if (dispatchWrap)
        return CreateWrapped(clsid);
    const std::u16string text = Utf8ToUtf16(clsid);
    CLSID id{};
    const HRESULT found = !text.empty() && text.front() == u'{' ? CLSIDFromString(text.c_str(), &id)
                                                                : CLSIDFromProgID(text.c_str(), &id);
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
    } else {
        document_.document.load_string(std::string(kDefaultConfiguration).c_str());
    }
    if (!readable())
        return;
    if (!document_.document.child("PixteraConfiguration"))
        document_.document.append_child("PixteraConfiguration");
    Drivers();
    Refill();
}

pugi::xml_node ConfigurationEditor::Drivers()
{
    pugi::xml_node root = document_.document.child("PixteraConfiguration");
    pugi::xml_node drivers = root.child("drivers");
    return drivers ? drivers : root.append_child("drivers");
}

void ConfigurationEditor::Refill()
{
    loaded_.clear();
    std::size_t element = 0;
    for (const auto& selected : document_.document.select_nodes("PixteraConfiguration/drivers/driver")) {
        const pugi::xml_node driver = selected.node();
        const std::size_t index = element++;
        const bool wrap = std::strcmp(driver.attribute("DispatchWrap").value(), "yes") == 0;
        const pugi::xml_attribute clsid = driver.attribute("clsid");
        if (!clsid)
            return; // the service stops reading here too
        LoadedPlugin plugin;
        plugin.clsid = clsid.value();
        plugin.configuration = driver.attribute("configuration").value();
        plugin.element = index;
        plugin.object = CreatePlugin(plugin.clsid, wrap);
        if (!plugin.object)
            continue; // kept in the file, not listed
        plugin.info = plugin.object.As<IPluginInfo>();
        BString name;
        try {
            plugin.info->Configure(BString(std::string_view(plugin.configuration)).get());
            if (FAILED(plugin.info->GetPluginName(name.Out())))
                return;
        } catch (...) {
            continue;
        }
        plugin.name = name.utf8();
        loaded_.push_back(std::move(plugin));
    }
}

ConfigurationEditor::AddResult ConfigurationEditor::Add(const CatalogEntry& entry, const ConfigureDialog& configure)
{
    if (!readable())
        return AddResult::NotCreatable;
    if (!entry.multiInstance)
        for (const auto& plugin : loaded_)
            if (plugin.clsid == entry.progId)
                return AddResult::OnlyOnce;
    ComPtr<IUnknown> object = CreatePlugin(entry.progId, entry.dispatchWrap);
    if (!object && RegisterPluginModule(pluginDirectory_ / entry.fileName))
        object = CreatePlugin(entry.progId, entry.dispatchWrap);
    if (!object)
        return AddResult::NotCreatable;
    auto info = object.As<IPluginInfo>();
    if (entry.configurationNeeded && !configure(*object, *info))
        return AddResult::Declined;
    BString configuration;
    info->GetConfiguration(configuration.Out());

    pugi::xml_node driver = Drivers().append_child("driver");
    driver.append_attribute("clsid").set_value(entry.progId.c_str());
    driver.append_attribute("configuration").set_value(configuration.utf8().c_str());
    if (entry.dispatchWrap)
        driver.append_attribute("DispatchWrap").set_value("yes");
    const bool display = static_cast<bool>(object.As<IDisplayDriver>());
    const bool data = static_cast<bool>(object.As<IDataProvider>());
    for (const char* capability : kCapabilities) {
        const bool on = (std::strcmp(capability, "display") == 0 && display) || (std::strcmp(capability, "data") == 0 && data);
        driver.append_child(capability).append_attribute("active").set_value(on ? "yes" : "no");
    }
    Refill();
    return AddResult::Added;
}

void ConfigurationEditor::Remove(std::size_t row)
{
    if (row >= loaded_.size())
        return;
    const auto drivers = document_.document.select_nodes("PixteraConfiguration/drivers/driver");
    if (loaded_[row].element < drivers.size()) {
        const pugi::xml_node driver = drivers[loaded_[row].element].node();
        driver.parent().remove_child(driver);
    }
    Refill();
}

bool ConfigurationEditor::Configure(std::size_t row, const ConfigureDialog& configure)
{
    if (row >= loaded_.size())
        return false;
    LoadedPlugin& plugin = loaded_[row];
    if (!configure(*plugin.object, *plugin.info))
        return false;
    BString configuration;
    plugin.info->GetConfiguration(configuration.Out());
    const auto drivers = document_.document.select_nodes("PixteraConfiguration/drivers/driver");
    if (plugin.element < drivers.size()) {
        pugi::xml_node driver = drivers[plugin.element].node();
        pugi::xml_attribute attribute = driver.attribute("configuration");
        (attribute ? attribute : driver.append_attribute("configuration")).set_value(configuration.utf8().c_str());
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
    return SaveConfigurationDocument(document_, file_, error);
}

} // namespace pixtera::designer
