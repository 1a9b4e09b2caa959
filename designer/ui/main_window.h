// SPDX-License-Identifier: MIT
#pragma once
// The designer's main window: the preview in the middle, three panes around it, the menus and the
// status line, all drawn from the workspace, which does the work and says what changed.

#include "user_prompts.h"
#include "workspace.h"

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QDockWidget;
class QLabel;
class QMenu;
class QTimer;

namespace pixtera::designer {

class CanvasInteraction;
class DataPanel;
class MenuEditor;
class PreviewWidget;
class QueuePane;
class ServiceObjects;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without a service the designer previews a virtual display only (tests). The window gives the
    // service's displays back when it goes. `programDirectory` holds the service program and the
    // plug-ins (default: the designer's own directory).
    MainWindow(std::unique_ptr<ServiceObjects> service, std::unique_ptr<UserPrompts> prompts, QWidget* parent = nullptr,
               std::filesystem::path programDirectory = {});
    ~MainWindow() override;

    // Runs a menu command by its id.
    void Command(int id);
    // One rendering of the workspace now (it renders by itself when the frame can differ).
    void Tick() { workspace_->Tick(); }

    bool OpenFile(const std::filesystem::path& file) { return workspace_->OpenFile(file); }
    bool SaveFile(const std::filesystem::path& file) { return workspace_->SaveFile(file); }

    // Refills the data panel from the service.
    void RefreshDataPanel();
    // The Configure command: the service stops, the configuration panel runs, and the service
    // starts again with what was saved, while the window goes on painting. `panel` runs the panel
    // (tests script it); by default it is shown modally.
    void ConfigureService(const std::function<void(QWidget& owner)>& panel = {});
    // Display > Power...: the user's power policy, applied by the service at once.
    void EditPowerPolicy();
    // File > Menu Editor...: the menu editor's window, made the first time, shown and raised.
    MenuEditor& ShowMenuEditor();
    // A termination signal: the unsaved design goes to the recovery file and the window closes
    // without a question.
    void CloseForTermination();

    Workspace& workspace() { return *workspace_; }
    ServiceObjects* serviceObjects() { return workspace_->service().objects(); }
    DesignDocument& document() { return workspace_->document(); }
    ItemEditor& editor() { return workspace_->editor(); }
    DocumentHistory& history() { return workspace_->document().history(); }
    PropertyModel& properties() { return workspace_->properties(); }
    CanvasPainter& painter() { return workspace_->painter(); }
    DataPanel& dataPanel() { return *dataPanel_; }
    QueuePane& queuePane() { return *queuePane_; }
    CanvasInteraction& interaction() { return *interaction_; }
    PreviewWidget& canvas() { return *canvas_; }
    QAction* action(int id) const;
    QDockWidget* pane(int viewCommand) const;
    QMenu* popup() const { return popup_; }
    // Ctrl+Tab and F6 (forward), Ctrl+Shift+Tab and Shift+F6: the focus to the next pane shown,
    // the preview among them.
    void FocusNextPane(bool forward);
    int previewTarget() const { return workspace_->previewTarget(); }
    std::string_view frame() const { return workspace_->frame(); }
    QString statusText() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void BuildMenus();
    void BuildPopup();
    void BuildPanes();
    void ConnectCanvas();
    void BuildPaneKeys();
    // The item popup at `at` (global), its item commands enabled only with a selected item.
    void ShowPopup(QPoint at);
    void OnChanged(Workspace::Changes what);
    void RebuildPreviewMenu();
    void UpdateChecks();
    void ExitAndCloseService();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, bool checkable = false);
    void ShowFailure(const QString& message);
    void TogglePane(int viewCommand);

    std::unique_ptr<UserPrompts> prompts_;
    Workspace* workspace_ = nullptr;
    PreviewWidget* canvas_ = nullptr;
    CanvasInteraction* interaction_ = nullptr;
    DataPanel* dataPanel_ = nullptr;
    QueuePane* queuePane_ = nullptr;
    MenuEditor* menuEditor_ = nullptr; // a child window, made when first asked for
    QLabel* status_ = nullptr;
    std::map<int, QAction*> actions_;
    std::map<int, QDockWidget*> panes_;
    QMenu* popup_ = nullptr;
    std::vector<QAction*> itemCommands_; // the popup's entries that act on the selected item
    QMenu* previewMenu_ = nullptr;
    QTimer* layoutSaver_ = nullptr; // saves the layout once moves and resizes have settled
    bool created_ = false;
    bool terminating_ = false;
};

} // namespace pixtera::designer
