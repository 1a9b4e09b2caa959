// SPDX-License-Identifier: MIT
#pragma once
// The menu editor's form for the chosen entry: its label and, for an action entry, the action
// and the fields that action takes. It shows an entry and says what the user changed; the editor
// turns that into the document's undo steps.

#include <pixtera/menu_file.h>

#include <QString>
#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLineEdit;
class QPlainTextEdit;

namespace pixtera::designer {

// Every action a menu entry may do, with the caption the chooser shows, in the chooser's order.
struct MenuActionCaption {
    MenuActionKind kind;
    const char* caption;
};
inline constexpr std::array<MenuActionCaption, 15> kMenuActionCaptions{{
    {MenuActionKind::ShowDesign, "Show a design"},
    {MenuActionKind::NextDesign, "Show the next design"},
    {MenuActionKind::PreviousDesign, "Show the previous design"},
    {MenuActionKind::BacklightOn, "Backlight on"},
    {MenuActionKind::BacklightOff, "Backlight off"},
    {MenuActionKind::BacklightToggle, "Backlight on or off"},
    {MenuActionKind::BrightnessUp, "Brighter"},
    {MenuActionKind::BrightnessDown, "Dimmer"},
    {MenuActionKind::SetData, "Set a data item"},
    {MenuActionKind::RunCommand, "Run a program"},
    {MenuActionKind::Lock, "Lock the session"},
    {MenuActionKind::Suspend, "Suspend"},
    {MenuActionKind::PowerOff, "Power off"},
    {MenuActionKind::Reboot, "Reboot"},
    {MenuActionKind::PublishEvent, "Publish an MQTT event"},
}};

class MenuEntryForm : public QWidget {
    Q_OBJECT
public:
    explicit MenuEntryForm(QWidget* parent = nullptr);
    ~MenuEntryForm() override;

    // Shows `entry` (none: an empty, disabled form); a submenu shows its label only.
    void Show(const MenuEntry* entry);

    QLineEdit& label() { return *label_; }
    QComboBox& action() { return *action_; }
    QLineEdit& design() { return *design_; }
    QLineEdit& item() { return *item_; }
    QLineEdit& value() { return *value_; }
    QLineEdit& program() { return *program_; }
    QPlainTextEdit& arguments() { return *arguments_; }
    QLineEdit& event() { return *event_; }
    QCheckBox& confirm() { return *confirm_; }
    // Whether the row of `field` shows (the chosen action takes it).
    bool Shows(const QWidget& field) const;

signals:
    void labelEdited(const QString& label);
    void actionEdited(const pixtera::MenuAction& action);

protected:
    // The arguments are taken when the keyboard leaves them, as a line edit's text is.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MenuAction Edited() const;
    void ShowFieldsOf(MenuActionKind kind, bool action);
    void EmitAction();

    QFormLayout* layout_ = nullptr;
    QLineEdit* label_ = nullptr;
    QComboBox* action_ = nullptr;
    QLineEdit* design_ = nullptr;
    QLineEdit* item_ = nullptr;
    QLineEdit* value_ = nullptr;
    QLineEdit* program_ = nullptr;
    QPlainTextEdit* arguments_ = nullptr; // one argument a line
    QLineEdit* event_ = nullptr;
    QCheckBox* confirm_ = nullptr;
    MenuAction shown_; // the action as shown, so that fields of other actions are kept
    bool isAction_ = false; // the entry shown has an action
    bool filling_ = false; // Show() fills the fields: no edits to report
};

} // namespace pixtera::designer
