// SPDX-License-Identifier: MIT
#include "design_document.h"

namespace pixtera::designer {

void DesignDocument::New()
{
    design_ = Design{};
    path_.clear();
    modified_ = false;
}

DesignDocument::OpenResult DesignDocument::Open(const std::filesystem::path& file, DWORD now, std::string* why)
{
    const DesignReadResult read = LoadDesign(file, design_, DesignReader::Designer, now);
    if (why)
        *why = read.message;
    switch (read.status) {
    case DesignReadResult::Status::NotParsed: return OpenResult::NotXml;
    case DesignReadResult::Status::ItemError: return OpenResult::ItemError;
    case DesignReadResult::Status::Ok: break;
    }
    path_ = file;
    modified_ = false;
    return OpenResult::Opened;
}

bool DesignDocument::SaveAs(const std::filesystem::path& file, std::string* error)
{
    // A file that was not written is not the design's: it keeps the one it had.
    if (!SaveDesign(design_, file, error))
        return false;
    path_ = file;
    modified_ = false;
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
