// SPDX-License-Identifier: MIT
#include "plugin_catalog.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>

namespace pixtera::designer {
namespace {

struct MissingPart {};

std::string RequiredText(const pugi::xml_node& entry, const char* name)
{
    const pugi::xml_node child = entry.child(name);
    if (!child)
        throw MissingPart{};
    return child.text().get();
}

bool RequiredSwitch(const pugi::xml_attribute& attribute)
{
    if (!attribute)
        throw MissingPart{};
    return std::strcmp(attribute.value(), "yes") == 0;
}

CatalogEntry ReadEntry(const pugi::xml_node& node)
{
    CatalogEntry entry;
    entry.author = RequiredText(node, "author");
    entry.shortDescription = RequiredText(node, "ShortDescription");
    entry.longDescription = RequiredText(node, "LongDescription");
    entry.progId = RequiredText(node, "ProgId");
    entry.fileName = RequiredText(node, "FileName");
    entry.website = RequiredText(node, "website");
    entry.dispatchWrap = RequiredText(node, "DispatchWrap") == "yes";
    entry.multiInstance = RequiredText(node, "Multinstance") == "yes";
    const pugi::xml_node configuration = node.child("Configureration");
    if (!configuration)
        throw MissingPart{};
    entry.configurationAvailable = RequiredSwitch(configuration.attribute("Available"));
    entry.configurationNeeded = RequiredSwitch(configuration.attribute("needed"));
    return entry;
}

} // namespace

const CatalogEntry* Catalog::Find(const std::string& progId) const
{
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const CatalogEntry& entry) { return entry.progId == progId; });
    return found == entries.end() ? nullptr : &*found;
}

Catalog ReadCatalog(const std::filesystem::path& pluginDirectory)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& item : std::filesystem::directory_iterator(pluginDirectory, ec))
        if (item.path().extension() == ".pxp")
            files.push_back(item.path());
    std::sort(files.begin(), files.end());
    Catalog catalog;
    for (const auto& file : files) {
        pugi::xml_document document;
        if (!document.load_file(file.c_str()))
            continue;
        try {
            for (const auto& selected : document.select_nodes("PixteraPlugins/PixteraPlugin"))
                catalog.entries.push_back(ReadEntry(selected.node()));
        } catch (const MissingPart&) {
            catalog.faultyFiles.push_back(file);
        }
    }
    return catalog;
}

} // namespace pixtera::designer
