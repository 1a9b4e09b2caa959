// SPDX-License-Identifier: MIT
#include "menu_editor.h"

#include "menu_entry_form.h"
#include "preview_widget.h"

#include <QAction>
#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUndoStack>
#include <QVBoxLayout>

#include <functional>
#include <utility>

namespace pixtera::designer {
namespace {

constexpr char kNewEntryLabel[] = "New entry";
constexpr char kNewSubmenuLabel[] = "New submenu";

// What the entry does, with what it names: "Run a program: /usr/bin/uptime -p, asked".
QString Caption(const MenuEntry& entry)
{
    if (entry.submenu)
        return QStringLiteral("submenu");
    const MenuAction& action = entry.action;
    QString caption;
    for (const MenuActionCaption& known : kMenuActionCaptions)
        if (known.kind == action.kind)
            caption = QString::fromLatin1(known.caption);
    std::string names;
    switch (action.kind) {
    case MenuActionKind::ShowDesign: names = action.design; break;
    case MenuActionKind::SetData: names = action.item + " = " + action.value; break;
    case MenuActionKind::PublishEvent: names = action.event; break;
    case MenuActionKind::RunCommand:
        for (const std::string& word : action.command)
            names += (names.empty() ? "" : " ") + word;
        break;
    default: break;
    }
    if (!names.empty())
        caption += QStringLiteral(": ") + QString::fromStdString(names);
    return action.confirm ? caption + QStringLiteral(", asked") : caption;
}

QPushButton* Button(QWidget* parent, const QString& text, const char* name)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a field takes the field's text; it never presses a button.
    button->setAutoDefault(false);
    return button;
}

MenuPath PathOf(QTreeWidgetItem* item)
{
    MenuPath path;
    for (; item; item = item->parent()) {
        QTreeWidgetItem* parent = item->parent();
        const int index = parent ? parent->indexOfChild(item) : item->treeWidget()->indexOfTopLevelItem(item);
        path.insert(path.begin(), static_cast<std::size_t>(index));
    }
    return path;
}

void AddItems(const std::vector<MenuEntry>& entries, const std::function<QTreeWidgetItem*()>& make)
{
    // The document keeps the tree within the reader's depth, which bounds this.
    for (const MenuEntry& entry : entries) {
        QTreeWidgetItem* item = make();
        item->setText(0, entry.label.empty() ? QStringLiteral("(no label)") : QString::fromStdString(entry.label));
        item->setText(1, Caption(entry));
        AddItems(entry.entries, [item] { return new QTreeWidgetItem(item); });
    }
}

} // namespace

