// SPDX-License-Identifier: MIT
#include "menu_entry_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace pixtera::designer {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QLineEdit* Field(QWidget* parent, const char* name, const QString& hint)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(hint);
    return field;
}

} // namespace

MenuEntryForm::MenuEntryForm(QWidget* parent) : QWidget(parent)
{
    layout_ = new QFormLayout(this);
    layout_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    label_ = Field(this, "entryLabel", QStringLiteral("what the display shows"));
    action_ = new QComboBox(this);
    action_->setObjectName(QStringLiteral("entryAction"));
    for (const MenuActionCaption& caption : kMenuActionCaptions)
        action_->addItem(QString::fromLatin1(caption.caption), static_cast<int>(caption.kind));
    design_ = Field(this, "entryDesign", QStringLiteral("a design of the display's queue: clock.pxd"));
    item_ = Field(this, "entryItem", QStringLiteral("a bus data item"));
    value_ = Field(this, "entryValue", QStringLiteral("may be empty"));
    program_ = Field(this, "entryProgram", QStringLiteral("/usr/bin/program"));
    arguments_ = new QPlainTextEdit(this);
    arguments_->setObjectName(QStringLiteral("entryArguments"));
    arguments_->setPlaceholderText(QStringLiteral("one argument a line, never through a shell"));
    arguments_->setTabChangesFocus(true);
    arguments_->setMaximumHeight(90);
    arguments_->installEventFilter(this);
    event_ = Field(this, "entryEvent", QStringLiteral("letters, digits, _ - ."));
    confirm_ = new QCheckBox(QStringLiteral("&Ask \"Enter=yes Esc=no\" first"), this);
    confirm_->setObjectName(QStringLiteral("entryConfirm"));
    layout_->addRow(QStringLiteral("&Label"), label_);
    layout_->addRow(QStringLiteral("A&ction"), action_);
    layout_->addRow(QStringLiteral("Desi&gn"), design_);
    layout_->addRow(QStringLiteral("&Item"), item_);
    layout_->addRow(QStringLiteral("&Value"), value_);
    layout_->addRow(QStringLiteral("&Program"), program_);
    layout_->addRow(QStringLiteral("A&rguments"), arguments_);
    layout_->addRow(QStringLiteral("Event"), event_);
    layout_->addRow(QString(), confirm_);

    connect(label_, &QLineEdit::editingFinished, this, [this] {
        if (!filling_)
            emit labelEdited(label_->text());
    });
    connect(action_, &QComboBox::activated, this, [this] {
        ShowFieldsOf(Edited().kind, true);
        EmitAction();
    });
    for (QLineEdit* field : {design_, item_, value_, program_, event_})
        connect(field, &QLineEdit::editingFinished, this, &MenuEntryForm::EmitAction);
    connect(confirm_, &QCheckBox::toggled, this, &MenuEntryForm::EmitAction);
    Show(nullptr);
}

MenuEntryForm::~MenuEntryForm()
{
    // The fields go after the form's members: one giving up the keyboard then reports nothing.
    arguments_->removeEventFilter(this);
    for (QObject* field : findChildren<QObject*>())
        disconnect(field, nullptr, this, nullptr);
}

void MenuEntryForm::Show(const MenuEntry* entry)
{
    filling_ = true;
    setEnabled(entry != nullptr);
    label_->setText(entry ? FromUtf8(entry->label) : QString());
    const bool action = entry && !entry->submenu;
    isAction_ = action;
    shown_ = action ? entry->action : MenuAction{};
    action_->setCurrentIndex(action_->findData(static_cast<int>(shown_.kind)));
    design_->setText(FromUtf8(shown_.design));
    item_->setText(FromUtf8(shown_.item));
    value_->setText(FromUtf8(shown_.value));
    program_->setText(shown_.command.empty() ? QString() : FromUtf8(shown_.command.front()));
    QStringList arguments;
    for (std::size_t i = 1; i < shown_.command.size(); ++i)
        arguments << FromUtf8(shown_.command[i]);
    arguments_->setPlainText(arguments.join(u'\n'));
    event_->setText(FromUtf8(shown_.event));
    confirm_->setChecked(shown_.confirm);
    ShowFieldsOf(shown_.kind, action);
    filling_ = false;
}

void MenuEntryForm::ShowFieldsOf(MenuActionKind kind, bool action)
{
    const auto show = [this](QWidget* field, bool visible) { layout_->setRowVisible(field, visible); };
    show(action_, action);
    show(confirm_, action);
    show(design_, action && kind == MenuActionKind::ShowDesign);
    show(item_, action && kind == MenuActionKind::SetData);
    show(value_, action && kind == MenuActionKind::SetData);
    show(program_, action && kind == MenuActionKind::RunCommand);
    show(arguments_, action && kind == MenuActionKind::RunCommand);
    show(event_, action && kind == MenuActionKind::PublishEvent);
}

bool MenuEntryForm::Shows(const QWidget& field) const
{
    // A hidden row's field is hidden with it.
    return !field.isHidden();
}

MenuAction MenuEntryForm::Edited() const
{
    MenuAction action = shown_;
    action.kind = static_cast<MenuActionKind>(action_->currentData().toInt());
    action.design = design_->text().toStdString();
    action.item = item_->text().toStdString();
    action.value = value_->text().toStdString();
    action.event = event_->text().toStdString();
    action.confirm = confirm_->isChecked();
    // A command is kept only while it has a program or arguments; an empty program stays empty,
    // so the reader's reason ("no program") is what the user sees.
    action.command.clear();
    const QStringList arguments = arguments_->toPlainText().split(u'\n', Qt::SkipEmptyParts);
    if (!program_->text().isEmpty() || !arguments.isEmpty()) {
        action.command.push_back(program_->text().toStdString());
        for (const QString& argument : arguments)
            action.command.push_back(argument.toStdString());
    }
    return action;
}

void MenuEntryForm::EmitAction()
{
    if (filling_ || !isAction_)
        return;
    const MenuAction edited = Edited();
    if (edited == shown_)
        return;
    shown_ = edited;
    emit actionEdited(edited);
}

bool MenuEntryForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == arguments_ && event->type() == QEvent::FocusOut)
        EmitAction();
    return QWidget::eventFilter(watched, event);
}

} // namespace pixtera::designer
