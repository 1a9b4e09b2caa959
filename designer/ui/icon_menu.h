// SPDX-License-Identifier: MIT
#pragma once
// The icons a text can hold, as a menu: each entry shows the icon and its name, and inserts its
// character (U+F080 on) at the cursor of the line edit it belongs to.

#include <QMenu>

class QLineEdit;

namespace pixtera::designer {

class IconMenu : public QMenu {
public:
    explicit IconMenu(QLineEdit& target);

    // The entry of the icon with that name (as the SDK names it), or none.
    QAction* Entry(const QString& name) const;
};

// Gives a text's line edit a button at its end that opens the icon menu.
void AddIconButton(QLineEdit& line);

} // namespace pixtera::designer
