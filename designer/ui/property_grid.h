// SPDX-License-Identifier: MIT
#pragma once
// The property manager's grid: the property model in a tree, edited in place with a spin box,
// a line edit or a list of choices by the row's kind.

#include <QStyledItemDelegate>
#include <QTreeView>

namespace pixtera::designer {

class PropertyModel;

class PropertyEditorDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
};

class PropertyGrid : public QTreeView {
public:
    PropertyGrid(PropertyModel& model, QWidget* parent = nullptr);
};

} // namespace pixtera::designer
