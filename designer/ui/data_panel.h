// SPDX-License-Identifier: MIT
#pragma once
// The data panel: the service's data items as a tree; a leaf dragged onto the preview becomes a
// display item showing that data, and so does Enter or Insert on it. Its context menu refreshes
// it.

#include "data_tree.h"

#include <pixtera/service_interfaces.h>

#include <QTreeWidget>

namespace pixtera::designer {

// What a drag from the panel carries: the data item's id as text.
inline constexpr const char* kDataItemMime = "application/x-pixtera-data-item";

class DataPanel : public QTreeWidget {
    Q_OBJECT
public:
    explicit DataPanel(QWidget* parent = nullptr);

    // Rebuilds the tree from the service; throws ServiceError when a call fails (the nodes read so
    // far stay).
    void Fill(IDataCollection& collection);
    void Show(const std::vector<DataNode>& nodes);

    // The id a dragged item carries, or 0.
    static LONG DraggedId(const QMimeData& mime);

signals:
    void refreshRequested();
    // Enter or Insert on a data item: add it to the design.
    void addRequested(LONG id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    QStringList mimeTypes() const override;
};

} // namespace pixtera::designer
