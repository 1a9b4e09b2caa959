// SPDX-License-Identifier: MIT
#pragma once
// The property grid's rows: the selected item's settings by category, as a two-column model
// (label, value) that the grid edits. A value cell keeps its value under kValueRole (a number, a
// text, or the index of a list row's choice) and shows it as text.

#include <pixtera/display_item.h>

#include <QStandardItemModel>

#include <optional>

namespace pixtera::designer {

enum class PropertyKind { Integer, Text, List };

class PropertyModel : public QStandardItemModel {
    Q_OBJECT
public:
    // The value column's roles beside Qt's.
    static constexpr int kKindRole = Qt::UserRole + 1; // PropertyKind
    static constexpr int kChoicesRole = Qt::UserRole + 2; // QStringList of a list row
    static constexpr int kKeyRole = Qt::UserRole + 3; // the row's key
    static constexpr int kValueRole = Qt::UserRole + 4; // the value; editors write it

    PropertyModel(QObject* parent = nullptr);

    // Shows the item's settings and enables the rows, or disables every row without one.
    void Show(const DisplayItem* item);
    // The value cell of a row, by key ("X", "Mode", "Signif", ...).
    QModelIndex ValueIndex(const QString& key) const;
    QVariant Value(const QString& key) const;

signals:
    // The user changed a row's value (integer, index of the choice, or text).
    void valueEdited(const QString& key, const QVariant& value);

private:
    void AddRow(QStandardItem* category, const QString& label, const QString& key, PropertyKind kind,
                const QStringList& choices = {});
    void SetValue(const QString& key, const QVariant& value);
    static void ShowValue(QStandardItem& cell);
    void OnItemChanged(QStandardItem* item);

    bool showing_ = false;
};

// Applies an edited value to the item. Width is kept to 1..255 and Maximum 0 means an automatic
// maximum; true when the stored value differs from the one entered (the grid must show it again).
bool ApplyProperty(DisplayItem& item, const QString& key, const QVariant& value);

} // namespace pixtera::designer
