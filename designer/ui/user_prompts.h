#pragma once
// Every question the designer asks the user, behind one interface: the window asks through it,
// the program answers with dialogs and tests answer with a script.

#include "colour_scheme.h"

#include <filesystem>
#include <optional>
#include <string>

class QWidget;

namespace pixtera::designer {

enum class SaveAnswer { Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // "The current design is not yet saved, do you wish to save it?"
    virtual SaveAnswer AskToSave() = 0;
    virtual std::optional<std::filesystem::path> ChooseDesignToOpen() = 0;
    virtual std::optional<std::filesystem::path> ChooseDesignToSave() = 0;
    virtual std::optional<std::filesystem::path> ChooseBackground() = 0;
    // "Please enter text"; none when cancelled.
    virtual std::optional<std::string> AskText(const std::string& initial) = 0;
    // The Custom scheme's dialog; false when cancelled.
    virtual bool ChooseCustomColours(CustomColours& colours) = 0;
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
};

// The real dialogs, centred on `parent`.
class DialogPrompts final : public UserPrompts {
public:
    explicit DialogPrompts(QWidget* parent) : parent_(parent) {}
    SaveAnswer AskToSave() override;
    std::optional<std::filesystem::path> ChooseDesignToOpen() override;
    std::optional<std::filesystem::path> ChooseDesignToSave() override;
    std::optional<std::filesystem::path> ChooseBackground() override;
    std::optional<std::string> AskText(const std::string& initial) override;
    bool ChooseCustomColours(CustomColours& colours) override;
    void ShowMessage(const std::string& text, const std::string& caption) override;

private:
    QWidget* parent_;
};

} // namespace pixtera::designer