MenuEditor::MenuEditor(PreviewWidget& preview, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), preview_(preview), prompts_(prompts)
{
    setObjectName(QStringLiteral("menuEditor"));
    auto* layout = new QVBoxLayout(this);

    auto* files = new QHBoxLayout;
    const std::pair<const char*, std::function<void()>> fileCommands[] = {{"New", [this] { New(); }},
                                                                          {"Open...", [this] { Open(); }},
                                                                          {"Save", [this] { Save(); }},
                                                                          {"Save As...", [this] { SaveAs(); }}};
    for (const auto& [text, command] : fileCommands) {
        QPushButton* button = Button(this, QString::fromLatin1(text), "");
        connect(button, &QPushButton::clicked, this, command);
        files->addWidget(button);
    }
    files->addStretch();
    for (QAction* step : {document_.history().createUndoAction(this, QStringLiteral("&Undo")),
                          document_.history().createRedoAction(this, QStringLiteral("&Redo"))}) {
        const bool undo = step->text().startsWith(QStringLiteral("&Undo"));
        step->setShortcut(undo ? QKeySequence(QStringLiteral("Ctrl+Z")) : QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
        addAction(step);
        QPushButton* button = Button(this, undo ? QStringLiteral("Undo") : QStringLiteral("Redo"), "");
        button->setEnabled(step->isEnabled());
        connect(step, &QAction::enabledChanged, button, &QPushButton::setEnabled);
        connect(button, &QPushButton::clicked, step, &QAction::trigger);
        files->addWidget(button);
    }
    auto* save = new QAction(this);
    save->setShortcut(QKeySequence::Save);
    connect(save, &QAction::triggered, this, [this] { Save(); });
    addAction(save);
    layout->addLayout(files);

    auto* titleRow = new QFormLayout;
    title_ = new QLineEdit(this);
    title_->setObjectName(QStringLiteral("menuTitle"));
    title_->setPlaceholderText(QStringLiteral("the top level's title row"));
    titleRow->addRow(QStringLiteral("Menu &title"), title_);
    layout->addLayout(titleRow);

    auto* middle = new QHBoxLayout;
    auto* entries = new QVBoxLayout;
    auto* treeLabel = new QLabel(QStringLiteral("E&ntries (Insert, Shift+Insert, Ctrl+arrows, Delete)"), this);
    entries->addWidget(treeLabel);
    tree_ = new QTreeWidget(this);
    treeLabel->setBuddy(tree_);
    tree_->setObjectName(QStringLiteral("menuTree"));
    tree_->setHeaderLabels({QStringLiteral("Entry"), QStringLiteral("Does")});
    tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    tree_->setMinimumWidth(360);
    entries->addWidget(tree_, 1);
    middle->addLayout(entries, 3);
    auto* buttons = new QVBoxLayout;
    BuildCommands(*buttons);
    middle->addLayout(buttons);
    form_ = new MenuEntryForm(this);
    form_->setObjectName(QStringLiteral("entryForm"));
    form_->setMinimumWidth(260);
    middle->addWidget(form_, 2);
    layout->addLayout(middle, 1);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("menuProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problem_);
    auto* bottom = new QHBoxLayout;
    walk_ = new QCheckBox(QStringLiteral("&Walk the menu in the preview (Enter opens it; arrows, Escape)"), this);
    walk_->setObjectName(QStringLiteral("walkInPreview"));
    walk_->setChecked(true);
    bottom->addWidget(walk_);
    bottom->addStretch();
    QPushButton* close = Button(this, QStringLiteral("Close"), "closeMenuEditor");
    bottom->addWidget(close);
    layout->addLayout(bottom);

    connect(&document_, &MenuDocument::changed, this, &MenuEditor::Rebuild);
    connect(&document_, &MenuDocument::titleChanged, this,
            [this] { setWindowTitle(QString::fromStdString(document_.Title())); });
    connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (rebuilding_)
            return;
        chosen_ = item ? PathOf(item) : MenuPath{};
        ShowChosen();
    });
    connect(form_, &MenuEntryForm::labelEdited, this,
            [this](const QString& label) { Apply(document_.Rename(chosen_, label.toStdString())); });
    connect(form_, &MenuEntryForm::actionEdited, this,
            [this](const MenuAction& action) { Apply(document_.SetAction(chosen_, action)); });
    connect(title_, &QLineEdit::editingFinished, this, [this] { document_.SetTitle(title_->text().toStdString()); });
    connect(walk_, &QCheckBox::toggled, this, &MenuEditor::UpdatePreview);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    setWindowTitle(QString::fromStdString(document_.Title()));
    Rebuild();
    resize(820, 460);
}

MenuEditor::~MenuEditor()
{
    // The fields outlive the document (they go with the dialog after its members): a field giving
    // up the keyboard then must not edit a menu that is gone.
    disconnect(form_, nullptr, this, nullptr);
    disconnect(title_, nullptr, this, nullptr);
    disconnect(tree_, nullptr, this, nullptr);
    preview_.PreviewMenu(nullptr);
}

void MenuEditor::BuildCommands(QVBoxLayout& buttons)
{
    struct Command {
        const char* text;
        const char* name;
        QKeySequence key;
        void (MenuEditor::*run)();
    };
    const Command commands[] = {
        {"Add &entry", "addEntry", QKeySequence(Qt::Key_Insert), &MenuEditor::AddEntry},
        {"Add s&ubmenu", "addSubmenu", QKeySequence(Qt::SHIFT | Qt::Key_Insert), &MenuEditor::AddSubmenu},
        {"Nest \u2192", "nest", QKeySequence(Qt::CTRL | Qt::Key_Right), &MenuEditor::Nest},
        {"\u2190 Un-nest", "unnest", QKeySequence(Qt::CTRL | Qt::Key_Left), &MenuEditor::Unnest},
        {"Move up", "moveUp", QKeySequence(Qt::CTRL | Qt::Key_Up), &MenuEditor::MoveUp},
        {"Move down", "moveDown", QKeySequence(Qt::CTRL | Qt::Key_Down), &MenuEditor::MoveDown},
        {"&Delete", "deleteEntry", QKeySequence(Qt::Key_Delete), &MenuEditor::Delete},
    };
    for (const Command& command : commands) {
        QPushButton* button = Button(this, QString::fromUtf8(command.text), command.name);
        button->setToolTip(command.key.toString(QKeySequence::NativeText));
        connect(button, &QPushButton::clicked, this, command.run);
        buttons.addWidget(button);
        // The keys act in the tree, so that a field keeps its own Delete and Ctrl+arrows.
        auto* key = new QAction(tree_);
        key->setShortcut(command.key);
        key->setShortcutContext(Qt::WidgetShortcut);
        connect(key, &QAction::triggered, this, command.run);
        tree_->addAction(key);
    }
    buttons.addStretch();
}

