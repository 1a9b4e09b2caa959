// SPDX-License-Identifier: MIT
#include "property_grid.h"

#include "icon_menu.h"
#include "property_model.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>

#include <limits>

namespace pixtera::designer {
namespace {

PropertyKind KindOf(const QModelIndex& index)
{
    return static_cast<PropertyKind>(index.data(PropertyModel::kKindRole).toInt());
}

} // namespace

QWidget* PropertyEditorDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                              const QModelIndex& index) const
{
    switch (KindOf(index)) {
    case PropertyKind::Integer: {
        auto* spin = new QSpinBox(parent);
        spin->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        return spin;
    }
    case PropertyKind::List: {
        auto* list = new QComboBox(parent);
        list->addItems(index.data(PropertyModel::kChoicesRole).toStringList());
        // A choice takes effect when it is made, not at Enter or when the focus leaves. The
        // delegate outlives its editors; the connection ends with the editor.
        auto* self = const_cast<PropertyEditorDelegate*>(this);
        connect(list, &QComboBox::activated, self, [self, list] { emit self->commitData(list); });
        return list;
    }
    case PropertyKind::Text: {
        auto* line = new QLineEdit(parent);
        if (index.data(PropertyModel::kKeyRole).toString() == QLatin1String("Text"))
            AddIconButton(*line);
        return line;
    }
    }
    return nullptr;
}

void PropertyEditorDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    const QVariant value = index.data(PropertyModel::kValueRole);
    if (auto* spin = qobject_cast<QSpinBox*>(editor))
        spin->setValue(value.toInt());
    else if (auto* list = qobject_cast<QComboBox*>(editor))
        list->setCurrentIndex(value.toInt());
    else if (auto* line = qobject_cast<QLineEdit*>(editor))
        line->setText(value.toString());
}

void PropertyEditorDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* spin = qobject_cast<QSpinBox*>(editor)) {
        spin->interpretText();
        model->setData(index, spin->value(), PropertyModel::kValueRole);
    } else if (auto* list = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, list->currentIndex(), PropertyModel::kValueRole);
    } else if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        model->setData(index, line->text(), PropertyModel::kValueRole);
    }
}

PropertyGrid::PropertyGrid(PropertyModel& model, QWidget* parent) : QTreeView(parent)
{
    setModel(&model);
    setItemDelegateForColumn(1, new PropertyEditorDelegate(this));
    setEditTriggers(QAbstractItemView::AllEditTriggers);
    setAlternatingRowColors(true);
    setRootIsDecorated(false);
    expandAll();
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header()->setStretchLastSection(true);
}

} // namespace pixtera::designer
