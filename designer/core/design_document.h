// SPDX-License-Identifier: MIT
#pragma once
// The design being edited: its items, background, file and whether it has unsaved changes.

#include <pixtera/design_file.h>

#include <filesystem>
#include <string>

namespace pixtera::designer {

class DesignDocument {
public:
    enum class OpenResult {
        Opened,
        NotXml, // nothing changed
        ItemError, // the items before the faulty one were read; path and flag unchanged
    };

    Design& design() { return design_; }
    const Design& design() const { return design_; }
    const std::filesystem::path& path() const { return path_; }
    bool modified() const { return modified_; }
    void SetModified(bool modified) { modified_ = modified; }
    // The design no longer belongs to its file (a load that failed part-way, a recovered design):
    // it takes `path`, by default none, so that Save asks for a name.
    void Detach(std::filesystem::path path = {}) { path_ = std::move(path); }

    // An empty design without a file.
    void New();
    // `why`, unless all was read: the reason, as the loader gives it.
    OpenResult Open(const std::filesystem::path& file, DWORD now, std::string* why = nullptr);
    // Writes the design to `file` (atomically) and takes it as the document's path; a design that
    // could not be written keeps its path and modified flag, and `error` says why.
    bool SaveAs(const std::filesystem::path& file, std::string* error = nullptr);

    // The window title: "Pixtera designer ", then " - PATH" when saved, then "*" when modified.
    std::string Title() const;

private:
    Design design_;
    std::filesystem::path path_;
    bool modified_ = false;
};

} // namespace pixtera::designer
