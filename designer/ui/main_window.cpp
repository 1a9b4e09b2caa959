// SPDX-License-Identifier: MIT
#include "main_window.h"

#include "power_dialog.h"
#include "service_program.h"

#include "canvas_interaction.h"
#include "command_ids.h"
#include "configuration_panel.h"
#include "data_panel.h"
#include "dialog_prompts.h"
#include "menu_editor.h"
#include "pane_layout.h"
#include "preview_widget.h"
#include "property_grid.h"
#include "queue_pane.h"
#include "service_objects.h"
#include "settings_form.h"
#include "user_guide.h"

#include <pixtera/platform/module.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <array>

namespace pixtera::designer {
namespace {

constexpr int kLayoutSaveDelayMs = 500;

struct Named {
    const char* text;
    int id;
};
constexpr std::array<Named, 7> kSchemes{{{"Blue", kColourBlue},
                                         {"Red", kColourRed},
                                         {"Green", kColourGreen},
                                         {"Orange", kColourOrange},
                                         {"Yellow", kColourYellow},
                                         {"White", kColourWhite},
                                         {"Custom", kColourCustom}}};
constexpr std::array<const char*, 4> kModeTexts{"Static", "Scroll left to right.", "Scroll right to left",
                                                "Horizontal bar"};
constexpr std::array<const char*, 6> kSpeedTexts{"Very slow", "Slow", "Normal", "Fast", "Very fast", "Insane!"};

} // namespace

MainWindow::MainWindow(std::unique_ptr<ServiceObjects> service, std::unique_ptr<UserPrompts> prompts, QWidget* parent,
                       std::filesystem::path programDirectory)
    : QMainWindow(parent), prompts_(prompts ? std::move(prompts) : std::make_unique<DialogPrompts>(this))
{
    workspace_ =
        new Workspace(std::move(service), *prompts_,
                      programDirectory.empty() ? ExecutablePath().parent_path() : std::move(programDirectory), this);
    canvas_ = new PreviewWidget(workspace_->painter(), this);
    canvas_->setObjectName(QStringLiteral("canvas"));
    setCentralWidget(canvas_);
    interaction_ = new CanvasInteraction(*canvas_, *workspace_, this);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("serviceStatus"));
    statusBar()->addWidget(status_);
    BuildMenus();
    BuildPopup();
    BuildPanes();
    BuildPaneKeys();
    ConnectCanvas();
    connect(workspace_, &Workspace::changed, this, &MainWindow::OnChanged);
    connect(workspace_, &Workspace::failed, this, &MainWindow::ShowFailure);
    workspace_->SetFrameColour(palette().button().color());
    workspace_->SetCanvasWidth(canvas_->width());
    RebuildPreviewMenu();
    RefreshDataPanel();
    queuePane_->Reload();
    layoutSaver_ = new QTimer(this);
    layoutSaver_->setSingleShot(true);
    layoutSaver_->setInterval(kLayoutSaveDelayMs);
    connect(layoutSaver_, &QTimer::timeout, this, [this] { SaveLayout(*this, workspace_->settings()); });
    created_ = true;
    OnChanged(Workspace::Title | Workspace::ServiceStatus | Workspace::Design);
}

MainWindow::~MainWindow()
{
    // The workspace gives the displays back; the widgets over it must not hear from it then.
    disconnect(workspace_, nullptr, this, nullptr);
    delete menuEditor_; // before the canvas it walks menus on
    delete workspace_;
}

QAction* MainWindow::AddCommand(QMenu* menu, int id, const QString& text, bool checkable)
{
    QAction* action = menu->addAction(text);
    action->setData(id);
    action->setObjectName(QStringLiteral("command%1").arg(id));
    action->setCheckable(checkable);
    connect(action, &QAction::triggered, this, [this, id] { Command(id); });
    actions_[id] = action;
    return action;
}

