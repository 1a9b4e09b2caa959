// SPDX-License-Identifier: MIT
#include "icon_menu.h"

#include <pixtera/sdk/drawn_icons.h>

#include <QImage>
#include <QLineEdit>
#include <QPixmap>

namespace pixtera::designer {
namespace {

// The icon's dots, two pixels each, lit black on clear.
QIcon Picture(const lcd::Glyph& rows)
{
    constexpr int kScale = 2;
    QImage image(5 * kScale, 8 * kScale, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 5; ++x)
            if (rows[static_cast<std::size_t>(y)] & (0x10 >> x))
                for (int dy = 0; dy < kScale; ++dy)
                    for (int dx = 0; dx < kScale; ++dx)
                        image.setPixel(x * kScale + dx, y * kScale + dy, qRgb(0, 0, 0));
    return QIcon(QPixmap::fromImage(image));
}

} // namespace

IconMenu::IconMenu(QLineEdit& target) : QMenu(&target)
{
    setTitle(QStringLiteral("Insert icon"));
    for (std::size_t i = 0; i < lcd::kDrawnIconCount; ++i) {
        const lcd::DrawnIcon& icon = lcd::kDrawnIcons[i];
        const QString name = QString::fromLatin1(icon.name.data(), static_cast<qsizetype>(icon.name.size()));
        const auto character = static_cast<char16_t>(lcd::kIconCodeFirst + i);
        QAction* entry = addAction(Picture(icon.rows), name);
        entry->setObjectName(name);
        connect(entry, &QAction::triggered, &target,
                [&target, character] { target.insert(QString(QChar(character))); });
    }
}

QAction* IconMenu::Entry(const QString& name) const
{
    for (QAction* entry : actions())
        if (entry->objectName() == name)
            return entry;
    return nullptr;
}

void AddIconButton(QLineEdit& line)
{
    auto* menu = new IconMenu(line);
    const lcd::DrawnIcon* heart = lcd::IconOf(*lcd::IconByName("heart"));
    QAction* open = line.addAction(Picture(heart->rows), QLineEdit::TrailingPosition);
    open->setToolTip(QStringLiteral("Insert an icon"));
    QObject::connect(open, &QAction::triggered, &line,
                     [&line, menu] { menu->popup(line.mapToGlobal(line.rect().bottomRight())); });
}

} // namespace pixtera::designer
