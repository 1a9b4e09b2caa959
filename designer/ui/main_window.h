#pragma once
// The designer's main window: the preview in the middle, three panes around it, the menus, and
// the refresh timer that composes the design and mirrors it to the previewed display.

#include "canvas_painter.h"
#include "design_document.h"
#include "designer_settings.h"
#include "document_history.h"
#include "item_editor.h"
#include "physical_preview.h"
#include "property_model.h"
#include "queue_editor.h"
#include "tick_values.h"
#include "user_prompts.h"

#include <pixtera/virtual_display.h>

#include <QMainWindow>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QDockWidget;
class QMenu;
class QTimer;

namespace pixtera::designer {

class CanvasInteraction;
class DataPanel;
class PreviewWidget;
class QueuePane;
class ServiceSession;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without a session the designer previews a virtual display only (tests). The window gives the
    // session's displays back when it goes. `programDirectory` holds the service program and the
    // plug-ins (default: the designer's own directory).
    MainWindow(std::unique_ptr<ServiceSession> session, std::unique_ptr<UserPrompts> prompts,
               QWidget* parent = nullptr, std::filesystem::path programDirectory = {});
    ~MainWindow() override;

    // Runs a menu command by its id.
    void Command(int id);
    // One refresh tick: compose, repaint when changed, mirror to the previewed display.
    void Tick();

    // File commands with a known file (the dialogs' part done).
    bool OpenFile(const std::filesystem::path& file);
    bool SaveFile(const std::filesystem::path& file);
    // Asks to save a modified design; false when the user cancelled.
    bool ConfirmDiscard();

    // Opens the design behind the save question; none: an empty new design.
    void OpenRequested(const std::optional<std::filesystem::path>& design);
    // Refills the data panel from the service.
    void RefreshDataPanel();
    // The Configure command: the service stops, the configuration panel runs, and the service
    // starts again with what was saved, while the window goes on painting. `panel` runs the panel
    // (tests script it); by default it is shown modally.
    void ConfigureService(const std::function<void(QWidget& owner)>& panel = {});
    ServiceSession* session() { return session_.get(); }

    DesignDocument& document() { return document_; }
    ItemEditor& editor() { return editor_; }
    DocumentHistory& history() { return history_; }
    PropertyModel& properties() { return properties_; }
    DataPanel& dataPanel() { return *dataPanel_; }
    QueuePane& queuePane() { return *queuePane_; }
    CanvasInteraction& interaction() { return *interaction_; }
    CanvasPainter& painter() { return painter_; }
    PreviewWidget& canvas() { return *canvas_; }
    QAction* action(int id) const;
    QDockWidget* pane(int viewCommand) const;
    QMenu* popup() const { return popup_; }
    int previewTarget() const { return previewTarget_; }
    std::string_view frame() const { return display_.frame(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void BuildMenus();
    void BuildPopup();
    void BuildPanes();
    void ConnectCanvas();
    void ApplySettings();
    void TakeDisplays();
    void UpdateTitleAndChecks();
    QAction* AddCommand(QMenu* menu, int id, const QString& text, bool checkable = false);
    // Runs a step that calls the service; a failure ends it with a message naming the operation.
    void Guarded(const std::function<void()>& step);

    void NewDesign();
    void OpenDesign();
    bool SaveDesign(bool choosePath);
    void SetScheme(int command, bool askCustom);
    void SetPixelSize(int command);
    void PreviewVirtual(int columns, int rows);
    void PreviewDisplay(int number);
    void TogglePane(int viewCommand);
    void SetBackgroundFile(const std::u16string& file);
    void OnEdited();
    void OnPropertyEdited(const QString& key, const QVariant& value);
    void ShowFailure(const QString& message);
    int AutoPixelSizeNow() const;

    std::unique_ptr<ServiceSession> session_;
    std::filesystem::path programDirectory_;
    std::unique_ptr<UserPrompts> prompts_;
    DesignerSettings settings_;
    DesignDocument document_;
    ItemEditor editor_{document_};
    DocumentHistory history_{document_};
    PropertyModel properties_;
    QueueEditor queue_;
    CanvasPainter painter_;
    PreviewWidget* canvas_ = nullptr;
    CanvasInteraction* interaction_ = nullptr;
    DataPanel* dataPanel_ = nullptr;
    QueuePane* queuePane_ = nullptr;
    VirtualDisplay display_;
    TickValues values_;
    std::optional<PhysicalPreview> preview_;
    int previewTarget_ = 0;
    int pixelSizeCommand_ = 0;
    int scheme_ = 0;
    std::map<int, QAction*> actions_;
    std::map<int, QDockWidget*> panes_;
    QMenu* popup_ = nullptr;
    QTimer* timer_ = nullptr;
    QTimer* layoutSaver_ = nullptr; // saves the layout once moves and resizes have settled
    QString title_;
    bool created_ = false;
};

} // namespace pixtera::designer