QAction* MainWindow::action(int id) const
{
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

QDockWidget* MainWindow::pane(int viewCommand) const
{
    const auto found = panes_.find(viewCommand);
    return found == panes_.end() ? nullptr : found->second;
}

void MainWindow::BuildMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, kConfigure, QStringLiteral("Configure"));
    file->addSeparator();
    AddCommand(file, kNew, QStringLiteral("New"))->setShortcut(QKeySequence::New);
    AddCommand(file, kOpen, QStringLiteral("Open"))->setShortcut(QKeySequence::Open);
    file->addSeparator();
    AddCommand(file, kSave, QStringLiteral("&Save"))->setShortcut(QKeySequence::Save);
    AddCommand(file, kSaveAs, QStringLiteral("Save As"));
    file->addSeparator();
    AddCommand(file, kMenuEditor, QStringLiteral("&Menu Editor..."))
        ->setShortcut(QKeySequence(QStringLiteral("Ctrl+M")));
    file->addSeparator();
    AddCommand(file, kExit, QStringLiteral("E&xit"));
    AddCommand(file, kExitAndCloseService, QStringLiteral("Exit and close service"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QUndoStack& stack = workspace_->document().history().stack();
    QAction* undo = stack.createUndoAction(this, QStringLiteral("&Undo"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    undo->setObjectName(QStringLiteral("undo"));
    QAction* redo = stack.createRedoAction(this, QStringLiteral("&Redo"));
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    redo->setObjectName(QStringLiteral("redo"));
    edit->addAction(undo);
    edit->addAction(redo);

    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    for (const PaneSpec& spec : {kDataPanel, kPropertyManager, kQueueManager})
        AddCommand(view, spec.viewCommand, QString::fromLatin1(spec.title), true);

    QMenu* display = menuBar()->addMenu(QStringLiteral("Display"));
    QMenu* colour = display->addMenu(QStringLiteral("Color"));
    for (const Named& scheme : kSchemes)
        AddCommand(colour, scheme.id, QString::fromLatin1(scheme.text), true);
    QMenu* size = display->addMenu(QStringLiteral("Size"));
    for (int px = 0; px <= kMaxPixelSize; ++px)
        AddCommand(size, kPixelSize0 + px, QStringLiteral("%1px").arg(px), true);
    AddCommand(size, kPixelSizeAuto, QStringLiteral("Auto"), true);
    previewMenu_ = display->addMenu(QStringLiteral("Preview"));
    previewMenu_->setObjectName(QStringLiteral("previewMenu"));
    QMenu* virtualSizes = previewMenu_->addMenu(QStringLiteral("Virtual"));
    for (std::size_t i = 0; i < kVirtualSizes.size(); ++i)
        AddCommand(virtualSizes, kVirtual2x16 + static_cast<int>(i), QString::fromLatin1(kVirtualSizes[i].text), true);
    display->addSeparator();
    AddCommand(display, kPowerPolicy, QStringLiteral("Power..."));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, kAbout, QStringLiteral("&About Pixtera 1.5..."));
    AddCommand(help, kQuickStart, QStringLiteral("Quick start guide"));
}

void MainWindow::BuildPopup()
{
    popup_ = new QMenu(this);
    QMenu* mode = popup_->addMenu(QStringLiteral("Mode"));
    for (std::size_t i = 0; i < kModeTexts.size(); ++i)
        AddCommand(mode, kModeStatic + static_cast<int>(i), QString::fromLatin1(kModeTexts[i]));
    QMenu* alignment = popup_->addMenu(QStringLiteral("Alignment"));
    AddCommand(alignment, kAlignLeft, QStringLiteral("Left"));
    AddCommand(alignment, kAlignCenter, QStringLiteral("Center"));
    AddCommand(alignment, kAlignRight, QStringLiteral("Right"));
    QMenu* speed = popup_->addMenu(QStringLiteral("Scrolling speed"));
    for (std::size_t i = 0; i < kSpeedTexts.size(); ++i)
        AddCommand(speed, kSpeedVerySlow + static_cast<int>(i), QString::fromLatin1(kSpeedTexts[i]));
    itemCommands_ = {mode->menuAction(),
                     alignment->menuAction(),
                     speed->menuAction(),
                     AddCommand(popup_, kMove, QStringLiteral("Move")),
                     AddCommand(popup_, kResize, QStringLiteral("Resize")),
                     AddCommand(popup_, kDelete, QStringLiteral("Delete"))};
    QMenu* background = popup_->addMenu(QStringLiteral("Background"));
    AddCommand(background, kBackgroundLoad, QStringLiteral("Load"));
    AddCommand(background, kBackgroundRemove, QStringLiteral("Remove"));
}

void MainWindow::BuildPanes()
{
    dataPanel_ = new DataPanel(this);
    connect(dataPanel_, &DataPanel::refreshRequested, this, &MainWindow::RefreshDataPanel);
    queuePane_ = new QueuePane(
        workspace_->queue(),
        [this] { return prompts_->ChooseDesignToAdd(workspace_->document().path().parent_path()); }, this);
    connect(queuePane_, &QueuePane::openRequested, workspace_, &Workspace::OpenRequested);
    connect(queuePane_, &QueuePane::failed, this, &MainWindow::ShowFailure);
    auto* grid = new PropertyGrid(workspace_->properties(), this);
    connect(&workspace_->properties(), &PropertyModel::valueEdited, workspace_, &Workspace::ApplyPropertyEdit);
    const std::pair<PaneSpec, QWidget*> panes[] = {
        {kDataPanel, dataPanel_}, {kQueueManager, queuePane_}, {kPropertyManager, grid}};
    DesignerSettings& settings = workspace_->settings();
    for (const auto& [spec, content] : panes) {
        auto* dock = new QDockWidget(QString::fromLatin1(spec.title), this);
        dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        dock->setWidget(content);
        DockPane(*this, *dock, spec, settings);
        panes_[spec.viewCommand] = dock;
    }
    ApplySideSizes(*this, settings);
    for (const auto& [command, dock] : panes_) {
        const auto visible = settings.ReadNumber(DesignerSettings::VisibleName(command));
        if (visible && *visible == 0)
            dock->hide();
    }
}

void MainWindow::ShowPopup(QPoint at)
{
    const bool selected = workspace_->editor().selected() != nullptr;
    for (QAction* command : itemCommands_)
        command->setEnabled(selected);
    popup_->popup(at);
}

void MainWindow::BuildPaneKeys()
{
    const std::pair<bool, QList<QKeySequence>> directions[] = {
        {true, {QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::Key_F6)}},
        {false,
         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
          QKeySequence(Qt::SHIFT | Qt::Key_F6)}}};
    for (const auto& [forward, keys] : directions) {
        auto* move = new QAction(forward ? QStringLiteral("Next pane") : QStringLiteral("Previous pane"), this);
        move->setShortcuts(keys);
        move->setShortcutContext(Qt::ApplicationShortcut); // a floating pane too
        connect(move, &QAction::triggered, this, [this, forward = forward] { FocusNextPane(forward); });
        addAction(move);
    }
    connect(dataPanel_, &DataPanel::addRequested, interaction_, &CanvasInteraction::AddDataItem);
}

