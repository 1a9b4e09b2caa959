// SPDX-License-Identifier: MIT
#include "configuration_panel.h"

#include "detect_displays_dialog.h"
#include "service_program.h"

#include <pixtera/configuration_file.h>
#include <pixtera/platform/paths.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pixtera::designer {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

} // namespace

ConfigurationPanel::ConfigurationPanel(const std::filesystem::path& programDirectory, UserPrompts& prompts,
                                       ConfigureDialog configure, QWidget* parent)
    : QDialog(parent),
      program_(programDirectory / "pixtera2"),
      prompts_(prompts),
      configure_(std::move(configure)),
      catalog_(ReadCatalog(PluginDirectory(programDirectory))),
      editor_(ConfigFileLocation(programDirectory), PluginDirectory(programDirectory))
{
    setWindowTitle(QStringLiteral("Configuration panel"));
    auto* layout = new QVBoxLayout(this);

    auto* lists = new QGroupBox(this);
    auto* grid = new QGridLayout(lists);
    grid->addWidget(new QLabel(QStringLiteral("Loaded plugins"), lists), 0, 0, Qt::AlignHCenter);
    grid->addWidget(new QLabel(QStringLiteral("Available plugins"), lists), 0, 2, Qt::AlignHCenter);
    loaded_ = new QListWidget(lists);
    loaded_->setObjectName(QStringLiteral("loadedPlugins"));
    loaded_->setContextMenuPolicy(Qt::CustomContextMenu);
    // A long place (a file's path) keeps its end in sight; the whole title is the row's tip.
    loaded_->setTextElideMode(Qt::ElideMiddle);
    loaded_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    available_ = new QListWidget(lists);
    available_->setObjectName(QStringLiteral("availablePlugins"));
    auto* buttons = new QVBoxLayout;
    auto* add = new QPushButton(QStringLiteral("<"), lists);
    auto* remove = new QPushButton(QStringLiteral(">"), lists);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch();
    auto* detect = new QPushButton(QStringLiteral("&Detect displays"), this);
    detect->setObjectName(QStringLiteral("detectDisplays"));
    detect->setToolTip(QStringLiteral("Finds the displays on the I2C buses, the serial ports and LCDd, configured"));
    grid->addWidget(loaded_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(available_, 1, 2);
    layout->addWidget(lists, 1);
    auto* detectRow = new QHBoxLayout;
    detectRow->addWidget(detect);
    detectRow->addStretch();
    layout->addLayout(detectRow);

    auto* details = new QGroupBox(this);
    auto* form = new QFormLayout(details);
    description_ = new QPlainTextEdit(details);
    description_->setReadOnly(true);
    description_->setMaximumHeight(70);
    author_ = new QLineEdit(details);
    author_->setReadOnly(true);
    website_ = new QLabel(details);
    website_->setOpenExternalLinks(true);
    website_->setTextInteractionFlags(Qt::TextBrowserInteraction);
    form->addRow(QStringLiteral("Description"), description_);
    form->addRow(QStringLiteral("Author"), author_);
    form->addRow(QStringLiteral("Website"), website_);
    layout->addWidget(details, 0);

    if (!editor_.readable()) {
        auto* problem =
            new QLabel(FromUtf8(editor_.error() + "\nIt is left as it is; mend it and open the panel again."), this);
        problem->setObjectName(QStringLiteral("fileProblem"));
        problem->setWordWrap(true);
        layout->addWidget(problem);
    }
    startup_ = new QCheckBox(QStringLiteral("Run Pixtera at system startup."), this);
    startup_->setChecked(RunsAtSystemStartup());
    layout->addWidget(startup_);
    auto* okCancel = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(okCancel);

    for (const CatalogEntry& entry : catalog_.entries)
        available_->addItem(FromUtf8(entry.shortDescription));
    FillLoaded();

    connect(available_, &QListWidget::currentRowChanged, this, &ConfigurationPanel::ShowEntry);
    connect(available_, &QListWidget::itemDoubleClicked, this, &ConfigurationPanel::AddSelected);
    connect(add, &QPushButton::clicked, this, &ConfigurationPanel::AddSelected);
    connect(remove, &QPushButton::clicked, this, &ConfigurationPanel::RemoveSelected);
    connect(detect, &QPushButton::clicked, this, &ConfigurationPanel::DetectDisplays);
    connect(loaded_, &QWidget::customContextMenuRequested, this, &ConfigurationPanel::ShowLoadedMenu);
    connect(okCancel, &QDialogButtonBox::accepted, this, &ConfigurationPanel::Apply);
    connect(okCancel, &QDialogButtonBox::rejected, this, &QDialog::reject);
    if (!catalog_.entries.empty())
        available_->setCurrentRow(0);
    resize(560, 560);

    // Said once per catalog file that lacks a part; the panel opens all the same.
    for (const auto& faulty : catalog_.faultyFiles)
        prompts_.ShowMessage("Error parsing " + faulty.string(), "Error");
}

void ConfigurationPanel::FillLoaded()
{
    loaded_->clear();
    for (std::size_t row = 0; row < editor_.loaded().size(); ++row) {
        auto* item = new QListWidgetItem(FromUtf8(editor_.loaded()[row].title), loaded_);
        const std::string menu = editor_.DisplayMenu(row);
        item->setToolTip(menu.empty() ? item->text() : item->text() + QStringLiteral("\nMenu: ") + FromUtf8(menu));
    }
}

void ConfigurationPanel::BindMenuToSelected()
{
    const int row = loaded_->currentRow();
    if (row < 0 || !editor_.DrivesDisplay(static_cast<std::size_t>(row)))
        return;
    const auto file = prompts_.ChooseMenuToOpen();
    if (!file)
        return;
    std::string why;
    if (!editor_.BindDisplayMenu(static_cast<std::size_t>(row), *file, &why))
        prompts_.ShowMessage("The menu was not bound to the display: " + why, "Error");
    FillLoaded();
    loaded_->setCurrentRow(row);
}

void ConfigurationPanel::UnbindMenuOfSelected()
{
    const int row = loaded_->currentRow();
    if (row < 0)
        return;
    editor_.BindDisplayMenu(static_cast<std::size_t>(row), {});
    FillLoaded();
    loaded_->setCurrentRow(row);
}

void ConfigurationPanel::ShowEntry(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= catalog_.entries.size())
        return;
    const CatalogEntry& entry = catalog_.entries[static_cast<std::size_t>(row)];
    description_->setPlainText(FromUtf8(entry.longDescription));
    author_->setText(FromUtf8(entry.author));
    const QString address = FromUtf8(entry.website).toHtmlEscaped();
    website_->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(address));
    website_->setToolTip(address);
}

