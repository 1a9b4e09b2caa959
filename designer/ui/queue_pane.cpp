// SPDX-License-Identifier: MIT
#include "queue_pane.h"

#include "service_objects.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>

namespace pixtera::designer {
namespace {

constexpr int kRowsShown = 4;
const QString kRuntimeHint = QStringLiteral("A whole number of seconds; 0 shows the design for good");

// A runtime is a whole number of seconds: the editor takes nothing else, and Enter on an empty
// cell leaves it in edit.
class RuntimeDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral(R"(\s*-?\d+\s*)")), editor));
        editor->setToolTip(kRuntimeHint);
        return editor;
    }
};

// The seconds in a cell's text, blanks around them allowed; none for anything else.
std::optional<LONG> Seconds(const QString& text)
{
    bool ok = false;
    const LONG seconds = text.trimmed().toInt(&ok);
    return ok ? std::optional<LONG>(seconds) : std::nullopt;
}

} // namespace

QueuePane::QueuePane(QueueEditor& editor, std::function<std::optional<std::filesystem::path>()> chooseDesign,
                     QWidget* parent)
    : QTableWidget(0, 2, parent), editor_(editor), chooseDesign_(std::move(chooseDesign))
{
    setHorizontalHeaderLabels({QStringLiteral("Design"), QStringLiteral("Runtime")});
    setColumnWidth(0, 200);
    setColumnWidth(1, 75);
    horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    verticalHeader()->hide();
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegateForColumn(1, new RuntimeDelegate(this));
    connect(this, &QTableWidget::cellClicked, this, &QueuePane::OnCellClicked);
    connect(this, &QTableWidget::cellChanged, this, &QueuePane::OnCellChanged);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (currentRow() < 0 || currentRow() >= QueueRows())
            return;
        QMenu menu(this);
        menu.setDefaultAction(menu.addAction(QStringLiteral("Delete"), this, &QueuePane::DeleteSelected));
        menu.addAction(QStringLiteral("Move up"), this, [this] { MoveSelected(true); });
        menu.addAction(QStringLiteral("Move down"), this, [this] { MoveSelected(false); });
        menu.exec(viewport()->mapToGlobal(at));
    });
    setEnabled(false);
    Reload();
}

QSize QueuePane::sizeHint() const
{
    const QSize hint = QTableWidget::sizeHint();
    const int rows =
        horizontalHeader()->sizeHint().height() + verticalHeader()->defaultSectionSize() * (kRowsShown + 1);
    return {hint.width(), rows + 2 * frameWidth()};
}

void QueuePane::Guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ServiceError& error) {
        emit failed(QString::fromStdString(error.what()));
    }
}

void QueuePane::Reload()
{
    loading_ = true;
    setRowCount(0);
    std::vector<QueueRow> rows;
    Guarded([&] { rows = editor_.Rows(); });
    for (const QueueRow& entry : rows) {
        const int at = rowCount();
        insertRow(at);
        auto* design = new QTableWidgetItem(QString::fromStdString(entry.file));
        design->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        setItem(at, 0, design);
        setItem(at, 1, new QTableWidgetItem(QString::number(entry.seconds)));
    }
    const int add = rowCount();
    insertRow(add);
    auto* adder = new QTableWidgetItem(QString::fromLatin1(kAddRowText));
    adder->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    setItem(add, 0, adder);
    auto* blank = new QTableWidgetItem();
    blank->setFlags(Qt::ItemIsEnabled);
    setItem(add, 1, blank);
    setEnabled(editor_.shown());
    loading_ = false;
    Highlight();
}

void QueuePane::ShowOpenDesign(const std::filesystem::path& design)
{
    if (design == openDesign_)
        return;
    openDesign_ = design;
    Highlight();
}

void QueuePane::Highlight(int preferred)
{
    auto names = [this](int row) {
        return !openDesign_.empty() && std::filesystem::path(item(row, 0)->text().toStdString()) == openDesign_;
    };
    int row = preferred >= 0 && preferred < QueueRows() && names(preferred) ? preferred : -1;
    for (int r = 0; row < 0 && r < QueueRows(); ++r)
        if (names(r))
            row = r;
    if (row >= 0) {
        selectRow(row);
        return;
    }
    clearSelection();
    setCurrentCell(-1, -1);
}

void QueuePane::RequestOpen(std::optional<std::filesystem::path> design, int row)
{
    emit openRequested(std::move(design));
    Highlight(row);
}

void QueuePane::AddDesign()
{
    if (!editor_.shown())
        return;
    const auto design = chooseDesign_();
    if (!design)
        return;
    Guarded([&] {
        editor_.Add(*design);
        Reload();
        RequestOpen(*design, QueueRows() - 1); // the new last row
    });
}

void QueuePane::DeleteSelected()
{
    const int row = currentRow();
    if (row < 0 || row >= QueueRows())
        return;
    Guarded([&] {
        const auto next = editor_.Delete(static_cast<std::size_t>(row));
        Reload();
        if (!next) {
            RequestOpen(std::nullopt, -1);
            return;
        }
        const int shown = static_cast<int>(*next);
        RequestOpen(std::filesystem::path(item(shown, 0)->text().toStdString()), shown);
    });
}

void QueuePane::MoveSelected(bool up)
{
    const int row = currentRow();
    if (row < 0 || row >= QueueRows())
        return;
    Guarded([&] {
        if (up)
            editor_.MoveUp(static_cast<std::size_t>(row));
        else
            editor_.MoveDown(static_cast<std::size_t>(row));
        Reload();
    });
}

void QueuePane::OnCellClicked(int row, int column)
{
    if (row == QueueRows()) {
        AddDesign();
        return;
    }
    if (column == 0)
        RequestOpen(std::filesystem::path(item(row, 0)->text().toStdString()), row);
}

void QueuePane::OnCellChanged(int row, int column)
{
    if (loading_ || column != 1 || row >= QueueRows())
        return;
    const auto seconds = Seconds(item(row, 1)->text());
    if (!seconds) {
        // Refused: the stored runtime comes back, and the cell says what it takes.
        item(row, 1)->setToolTip(kRuntimeHint);
        Reload();
        return;
    }
    Guarded([&] {
        const LONG stored = editor_.SetRuntime(static_cast<std::size_t>(row), *seconds);
        loading_ = true;
        item(row, 1)->setText(QString::number(stored));
        loading_ = false;
    });
}

} // namespace pixtera::designer