void MainWindow::FocusNextPane(bool forward)
{
    std::vector<QWidget*> stops{canvas_};
    for (const int command : {kViewDataPanel, kViewProperties, kViewQueue}) {
        QDockWidget* dock = pane(command);
        if (dock && !dock->isHidden() && dock->widget()->isEnabled())
            stops.push_back(dock->widget());
    }
    const QWidget* focused = QApplication::focusWidget();
    std::size_t at = 0;
    for (std::size_t i = 0; i < stops.size(); ++i)
        if (focused && (stops[i] == focused || stops[i]->isAncestorOf(focused)))
            at = i;
    const std::size_t next = (at + (forward ? 1 : stops.size() - 1)) % stops.size();
    stops[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void MainWindow::ConnectCanvas()
{
    connect(canvas_, &PreviewWidget::displayEntered, canvas_, &PreviewWidget::Refresh);
    connect(canvas_, &PreviewWidget::contextMenuAt, this, [this](QPoint at) {
        interaction_->SelectUnderPointer();
        ShowPopup(at);
    });
    connect(canvas_, &PreviewWidget::menuKeyPressed, this,
            [this] { ShowPopup(canvas_->mapToGlobal(canvas_->PopupPosition())); });
    connect(canvas_, &PreviewWidget::resized, this, [this] { workspace_->SetCanvasWidth(canvas_->width()); });
}

void MainWindow::OnChanged(Workspace::Changes what)
{
    if (what & Workspace::Geometry)
        canvas_->Refresh();
    if (what & (Workspace::Frame | Workspace::Design | Workspace::Geometry))
        canvas_->ShowFrame(workspace_->cells(), true);
    if (what & Workspace::Title) {
        const QString title = QString::fromStdString(workspace_->document().Title());
        if (title != windowTitle())
            setWindowTitle(title);
    }
    if (what & Workspace::Displays)
        RebuildPreviewMenu();
    if (what & Workspace::DataItems)
        RefreshDataPanel();
    if (what & Workspace::Queue)
        queuePane_->Reload();
    if (what & (Workspace::Queue | Workspace::Title))
        queuePane_->ShowOpenDesign(workspace_->document().path());
    if (what & Workspace::ServiceStatus)
        status_->setText(workspace_->service().status());
    UpdateChecks();
}

QString MainWindow::statusText() const { return status_->text(); }

void MainWindow::RebuildPreviewMenu()
{
    // One Preview item per display, each titled with its driver's name and place, before "Virtual".
    for (int n = 1; n <= kMaxPreviewDisplays; ++n) {
        if (QAction* item = action(kPreviewDisplay1 + n - 1)) {
            previewMenu_->removeAction(item);
            actions_.erase(kPreviewDisplay1 + n - 1);
            item->deleteLater();
        }
    }
    const auto names = workspace_->service().displayNames();
    QAction* virtualSizes = previewMenu_->actions().value(0);
    for (std::size_t i = 0; i < names.size() && i < kMaxPreviewDisplays; ++i) {
        const int id = kPreviewDisplay1 + static_cast<int>(i);
        // A place may hold '&', which a menu would take for a shortcut's mark.
        QAction* item =
            AddCommand(previewMenu_, id, QString::fromStdString(names[i]).replace(u'&', QStringLiteral("&&")), true);
        previewMenu_->removeAction(item);
        previewMenu_->insertAction(virtualSizes, item);
    }
}

void MainWindow::ConfigureService(const std::function<void(QWidget& owner)>& panel)
{
    workspace_->StopServiceForConfiguration();
    if (panel) {
        panel(*this);
    } else {
        ConfigurationPanel dialog(
            workspace_->service().programDirectory(), *prompts_,
            [this](IUnknown& plugin, IPluginInfo& info, const std::string& current, bool required) {
                return AskPluginSettings(this, plugin, info, current, required);
            },
            this);
        dialog.exec();
    }
    const QString title = windowTitle();
    setWindowTitle(QStringLiteral("Please wait while applying changes"));
    setEnabled(false);
    workspace_->StartServiceAfterConfiguration();
    setEnabled(true);
    setWindowTitle(title);
    OnChanged(Workspace::Title);
}

void MainWindow::EditPowerPolicy()
{
    PowerDialog dialog(ReadPowerSettings(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!WritePowerSettings(dialog.settings())) {
        ShowFailure(QStringLiteral("The power settings could not be written to the registry"));
        return;
    }
    if (const std::string why = ReloadServicePowerPolicy(); !why.empty())
        ShowFailure(QString::fromStdString("The service did not take the power settings now (" + why +
                                           "); it reads them when it starts again"));
}

void MainWindow::ShowFailure(const QString& message) { prompts_->ShowMessage(message.toStdString(), "Error"); }

void MainWindow::RefreshDataPanel()
{
    ServiceObjects* service = workspace_->service().objects();
    if (!service) {
        dataPanel_->Show({});
        return;
    }
    try {
        dataPanel_->Fill(service->data());
    } catch (const ServiceError& error) {
        ShowFailure(QString::fromStdString(error.what()));
    }
}

void MainWindow::UpdateChecks()
{
    auto check = [this](int id, bool on) {
        if (QAction* a = action(id))
            a->setChecked(on);
    };
    for (const auto& [command, dock] : panes_)
        check(command, !dock->isHidden());
    for (int id = kPixelSize0; id <= kPixelSizeAuto; ++id)
        check(id, id == workspace_->pixelSizeCommand());
    for (int n = 1; n <= kMaxPreviewDisplays; ++n)
        check(kPreviewDisplay1 + n - 1, workspace_->previewTarget() == n);
    for (const Named& scheme : kSchemes)
        check(scheme.id, scheme.id == workspace_->scheme());
    const DisplayGeometry& geometry = workspace_->painter().geometry();
    for (std::size_t i = 0; i < kVirtualSizes.size(); ++i)
        check(kVirtual2x16 + static_cast<int>(i), workspace_->previewTarget() == 0 &&
                                                      geometry.columns == kVirtualSizes[i].columns &&
                                                      geometry.rows == kVirtualSizes[i].rows);
}

void MainWindow::Command(int id)
{
    if (workspace_->Command(id)) {
        UpdateChecks();
        return;
    }
    // The window's own commands end a gesture under way too, but for the two that start one.
    if (id != kMove && id != kResize)
        workspace_->EndGesture();
    switch (id) {
    case kConfigure: return ConfigureService();
    case kPowerPolicy: return EditPowerPolicy();
    case kMenuEditor: ShowMenuEditor(); return;
    case kExit: close(); return;
    case kExitAndCloseService: return ExitAndCloseService();
    case kViewDataPanel:
    case kViewProperties:
    case kViewQueue: return TogglePane(id);
    case kAbout: QMessageBox::about(this, QStringLiteral("About Pixtera"), QStringLiteral("Version 1.5.0.1")); return;
    case kQuickStart:
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(UserGuide(ExecutablePath().parent_path()).string())));
        return;
    case kMove: return interaction_->StartMove();
    case kResize: return interaction_->StartResize();
    default: return;
    }
}

MenuEditor& MainWindow::ShowMenuEditor()
{
    if (!menuEditor_)
        menuEditor_ = new MenuEditor(*canvas_, *prompts_, this);
    menuEditor_->show();
    menuEditor_->raise();
    menuEditor_->activateWindow();
    return *menuEditor_;
}

void MainWindow::ExitAndCloseService()
{
    if (workspace_->service().objects() &&
        !prompts_->AskYesNo("Also stop the Pixtera service? The displays will go dark.", "Exit and close service"))
        return;
    // Nothing is stopped unless the window really closes: Cancel in the save question cancels all.
    if (!workspace_->ConfirmDiscard())
        return;
    workspace_->service().ShutDown();
    close();
}

void MainWindow::CloseForTermination()
{
    workspace_->EndGesture();
    workspace_->WriteRecovery();
    terminating_ = true;
    close();
}

void MainWindow::TogglePane(int viewCommand)
{
    QDockWidget* dock = pane(viewCommand);
    if (!dock)
        return;
    const bool visible = !dock->isHidden();
    workspace_->settings().WriteNumber(DesignerSettings::VisibleName(viewCommand), visible ? 0 : 1);
    dock->setVisible(!visible);
    UpdateChecks();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!terminating_ && (!workspace_->ConfirmDiscard() || (menuEditor_ && !menuEditor_->ConfirmDiscard()))) {
        event->ignore();
        return;
    }
    SaveLayout(*this, workspace_->settings());
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    if (created_ && canvas_->isVisible())
        layoutSaver_->start(); // once the dragging has settled: every write is a registry transaction
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (created_ && canvas_->isVisible())
        layoutSaver_->start();
}

} // namespace pixtera::designer
