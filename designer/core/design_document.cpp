// SPDX-License-Identifier: MIT
#include "design_document.h"

namespace pixtera::designer {

DesignDocument::DesignDocument(QObject* parent) : QObject(parent)
{
    QObject::connect(&history_.stack(), &QUndoStack::indexChanged, this, [this] { emit changed(); });
}

void DesignDocument::SetModified(bool modified)
{
    if (modified == modified_)
        return;
    modified_ = modified;
    emit titleChanged();
}

void DesignDocument::SetPath(std::filesystem::path path)
{
    if (path == path_)
        return;
    path_ = std::move(path);
    emit titleChanged();
}

void DesignDocument::Detach(std::filesystem::path path) { SetPath(std::move(path)); }

void DesignDocument::Replaced()
{
    history_.Restart();
    emit replaced();
}

void DesignDocument::New()
{
    design_ = Design{};
    SetPath({});
    Replaced();
}

DesignDocument::OpenResult DesignDocument::Open(const std::filesystem::path& file, DWORD now, std::string* why)
{
    const DesignReadResult read = LoadDesign(file, design_, DesignReader::Designer, now);
    if (why)
        *why = read.message;
    switch (read.status) {
    case DesignReadResult::Status::NotParsed: return OpenResult::NotXml;
    case DesignReadResult::Status::ItemError: {
        // What was read is not the file, but it is what is edited now; path and flag stay.
        const bool wasModified = modified_;
        Replaced();
        SetModified(wasModified);
        return OpenResult::ItemError;
    }
    case DesignReadResult::Status::Ok: break;
    }
    SetPath(file);
    Replaced();
    return OpenResult::Opened;
}

bool DesignDocument::SaveAs(const std::filesystem::path& file, std::string* error)
{
    // A file that was not written is not the design's: it keeps the one it had.
    if (!SaveDesign(design_, file, error))
        return false;
    SetPath(file);
    history_.MarkSaved();
    return true;
}

std::string DesignDocument::Title() const
{
    std::string title = "Pixtera designer ";
    if (!path_.empty())
        title += " - " + path_.string();
    if (modified_)
        title += "*";
    return title;
}

} // namespace pixtera::designer
