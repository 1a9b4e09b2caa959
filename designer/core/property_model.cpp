// SPDX-License-Identifier: MIT
#include "property_model.h"

#include <pixtera/platform/codepage.h>

#include <algorithm>

namespace pixtera::designer {
namespace {

constexpr int kMaxWidth = 255;

const QStringList kModes{"0 - Static", "1 - Left to Right", "2 - Right to Left", "3 - Horizontal bar",
                         "4 - Big number"};
const QStringList kDigitRows{"2 rows", "4 rows"};
const QStringList kAlignments{"0 - Left", "1 - Right", "2 - Center"};
const QStringList kDataTypes{"0 - Static text", "1 - Data provider"};
const QStringList kNoYes{"0 - No", "1 - Yes"};
const QStringList kUnits{"0 - Bytes", "1 - KiloBytes", "2 - MegaBytes", "3 - GigaBytes", "4 - TerraBytes"};

// Rows that show a setting but are never edited in the grid.
bool ReadOnly(const QString& key) { return key == "Data_Type" || key == "DataName"; }

} // namespace

PropertyModel::PropertyModel(QObject* parent) : QStandardItemModel(0, 2, parent)
{
    setHorizontalHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    auto category = [this](const QString& name) {
        auto* header = new QStandardItem(name);
        QFont bold = header->font();
        bold.setBold(true);
        header->setFont(bold);
        header->setEditable(false);
        auto* empty = new QStandardItem();
        empty->setEditable(false);
        appendRow({header, empty});
        return header;
    };
    QStandardItem* position = category(QStringLiteral("Position"));
    AddRow(position, "X", "X", PropertyKind::Integer);
    AddRow(position, "Y", "Y", PropertyKind::Integer);
    AddRow(position, "Width", "Width", PropertyKind::Integer);
    QStandardItem* appearance = category(QStringLiteral("Appearance"));
    AddRow(appearance, "Mode", "Mode", PropertyKind::List, kModes);
    AddRow(appearance, "Alignment", "Allignment", PropertyKind::List, kAlignments);
    AddRow(appearance, "Scroll_delay", "Scroll_delay", PropertyKind::Integer);
    AddRow(appearance, "Digit rows", "DigitRows", PropertyKind::List, kDigitRows);
    AddRow(category(QStringLiteral("Horiz. Bar")), "Maximum", "Maximum", PropertyKind::Integer);
    QStandardItem* data = category(QStringLiteral("Data"));
    AddRow(data, "Data Type", "Data_Type", PropertyKind::List, kDataTypes);
    AddRow(data, "DataName", "DataName", PropertyKind::Text);
    AddRow(data, "Text", "Text", PropertyKind::Text);
    QStandardItem* conversion = category(QStringLiteral("Data Conversion"));
    AddRow(conversion, "Convert", "Convert", PropertyKind::List, kNoYes);
    AddRow(conversion, "From", "From", PropertyKind::List, kUnits);
    AddRow(conversion, "To", "To", PropertyKind::List, kUnits);
    QStandardItem* formatting = category(QStringLiteral("Data Formatting"));
    AddRow(formatting, "Format", "Format", PropertyKind::List, kNoYes);
    AddRow(formatting, "Signif. Digits", "Signif", PropertyKind::Integer);
    connect(this, &QStandardItemModel::itemChanged, this, &PropertyModel::OnItemChanged);

    // Placeholders until an item is shown.
    showing_ = true;
    for (const auto& [key, value] : std::initializer_list<std::pair<const char*, QVariant>>{{"X", 0},
                                                                                            {"Y", 0},
                                                                                            {"Width", 40},
                                                                                            {"Mode", 0},
                                                                                            {"Allignment", 0},
                                                                                            {"Scroll_delay", 75},
                                                                                            {"DigitRows", 0},
                                                                                            {"Maximum", 100},
                                                                                            {"Data_Type", 0},
                                                                                            {"DataName", QString()},
                                                                                            {"Text", QString()},
                                                                                            {"Convert", 0},
                                                                                            {"From", 0},
                                                                                            {"To", 0},
                                                                                            {"Format", 0},
                                                                                            {"Signif", 3}})
        SetValue(key, value);
    showing_ = false;
    Show(nullptr);
}

void PropertyModel::AddRow(QStandardItem* category, const QString& label, const QString& key, PropertyKind kind,
                           const QStringList& choices)
{
    auto* name = new QStandardItem(label);
    name->setEditable(false);
    auto* value = new QStandardItem();
    value->setData(static_cast<int>(kind), kKindRole);
    value->setData(choices, kChoicesRole);
    value->setData(key, kKeyRole);
    category->appendRow({name, value});
}

QModelIndex PropertyModel::ValueIndex(const QString& key) const
{
    for (int c = 0; c < rowCount(); ++c) {
        const QModelIndex category = index(c, 0);
        for (int r = 0; r < rowCount(category); ++r) {
            const QModelIndex value = index(r, 1, category);
            if (value.data(kKeyRole).toString() == key)
                return value;
        }
    }
    return {};
}

QVariant PropertyModel::Value(const QString& key) const { return ValueIndex(key).data(kValueRole); }

void PropertyModel::ShowValue(QStandardItem& cell)
{
    const QVariant value = cell.data(kValueRole);
    const QStringList choices = cell.data(kChoicesRole).toStringList();
    cell.setData(choices.isEmpty() ? value.toString() : choices.value(value.toInt()), Qt::DisplayRole);
}

void PropertyModel::SetValue(const QString& key, const QVariant& value)
{
    QStandardItem* cell = itemFromIndex(ValueIndex(key));
    cell->setData(value, kValueRole);
    ShowValue(*cell);
}

void PropertyModel::Show(const DisplayItem* item)
{
    showing_ = true;
    for (int c = 0; c < rowCount(); ++c) {
        QStandardItem* category = this->item(c, 0);
        for (int r = 0; r < category->rowCount(); ++r) {
            const bool enabled = item && !ReadOnly(category->child(r, 1)->data(kKeyRole).toString());
            category->child(r, 0)->setEnabled(enabled);
            category->child(r, 1)->setEnabled(enabled);
            category->child(r, 1)->setEditable(enabled);
        }
    }
    if (item) {
        SetValue("X", item->column);
        SetValue("Y", item->row);
        SetValue("Width", item->width);
        SetValue("Mode", item->mode);
        SetValue("Allignment", item->alignment);
        SetValue("Scroll_delay", item->scrollDelay);
        SetValue("DigitRows", item->digitRows == 4 ? 1 : 0);
        SetValue("Maximum", item->automaticMaximum ? 0 : item->barMaximum);
        SetValue("Data_Type", item->source);
        SetValue("DataName", QString::fromStdU16String(item->name));
        SetValue("Text", QString::fromStdString(item->text.value_or("")));
        SetValue("Convert", item->convert ? 1 : 0);
        SetValue("From", item->fromUnit);
        SetValue("To", item->toUnit);
        SetValue("Format", item->format ? 1 : 0);
        SetValue("Signif", item->digits);
    }
    showing_ = false;
}

void PropertyModel::OnItemChanged(QStandardItem* item)
{
    if (showing_ || item->column() != 1)
        return;
    showing_ = true;
    ShowValue(*item);
    showing_ = false;
    emit valueEdited(item->data(kKeyRole).toString(), item->data(kValueRole));
}

bool ApplyProperty(DisplayItem& item, const QString& key, const QVariant& value)
{
    const int number = value.toInt();
    if (key == "X")
        item.column = number;
    else if (key == "Y")
        item.row = number;
    else if (key == "Width") {
        item.width = std::clamp(number, 1, kMaxWidth);
        return item.width != number;
    } else if (key == "Mode")
        item.mode = number;
    else if (key == "Allignment")
        item.alignment = number;
    else if (key == "Scroll_delay")
        item.scrollDelay = number;
    else if (key == "DigitRows")
        item.digitRows = number == 1 ? 4 : 2;
    else if (key == "Maximum") {
        item.automaticMaximum = number == 0;
        if (number != 0)
            item.barMaximum = number;
    } else if (key == "Text")
        item.text = value.toString().toStdString();
    else if (key == "Convert")
        item.convert = number != 0;
    else if (key == "From")
        item.fromUnit = number;
    else if (key == "To")
        item.toUnit = number;
    else if (key == "Format")
        item.format = number != 0;
    else if (key == "Signif")
        item.digits = number;
    return false;
}

} // namespace pixtera::designer