void MenuEditor::Rebuild()
{
    rebuilding_ = true;
    tree_->clear();
    AddItems(document_.menu().entries, [this] { return new QTreeWidgetItem(tree_); });
    tree_->expandAll();
    // The chosen entry may have gone (a delete, an undo): the one now in its place, else the one
    // above, else its submenu.
    while (!chosen_.empty() && !MenuEntryAt(document_.menu(), chosen_)) {
        if (chosen_.back() > 0)
            --chosen_.back();
        else
            chosen_.pop_back();
    }
    if (title_->text().toStdString() != document_.menu().title)
        title_->setText(QString::fromStdString(document_.menu().title));
    const std::string problem = document_.Problem();
    problem_->setText(problem.empty()
                          ? QString()
                          : QStringLiteral("Not yet a menu the display takes: ") + QString::fromStdString(problem));
    rebuilding_ = false;
    Choose(chosen_);
    UpdatePreview();
}

void MenuEditor::Choose(const MenuPath& path)
{
    QTreeWidgetItem* item = nullptr;
    for (const std::size_t index : path) {
        const int at = static_cast<int>(index);
        item = item ? item->child(at) : tree_->topLevelItem(at);
        if (!item)
            break;
    }
    chosen_ = item ? path : MenuPath{};
    rebuilding_ = true;
    tree_->setCurrentItem(item);
    rebuilding_ = false;
    ShowChosen();
}

void MenuEditor::ShowChosen() { form_->Show(MenuEntryAt(document_.menu(), chosen_)); }

void MenuEditor::UpdatePreview()
{
    preview_.PreviewMenu(walk_->isChecked() && isVisible() ? &document_.menu() : nullptr);
}

void MenuEditor::Apply(const std::optional<MenuPath>& result)
{
    if (result)
        Choose(*result);
}

void MenuEditor::AddEntry()
{
    Apply(document_.AddEntry(chosen_, kNewEntryLabel));
    // The new entry's label is typed at once.
    form_->label().setFocus(Qt::OtherFocusReason);
    form_->label().selectAll();
}

void MenuEditor::AddSubmenu()
{
    Apply(document_.AddSubmenu(chosen_, kNewSubmenuLabel));
    form_->label().setFocus(Qt::OtherFocusReason);
    form_->label().selectAll();
}

void MenuEditor::Nest() { Apply(document_.Nest(chosen_)); }
void MenuEditor::Unnest() { Apply(document_.Unnest(chosen_)); }
void MenuEditor::MoveUp() { Apply(document_.MoveUp(chosen_)); }
void MenuEditor::MoveDown() { Apply(document_.MoveDown(chosen_)); }

void MenuEditor::Delete()
{
    if (document_.Remove(chosen_))
        Choose(chosen_);
}

bool MenuEditor::ConfirmDiscard()
{
    if (!document_.modified())
        return true;
    if (!prompts_.AskYesNo("The menu has changes that are not saved. Save them?", "Menu editor"))
        return true;
    return Save();
}

bool MenuEditor::New()
{
    if (!ConfirmDiscard())
        return false;
    chosen_.clear();
    document_.New();
    return true;
}

bool MenuEditor::Open()
{
    if (!ConfirmDiscard())
        return false;
    const auto file = prompts_.ChooseMenuToOpen();
    return file && Open(*file);
}

bool MenuEditor::Open(const std::filesystem::path& file)
{
    std::string why;
    const MenuPath chosen = std::exchange(chosen_, {});
    if (document_.Open(file, &why))
        return true;
    chosen_ = chosen;
    prompts_.ShowMessage("The menu was not opened: " + why, "Error");
    return false;
}

bool MenuEditor::Save()
{
    if (document_.path().empty())
        return SaveAs();
    return SaveTo(document_.path());
}

bool MenuEditor::SaveAs()
{
    const auto file = prompts_.ChooseMenuToSave();
    return file && SaveTo(*file);
}

bool MenuEditor::SaveTo(const std::filesystem::path& file)
{
    std::string why;
    if (document_.SaveAs(file, &why))
        return true;
    prompts_.ShowMessage("The menu was not saved: " + why, "Error");
    return false;
}

void MenuEditor::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    UpdatePreview();
}

void MenuEditor::hideEvent(QHideEvent* event)
{
    // Closed, the editor only hides: its menu stays for the next time it is shown, and the
    // preview's keys go back to the design.
    QDialog::hideEvent(event);
    preview_.PreviewMenu(nullptr);
}

} // namespace pixtera::designer
