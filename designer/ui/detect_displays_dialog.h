// SPDX-License-Identifier: MIT
#pragma once
// "Detect displays": runs the module search with a busy indicator naming the place being probed,
// then lists every module found, already configured, for the user to tick and add.

#include "configuration_editor.h"
#include "module_search.h"
#include "plugin_catalog.h"

#include <QDialog>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace pixtera::designer {

class DetectDisplaysDialog : public QDialog {
    Q_OBJECT
public:
    // Starts a search over `devices` (the machine's own when null) at once. Add adds the ticked
    // modules to `editor`.
    DetectDisplaysDialog(std::shared_ptr<detection::DetectionDevices> devices, ConfigurationEditor& editor,
                         const Catalog& catalog, QWidget* parent = nullptr);

    ModuleSearch& search() { return search_; }

    QListWidget& foundList() { return *found_; }
    QPushButton& addButton() { return *add_; }
    QLabel& statusLabel() { return *status_; }

    // Adds the ticked modules; what could not be added is said in the status line.
    void AddTicked();

private:
    void ShowFindings();

    ModuleSearch search_;
    ConfigurationEditor& editor_;
    const Catalog& catalog_;
    QLabel* status_ = nullptr;
    QProgressBar* busy_ = nullptr;
    QListWidget* found_ = nullptr;
    QPushButton* add_ = nullptr;
};

} // namespace pixtera::designer
