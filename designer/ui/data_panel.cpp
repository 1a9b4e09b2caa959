// SPDX-License-Identifier: MIT
#include "data_panel.h"

#include "service_objects.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

namespace pixtera::designer {
namespace {

constexpr int kIdRole = Qt::UserRole;

void AddNodes(QTreeWidgetItem* parent, QTreeWidget* tree, const std::vector<DataNode>& nodes)
{
    for (const DataNode& node : nodes) {
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
        item->setText(0, QString::fromStdU16String(node.text));
        item->setData(0, kIdRole, static_cast<int>(node.id));
        // Only leaves are data items: a folder is not dragged.
        item->setFlags(node.folder() ? Qt::ItemIsEnabled
                                     : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
        AddNodes(item, tree, node.children);
    }
}

} // namespace

DataPanel::DataPanel(QWidget* parent) : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QStringLiteral("Refresh"), this, &DataPanel::refreshRequested);
        menu.exec(viewport()->mapToGlobal(at));
    });
}

void DataPanel::Show(const std::vector<DataNode>& nodes)
{
    clear();
    AddNodes(nullptr, this, nodes);
    expandToDepth(0); // the providers' groups open, their subgroups closed
}

void DataPanel::Fill(IDataCollection& collection)
{
    std::vector<std::u16string> descriptions;
    try {
        LONG count = 0;
        CheckCall(collection.Count(&count), "Counting the data items");
        for (LONG id = 1; id <= count; ++id) {
            BString description;
            CheckCall(collection.Description(id, description.Out()), "Reading the data items");
            descriptions.emplace_back(description.view());
        }
    } catch (const ServiceError&) {
        Show(BuildDataTree(descriptions));
        throw;
    }
    Show(BuildDataTree(descriptions));
}

void DataPanel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    const LONG id = currentItem() ? currentItem()->data(0, kIdRole).toInt() : 0; // 0: a folder
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Insert) && id > 0) {
        emit addRequested(id);
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

QStringList DataPanel::mimeTypes() const { return {QString::fromLatin1(kDataItemMime)}; }

QMimeData* DataPanel::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    if (items.isEmpty() || items.front()->data(0, kIdRole).toInt() == 0)
        return nullptr;
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDataItemMime), QByteArray::number(items.front()->data(0, kIdRole).toInt()));
    return mime;
}

LONG DataPanel::DraggedId(const QMimeData& mime)
{
    return static_cast<LONG>(mime.data(QString::fromLatin1(kDataItemMime)).toInt());
}

} // namespace pixtera::designer
