// SPDX-License-Identifier: MIT
#pragma once
// Where the three panes dock and how large the docking sides are, kept in the settings.

#include "designer_settings.h"

#include <Qt>

class QDockWidget;
class QMainWindow;

namespace pixtera::designer {

struct PaneSpec {
    int viewCommand; // the View menu's toggle; also names the "%d_visible" value
    const char* sideKey; // the value holding its side
    const char* title;
    int defaultSide;
};

inline constexpr PaneSpec kDataPanel{32803, "data_dock", "Data Panel", 0};
inline constexpr PaneSpec kPropertyManager{32804, "prop_dock", "Properties manager", 0};
inline constexpr PaneSpec kQueueManager{32805, "queue_dock", "Queue Manager", 3};

// Sides as the settings number them: 0 left, 1 top, 2 right, 3 bottom.
Qt::DockWidgetArea AreaOfSide(int side);
int SideOfArea(Qt::DockWidgetArea area);

// The side a stored value asks for: 0 to 3 that side; 6 (the previous side) and anything else
// leave the pane where it would go anyway.
int StoredSide(const DesignerSettings& settings, const PaneSpec& pane);

// Docks the pane at its stored side.
void DockPane(QMainWindow& window, QDockWidget& dock, const PaneSpec& pane, const DesignerSettings& settings);

// Sizes the docking sides from the settings (defaults 250, 250, 250, 170).
void ApplySideSizes(QMainWindow& window, const DesignerSettings& settings);

// Writes the sides' sizes and each docked pane's side; floating panes have none.
void SaveLayout(const QMainWindow& window, DesignerSettings& settings);

} // namespace pixtera::designer
