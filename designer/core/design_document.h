// SPDX-License-Identifier: MIT
#pragma once
// The design being edited: its items, background, file, whether it has unsaved changes, and the
// history of its edits. It says itself whenever any of these changed, so no caller can forget to.

#include "document_history.h"

#include <pixtera/design_file.h>

#include <QObject>

#include <filesystem>
#include <string>

namespace pixtera::designer {

class DesignDocument : public QObject {
    Q_OBJECT
public:
    enum class OpenResult {
        Opened,
        NotXml, // nothing changed
        ItemError, // the items before the faulty one were read; path and flag unchanged
    };

    explicit DesignDocument(QObject* parent = nullptr);

    Design& design() { return design_; }
    const Design& design() const { return design_; }
    // Every change of the design goes through here, so that it can be undone.
    DocumentHistory& history() { return history_; }
    const std::filesystem::path& path() const { return path_; }
    bool modified() const { return modified_; }
    void SetModified(bool modified);
    // The design no longer belongs to its file (a load that failed part-way, a recovered design):
    // it takes `path`, by default none, so that Save asks for a name.
    void Detach(std::filesystem::path path = {});

    // An empty design without a file, with a history of its own.
    void New();
    // `why`, unless all was read: the reason, as the loader gives it. A design that was read (in
    // full or in part) starts a history of its own.
    OpenResult Open(const std::filesystem::path& file, DWORD now, std::string* why = nullptr);
    // Writes the design to `file` (atomically) and takes it as the document's path, the history's
    // saved state; a design that could not be written keeps its path and modified flag, and `error`
    // says why.
    bool SaveAs(const std::filesystem::path& file, std::string* error = nullptr);

    // The window title: "Pixtera designer ", then " - PATH" when saved, then "*" when modified.
    std::string Title() const;

signals:
    // The items or the background changed through the history: an edit, an undo, a redo.
    void changed();
    // Another design took this one's place (New, Open): nothing selected in the old one is there.
    void replaced();
    // The file or the modified flag changed.
    void titleChanged();

private:
    void SetPath(std::filesystem::path path);
    // The design was replaced: a new history, then the news.
    void Replaced();

    Design design_;
    std::filesystem::path path_;
    bool modified_ = false;
    DocumentHistory history_{*this}; // after the design, which it keeps copies of
};

} // namespace pixtera::designer
