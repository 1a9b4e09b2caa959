// SPDX-License-Identifier: MIT
#pragma once
// The designer's questions as real dialogs, centred on the window.

#include "user_prompts.h"

class QWidget;

namespace pixtera::designer {

// The real dialogs, centred on `parent`.
class DialogPrompts final : public UserPrompts {
public:
    explicit DialogPrompts(QWidget* parent) : parent_(parent) {}
    SaveAnswer AskToSave() override;
    std::optional<std::filesystem::path> ChooseDesignToOpen() override;
    std::optional<std::filesystem::path> ChooseDesignToSave() override;
    std::optional<std::filesystem::path> ChooseDesignToAdd(const std::filesystem::path& startIn) override;
    std::optional<std::filesystem::path> ChooseBackground() override;
    std::optional<std::filesystem::path> ChooseMenuToOpen() override;
    std::optional<std::filesystem::path> ChooseMenuToSave() override;
    std::optional<std::string> AskText(const std::string& initial) override;
    bool ChooseCustomColours(CustomColours& colours) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;
    bool AskYesNo(const std::string& text, const std::string& caption) override;

private:
    QWidget* parent_;
};

} // namespace pixtera::designer
