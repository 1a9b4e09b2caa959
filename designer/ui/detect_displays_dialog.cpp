// SPDX-License-Identifier: MIT
#include "detect_displays_dialog.h"

#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace pixtera::designer {
namespace {

constexpr int kModuleRole = Qt::UserRole; // the index of the module in the report

} // namespace

DetectDisplaysDialog::DetectDisplaysDialog(std::shared_ptr<detection::DetectionDevices> devices,
                                           ConfigurationEditor& editor, const Catalog& catalog, QWidget* parent)
    : QDialog(parent), search_(std::move(devices)), editor_(editor), catalog_(catalog)
{
    setWindowTitle(QStringLiteral("Detect displays"));
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(QStringLiteral("Looking for displays..."), this);
    status_->setObjectName(QStringLiteral("detectionStatus"));
    status_->setWordWrap(true);
    busy_ = new QProgressBar(this);
    busy_->setRange(0, 0); // how long each place takes is not known
    found_ = new QListWidget(this);
    found_->setObjectName(QStringLiteral("foundDisplays"));
    found_->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    add_ = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add_->setEnabled(false);
    layout->addWidget(status_);
    layout->addWidget(busy_);
    layout->addWidget(found_, 1);
    layout->addWidget(buttons);
    resize(560, 320);

    connect(&search_, &ModuleSearch::probing, this,
            [this](const QString& place) { status_->setText(QStringLiteral("Probing %1...").arg(place)); });
    connect(&search_, &ModuleSearch::finished, this, &DetectDisplaysDialog::ShowFindings);
    connect(add_, &QPushButton::clicked, this, &DetectDisplaysDialog::AddTicked);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    search_.Start();
}

void DetectDisplaysDialog::ShowFindings()
{
    busy_->hide();
    found_->clear();
    const auto& report = search_.report();
    int offered = 0;
    for (std::size_t index = 0; index < report.found.size(); ++index) {
        const auto& module = report.found[index];
        const CatalogEntry* entry = catalog_.Find(module.progId);
        QString text = QString::fromStdString((entry ? entry->shortDescription : module.progId) + ": " + module.place);
        if (!module.note.empty())
            text += QString::fromStdString(" (" + module.note + ")");
        auto* item = new QListWidgetItem(text, found_);
        item->setData(kModuleRole, static_cast<int>(index));
        item->setToolTip(QString::fromStdString(module.configuration));
        if (editor_.Drives(module)) {
            item->setText(text + QStringLiteral(": already configured"));
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
            continue;
        }
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        ++offered;
    }
    // Every other place looked at, with why nothing was found there; greyed under modules found.
    const bool anyFound = !report.found.empty();
    if (anyFound && !report.tried.empty()) {
        auto* heading = new QListWidgetItem(QStringLiteral("Nothing was found at:"), found_);
        heading->setFlags(Qt::ItemIsEnabled);
        QFont bold = heading->font();
        bold.setBold(true);
        heading->setFont(bold);
    }
    for (const auto& tried : report.tried) {
        auto* item = new QListWidgetItem(QString::fromStdString(tried.place + ": " + tried.reason), found_);
        if (anyFound)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    if (report.found.empty())
        status_->setText(QStringLiteral("No display was found. Where it was looked for:"));
    else
        status_->setText(offered > 0 ? QStringLiteral("Tick the displays to add; each comes configured.")
                                     : QStringLiteral("Every display found is configured already."));
    add_->setEnabled(offered > 0);
}

void DetectDisplaysDialog::AddTicked()
{
    const auto& report = search_.report();
    QStringList problems;
    for (int row = 0; row < found_->count(); ++row) {
        const QListWidgetItem* item = found_->item(row);
        if (!(item->flags() & Qt::ItemIsUserCheckable) || item->checkState() != Qt::Checked)
            continue;
        const auto& module = report.found[static_cast<std::size_t>(item->data(kModuleRole).toInt())];
        const CatalogEntry* entry = catalog_.Find(module.progId);
        std::string why = "its plug-in is not installed";
        const auto result = entry ? editor_.AddConfigured(*entry, module.configuration, &why)
                                  : ConfigurationEditor::AddResult::NotCreatable;
        if (result == ConfigurationEditor::AddResult::OnlyOnce)
            why = "its plug-in can be added only once";
        if (result != ConfigurationEditor::AddResult::Added)
            problems << QString::fromStdString(module.place + ": " + why);
    }
    if (!problems.isEmpty()) {
        status_->setText(QStringLiteral("Not added: ") + problems.join(QStringLiteral("; ")));
        add_->setEnabled(false);
        return;
    }
    accept();
}

} // namespace pixtera::designer
