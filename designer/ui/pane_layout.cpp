// SPDX-License-Identifier: MIT
#include "pane_layout.h"

#include <QDockWidget>
#include <QMainWindow>

#include <array>

namespace pixtera::designer {
namespace {

constexpr std::array<PaneSpec, 3> kPanes{kPropertyManager, kQueueManager, kDataPanel};

struct SideSize {
    const char* key;
    Qt::DockWidgetArea area;
    Qt::Orientation orientation;
    DWORD fallback;
};
constexpr std::array<SideSize, 4> kSideSizes{{
    {"dock_left", Qt::LeftDockWidgetArea, Qt::Horizontal, 250},
    {"dock_right", Qt::RightDockWidgetArea, Qt::Horizontal, 250},
    {"dock_top", Qt::TopDockWidgetArea, Qt::Vertical, 250},
    {"dock_bottom", Qt::BottomDockWidgetArea, Qt::Vertical, 170}, // the queue: four designs and the add row
}};

QDockWidget* FindPane(const QMainWindow& window, const PaneSpec& pane)
{
    return window.findChild<QDockWidget*>(QString::fromLatin1(pane.sideKey));
}

} // namespace

Qt::DockWidgetArea AreaOfSide(int side)
{
    switch (side) {
    case 1: return Qt::TopDockWidgetArea;
    case 2: return Qt::RightDockWidgetArea;
    case 3: return Qt::BottomDockWidgetArea;
    default: return Qt::LeftDockWidgetArea;
    }
}

int SideOfArea(Qt::DockWidgetArea area)
{
    switch (area) {
    case Qt::TopDockWidgetArea: return 1;
    case Qt::RightDockWidgetArea: return 2;
    case Qt::BottomDockWidgetArea: return 3;
    default: return 0;
    }
}

int StoredSide(const DesignerSettings& settings, const PaneSpec& pane)
{
    const auto stored = settings.ReadNumber(pane.sideKey);
    return stored && *stored <= 3 ? static_cast<int>(*stored) : pane.defaultSide;
}

void DockPane(QMainWindow& window, QDockWidget& dock, const PaneSpec& pane, const DesignerSettings& settings)
{
    dock.setObjectName(QString::fromLatin1(pane.sideKey));
    window.addDockWidget(AreaOfSide(StoredSide(settings, pane)), &dock);
}

void ApplySideSizes(QMainWindow& window, const DesignerSettings& settings)
{
    for (const SideSize& side : kSideSizes) {
        QList<QDockWidget*> docks;
        for (QDockWidget* dock : window.findChildren<QDockWidget*>())
            if (!dock->isFloating() && window.dockWidgetArea(dock) == side.area)
                docks.append(dock);
        if (docks.isEmpty())
            continue;
        const int size = static_cast<int>(settings.ReadNumber(side.key, side.fallback));
        window.resizeDocks(docks, QList<int>(docks.size(), size), side.orientation);
    }
}

void SaveLayout(const QMainWindow& window, DesignerSettings& settings)
{
    for (const SideSize& side : kSideSizes) {
        for (QDockWidget* dock : window.findChildren<QDockWidget*>()) {
            if (dock->isFloating() || !dock->isVisible() || window.dockWidgetArea(dock) != side.area)
                continue;
            const int size = side.orientation == Qt::Horizontal ? dock->width() : dock->height();
            settings.WriteNumber(side.key, static_cast<DWORD>(size));
            break;
        }
    }
    for (const PaneSpec& pane : kPanes)
        if (QDockWidget* dock = FindPane(window, pane); dock && !dock->isFloating())
            settings.WriteNumber(pane.sideKey, static_cast<DWORD>(SideOfArea(window.dockWidgetArea(dock))));
}

} // namespace pixtera::designer
