// SPDX-License-Identifier: MIT
#pragma once
// The configuration panel: which plug-ins the service loads, each one's settings, and whether
// the service runs at system start. OK saves pixtera2.xml and registers the service again.

#include "configuration_editor.h"
#include "detection_devices.h"
#include "plugin_catalog.h"
#include "user_prompts.h"

#include <QDialog>

#include <filesystem>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace pixtera::designer {

class ConfigurationPanel : public QDialog {
    Q_OBJECT
public:
    // `programDirectory` holds the service program and its plugins directory.
    ConfigurationPanel(const std::filesystem::path& programDirectory, UserPrompts& prompts, ConfigureDialog configure,
                       QWidget* parent = nullptr);

    ConfigurationEditor& editor() { return editor_; }
    const Catalog& catalog() const { return catalog_; }
    QListWidget& loadedList() { return *loaded_; }
    QListWidget& availableList() { return *available_; }
    QCheckBox& startupBox() { return *startup_; }

    // The panel's commands, as its buttons and menus run them.
    void AddSelected();
    void RemoveSelected();
    void ConfigureSelected();
    // "Detect displays": opens the search's window (not waiting for it); what it adds is listed
    // when it closes.
    QDialog* DetectDisplays();
    // Where detection looks (tests put models there); the machine's devices by default.
    void SetDetectionDevices(std::shared_ptr<detection::DetectionDevices> devices)
    {
        detectionDevices_ = std::move(devices);
    }
    // The context menu's "Menu...": a menu file the user chooses becomes the selected display's
    // menu (said when the display would refuse it); "No menu" unbinds it.
    void BindMenuToSelected();
    void UnbindMenuOfSelected();
    // Whether "Configure" is offered for a loaded row.
    bool CanConfigure(int row) const;
    // OK: save, register the service again, close.
    void Apply();

private:
    void FillLoaded();
    void ShowEntry(int row);
    void ShowLoadedMenu(const QPoint& at);

    std::filesystem::path program_;
    UserPrompts& prompts_;
    ConfigureDialog configure_;
    Catalog catalog_;
    ConfigurationEditor editor_;
    QListWidget* loaded_ = nullptr;
    QListWidget* available_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QLineEdit* author_ = nullptr;
    QLabel* website_ = nullptr;
    QCheckBox* startup_ = nullptr;
    std::shared_ptr<detection::DetectionDevices> detectionDevices_;
};

} // namespace pixtera::designer
