// SPDX-License-Identifier: MIT
#pragma once
// The menu editor: a window of its own beside the main window. The tree of a menu's entries with
// the commands that build it (add, nest, move, delete, with buttons and keys), the chosen entry's
// form, the menu's file, and the preview walking the menu as the display will show it.

#include "menu_document.h"
#include "user_prompts.h"

#include <QDialog>

#include <filesystem>

class QCheckBox;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

namespace pixtera::designer {

class MenuEntryForm;
class PreviewWidget;

class MenuEditor : public QDialog {
    Q_OBJECT
public:
    MenuEditor(PreviewWidget& preview, UserPrompts& prompts, QWidget* parent = nullptr);
    ~MenuEditor() override;

    MenuDocument& document() { return document_; }
    QTreeWidget& tree() { return *tree_; }
    MenuEntryForm& form() { return *form_; }
    QLineEdit& title() { return *title_; }
    QCheckBox& walkInPreview() { return *walk_; }
    QLabel& problem() { return *problem_; }
    // The chosen entry's place; empty when none is chosen.
    const MenuPath& chosen() const { return chosen_; }
    void Choose(const MenuPath& path);

    // The commands, as the buttons and keys run them, on the chosen entry.
    void AddEntry();
    void AddSubmenu();
    void Nest();
    void Unnest();
    void MoveUp();
    void MoveDown();
    void Delete();
    // File commands; false when nothing was done (cancelled, refused: said to the user).
    bool New();
    bool Open();
    bool Open(const std::filesystem::path& file);
    bool Save();
    bool SaveAs();
    // "Save the changes?" before they would be lost (the main window closing): Yes saves, and a
    // save that fails or is cancelled answers false (keep them).
    bool ConfirmDiscard();

protected:
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildCommands(QVBoxLayout& buttons);
    void Rebuild();
    void ShowChosen();
    void UpdatePreview();
    void Apply(const std::optional<MenuPath>& result);
    bool SaveTo(const std::filesystem::path& file);

    PreviewWidget& preview_;
    UserPrompts& prompts_;
    MenuDocument document_;
    QTreeWidget* tree_ = nullptr;
    MenuEntryForm* form_ = nullptr;
    QLineEdit* title_ = nullptr;
    QCheckBox* walk_ = nullptr;
    QLabel* problem_ = nullptr;
    MenuPath chosen_;
    bool rebuilding_ = false; // the tree is refilled: its selection changes are no user's
};

} // namespace pixtera::designer
