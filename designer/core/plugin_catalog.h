// SPDX-License-Identifier: MIT
#pragma once
// The plug-in catalog: the .pxp files in the plugins directory, each describing one or more
// plug-ins that the configuration panel offers.

#include <filesystem>
#include <string>
#include <vector>

namespace pixtera::designer {

struct CatalogEntry {
    std::string author;
    std::string shortDescription;
    std::string longDescription;
    std::string progId;
    std::string fileName; // the module, in the plugins directory
    std::string website;
    bool dispatchWrap = false;
    bool multiInstance = false;
    bool configurationAvailable = false;
    bool configurationNeeded = false;
};

struct Catalog {
    std::vector<CatalogEntry> entries;
    // Well-formed files that lack an element or attribute: each is reported once ("Error
    // parsing"); the entries before the faulty one are kept.
    std::vector<std::filesystem::path> faultyFiles;

    // The entry whose ProgID is exactly `progId`, or none.
    const CatalogEntry* Find(const std::string& progId) const;
};

// Reads every *.pxp of the directory in file-name order; files that are not XML are skipped.
Catalog ReadCatalog(const std::filesystem::path& pluginDirectory);

} // namespace pixtera::designer
