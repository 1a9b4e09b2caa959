// SPDX-License-Identifier: MIT
#pragma once
// Every question the designer asks the user, behind one interface: the workspace and the window
// ask through it, the program answers with dialogs and tests answer with a script.

#include "colour_scheme.h"

#include <filesystem>
#include <optional>
#include <string>

namespace pixtera::designer {

enum class SaveAnswer { Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // "The current design is not yet saved, do you wish to save it?"
    virtual SaveAnswer AskToSave() = 0;
    virtual std::optional<std::filesystem::path> ChooseDesignToOpen() = 0;
    virtual std::optional<std::filesystem::path> ChooseDesignToSave() = 0;
    // A design for the queue, starting in `startIn` (the open design's directory) when given.
    virtual std::optional<std::filesystem::path> ChooseDesignToAdd(const std::filesystem::path& startIn) = 0;
    virtual std::optional<std::filesystem::path> ChooseBackground() = 0;
    // A menu file (.pxm) to open or bind to a display, and one to save a menu as.
    virtual std::optional<std::filesystem::path> ChooseMenuToOpen() = 0;
    virtual std::optional<std::filesystem::path> ChooseMenuToSave() = 0;
    // "Please enter text"; none when cancelled.
    // In UTF-8.
    virtual std::optional<std::string> AskText(const std::string& initial) = 0;
    // The Custom scheme's dialog; false when cancelled.
    virtual bool ChooseCustomColours(CustomColours& colours) = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A question answered Yes (true) or No.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

} // namespace pixtera::designer