void ConfigurationPanel::AddSelected()
{
    const int row = available_->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= catalog_.entries.size())
        return;
    std::string why;
    switch (editor_.Add(catalog_.entries[static_cast<std::size_t>(row)], configure_, &why)) {
    case ConfigurationEditor::AddResult::OnlyOnce:
        prompts_.ShowMessage("You can only add this plugin once", "Error");
        break;
    case ConfigurationEditor::AddResult::NotCreatable:
        prompts_.ShowMessage("The plugin was not added: " + why, "Error");
        break;
    case ConfigurationEditor::AddResult::Added:
    case ConfigurationEditor::AddResult::Declined: break;
    }
    FillLoaded();
}

void ConfigurationPanel::RemoveSelected()
{
    // Only a row the user selected: the list's current row is the first one even before that.
    const auto selected = loaded_->selectedItems();
    if (selected.isEmpty())
        return;
    const int row = loaded_->row(selected.front());
    editor_.Remove(static_cast<std::size_t>(row));
    FillLoaded();
}

void ConfigurationPanel::ConfigureSelected()
{
    const int row = loaded_->currentRow();
    if (row < 0 || !CanConfigure(row))
        return;
    const CatalogEntry* entry = catalog_.Find(editor_.loaded()[static_cast<std::size_t>(row)].clsid);
    editor_.Configure(static_cast<std::size_t>(row), configure_, entry && entry->configurationNeeded);
    FillLoaded();
}

bool ConfigurationPanel::CanConfigure(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= editor_.loaded().size())
        return false;
    const CatalogEntry* entry = catalog_.Find(editor_.loaded()[static_cast<std::size_t>(row)].clsid);
    return !entry || entry->configurationAvailable;
}

QDialog* ConfigurationPanel::DetectDisplays()
{
    if (!editor_.readable()) {
        prompts_.ShowMessage(editor_.error(), "Error");
        return nullptr;
    }
    auto* dialog = new DetectDisplaysDialog(detectionDevices_, editor_, catalog_, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, &ConfigurationPanel::FillLoaded);
    dialog->open();
    return dialog;
}

void ConfigurationPanel::ShowLoadedMenu(const QPoint& at)
{
    QListWidgetItem* item = loaded_->itemAt(at);
    if (!item)
        return;
    loaded_->setCurrentItem(item);
    QMenu menu(this);
    QAction* configure = menu.addAction(QStringLiteral("Configure"), this, &ConfigurationPanel::ConfigureSelected);
    configure->setEnabled(CanConfigure(loaded_->row(item)));
    menu.setDefaultAction(configure);
    const auto row = static_cast<std::size_t>(loaded_->row(item));
    const std::string bound = editor_.DisplayMenu(row);
    menu.addAction(bound.empty() ? QStringLiteral("Menu...") : QStringLiteral("Menu (%1)...").arg(FromUtf8(bound)),
                   this, &ConfigurationPanel::BindMenuToSelected)
        ->setEnabled(editor_.DrivesDisplay(row));
    menu.addAction(QStringLiteral("No menu"), this, &ConfigurationPanel::UnbindMenuOfSelected)
        ->setEnabled(!bound.empty());
    menu.addAction(QStringLiteral("Delete"), this, &ConfigurationPanel::RemoveSelected);
    menu.exec(loaded_->viewport()->mapToGlobal(at));
}

void ConfigurationPanel::Apply()
{
    std::string error;
    if (editor_.readable() && !editor_.Save(&error)) {
        // The panel stays open with its edits: the user may mend the cause and try again.
        prompts_.ShowMessage("The configuration was not saved: " + error, "Error");
        return;
    }
    if (const std::string said = ReregisterService(program_, startup_->isChecked()); !said.empty())
        prompts_.ShowMessage(said, "Pixtera");
    accept();
}

} // namespace pixtera::designer
