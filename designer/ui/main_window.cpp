#include "main_window.h"

#include "canvas_interaction.h"
#include "command_ids.h"
#include "configuration_panel.h"
#include "data_panel.h"
#include "pane_layout.h"
#include "preview_widget.h"
#include "property_grid.h"
#include "queue_pane.h"
#include "service_restart.h"
#include "service_session.h"
#include "settings_form.h"

#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/tick_count.h>

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDockWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

#include <array>

namespace pixtera::designer {
namespace {

// The display's own pace: scroll phases come from the clock, so a faster timer shows nothing more.
constexpr int kRefreshMs = 30;
constexpr int kLayoutSaveDelayMs = 500;

struct VirtualSize {
    const char* text;
    int columns;
    int rows;
};
constexpr std::array<VirtualSize, 6> kVirtualSizes{{
    {"2x16", 16, 2}, {"2x20", 20, 2}, {"4x16", 16, 4}, {"4x20", 20, 4}, {"2x40", 40, 2}, {"4x40", 40, 4}}};

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
constexpr std::array<const char*, 4> kModeTexts{"Static", "Scroll left to right.", "Scroll right to left", "Horizontal bar"};
constexpr std::array<const char*, 6> kSpeedTexts{"Very slow", "Slow", "Normal", "Fast", "Very fast", "Insane!"};
constexpr std::array<LONG, 6> kSpeedDelays{500, 300, 200, 120, 80, 30};

QUrl QuickStartGuide()
{
    return QUrl::fromLocalFile(QStringLiteral(PIXTERA_DOCS_DIR "/designer.md"));
}

} // namespace

MainWindow::MainWindow(std::unique_ptr<ServiceSession> session, std::unique_ptr<UserPrompts> prompts, QWidget* parent,
                       std::filesystem::path programDirectory)
    : QMainWindow(parent), session_(std::move(session)),
      programDirectory_(programDirectory.empty() ? ExecutablePath().parent_path() : std::move(programDirectory)),
      prompts_(prompts ? std::move(prompts) : std::make_unique<DialogPrompts>(this))
{
    display_.Initialize(20, 4, 6, 8);
    painter_.SetGeometry(DisplayGeometry::Virtual(20, 4));
    canvas_ = new PreviewWidget(painter_, this);
    canvas_->setObjectName(QStringLiteral("canvas"));
    setCentralWidget(canvas_);
    interaction_ = new CanvasInteraction(*canvas_, editor_, history_, *prompts_,
                                         [this]() -> IDataCollection* { return session_ ? &session_->data() : nullptr; },
                                         this);
    BuildMenus();
    BuildPopup();
    BuildPanes();
    ConnectCanvas();
    ApplySettings();
    if (session_) {
        values_.SetCollection(&session_->data());
        TakeDisplays();
        RefreshDataPanel();
    }
    layoutSaver_ = new QTimer(this);
    layoutSaver_->setSingleShot(true);
    layoutSaver_->setInterval(kLayoutSaveDelayMs);
    connect(layoutSaver_, &QTimer::timeout, this, [this] { SaveLayout(*this, settings_); });
    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &MainWindow::Tick);
    timer_->start();
    created_ = true;
    UpdateTitleAndChecks();
}

MainWindow::~MainWindow()
{
    if (session_)
        session_->ReturnDisplays();
    // The history outlives nothing of the window: its stack's last signals must not reach it.
    QObject::disconnect(&history_.stack(), nullptr, this, nullptr);
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
    AddCommand(file, kExit, QStringLiteral("E&xit"));
    AddCommand(file, kExitAndCloseService, QStringLiteral("Exit and close service"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    QAction* undo = history_.stack().createUndoAction(this, QStringLiteral("&Undo"));
    undo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Z")));
    undo->setObjectName(QStringLiteral("undo"));
    QAction* redo = history_.stack().createRedoAction(this, QStringLiteral("&Redo"));
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    redo->setObjectName(QStringLiteral("redo"));
    edit->addAction(undo);
    edit->addAction(redo);
    connect(&history_.stack(), &QUndoStack::indexChanged, this, [this] {
        editor_.Revalidate();
        OnEdited();
    });

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
    QMenu* preview = display->addMenu(QStringLiteral("Preview"));
    preview->setObjectName(QStringLiteral("previewMenu"));
    QMenu* virtualSizes = preview->addMenu(QStringLiteral("Virtual"));
    for (std::size_t i = 0; i < kVirtualSizes.size(); ++i)
        AddCommand(virtualSizes, kVirtual2x16 + static_cast<int>(i), QString::fromLatin1(kVirtualSizes[i].text), true);

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
    AddCommand(popup_, kMove, QStringLiteral("Move"));
    AddCommand(popup_, kResize, QStringLiteral("Resize"));
    AddCommand(popup_, kDelete, QStringLiteral("Delete"));
    QMenu* background = popup_->addMenu(QStringLiteral("Background"));
    AddCommand(background, kBackgroundLoad, QStringLiteral("Load"));
    AddCommand(background, kBackgroundRemove, QStringLiteral("Remove"));
}

void MainWindow::BuildPanes()
{
    dataPanel_ = new DataPanel(this);
    connect(dataPanel_, &DataPanel::refreshRequested, this, &MainWindow::RefreshDataPanel);
    queuePane_ = new QueuePane(queue_, [this] { return prompts_->ChooseDesignToOpen(); }, this);
    connect(queuePane_, &QueuePane::openRequested, this, &MainWindow::OpenRequested);
    connect(queuePane_, &QueuePane::failed, this, &MainWindow::ShowFailure);
    auto* grid = new PropertyGrid(properties_, this);
    connect(&properties_, &PropertyModel::valueEdited, this, &MainWindow::OnPropertyEdited);
    const std::pair<PaneSpec, QWidget*> panes[] = {
        {kDataPanel, dataPanel_}, {kQueueManager, queuePane_}, {kPropertyManager, grid}};
    for (const auto& [spec, content] : panes) {
        auto* dock = new QDockWidget(QString::fromLatin1(spec.title), this);
        dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        dock->setWidget(content);
        DockPane(*this, *dock, spec, settings_);
        panes_[spec.viewCommand] = dock;
    }
    ApplySideSizes(*this, settings_);
    for (const auto& [command, dock] : panes_) {
        const auto visible = settings_.ReadNumber(DesignerSettings::VisibleName(command));
        if (visible && *visible == 0)
            dock->hide();
    }
}

void MainWindow::ConnectCanvas()
{
    connect(canvas_, &PreviewWidget::displayEntered, canvas_, &PreviewWidget::Refresh);
    connect(canvas_, &PreviewWidget::contextMenuAt, this, [this](QPoint at) { popup_->popup(at); });
    connect(canvas_, &PreviewWidget::resized, this, [this] {
        if (pixelSizeCommand_ == kPixelSizeAuto)
            painter_.SetPixelSize(AutoPixelSizeNow());
    });
    connect(interaction_, &CanvasInteraction::edited, this, &MainWindow::OnEdited);
    connect(interaction_, &CanvasInteraction::failed, this, &MainWindow::ShowFailure);
}

void MainWindow::ApplySettings()
{
    const auto scheme = static_cast<int>(settings_.ReadNumber("ColorScheme", kColourBlue));
    SetScheme(SchemeColours(scheme, {}) ? scheme : kColourBlue, false);
    const auto pixelSize = static_cast<int>(settings_.ReadNumber("PixSize", kPixelSizeAuto));
    SetPixelSize(pixelSize >= kPixelSize0 && pixelSize <= kPixelSizeAuto ? pixelSize : kPixelSizeAuto);
}

void MainWindow::TakeDisplays()
{
    // One Preview item per display, each titled with its driver's name, before "Virtual".
    QMenu* preview = findChild<QMenu*>(QStringLiteral("previewMenu"));
    for (int n = 1; n <= kMaxPreviewDisplays; ++n) {
        if (QAction* item = action(kPreviewDisplay1 + n - 1)) {
            preview->removeAction(item);
            actions_.erase(kPreviewDisplay1 + n - 1);
            item->deleteLater();
        }
    }
    const auto& displays = session_->BorrowDisplays();
    QAction* virtualSizes = preview->actions().value(0);
    for (std::size_t i = 0; i < displays.size() && i < kMaxPreviewDisplays; ++i) {
        const int id = kPreviewDisplay1 + static_cast<int>(i);
        QAction* item = AddCommand(preview, id, QString::fromStdString(displays[i].driverName), true);
        preview->removeAction(item);
        preview->insertAction(virtualSizes, item);
    }
    if (displays.empty()) {
        if (previewTarget_ != 0) // the display it showed has gone with the old service
            PreviewVirtual(20, 4);
        return;
    }
    PreviewDisplay(1);
    IManagedDisplay& first = *displays.front().display;
    LONG count = 0;
    CheckCall(first.QueueCount(&count), "Reading the queue of display 1");
    if (count > 0) {
        BString file;
        CheckCall(first.QueueFile(0, file.Out()), "Reading the queue of display 1");
        OpenFile(file.utf8());
    }
}

void MainWindow::ConfigureService(const std::function<void(QWidget& owner)>& panel)
{
    if (!ConfirmDiscard())
        return;
    created_ = false; // the preview reads values from the service, which is about to go
    preview_.reset();
    values_.SetCollection(nullptr);
    queue_.Show(nullptr);
    queuePane_->Reload();
    if (session_)
        session_->manager().Shutdown();
    if (panel) {
        panel(*this);
    } else {
        ConfigurationPanel dialog(programDirectory_, *prompts_,
                                  [this](IUnknown& plugin, IPluginInfo& info) { return AskPluginSettings(this, plugin, info); },
                                  this);
        dialog.exec();
    }

    const QString title = windowTitle();
    setWindowTitle(QStringLiteral("Please wait while applying changes"));
    setEnabled(false);
    std::string failure;
    session_ = RestartService(session_.get(), programDirectory_ / "pixtera2", &failure);
    setEnabled(true);
    if (session_) {
        Guarded([this] {
            values_.SetCollection(&session_->data());
            TakeDisplays();
        });
        RefreshDataPanel();
    } else {
        ShowFailure(QString::fromStdString(failure));
    }
    setWindowTitle(title);
    title_ = title;
    created_ = true;
}

void MainWindow::Guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ServiceError& error) {
        ShowFailure(QString::fromStdString(error.what()));
    }
}

void MainWindow::ShowFailure(const QString& message) { prompts_->ShowMessage(message.toStdString(), "Error"); }

void MainWindow::RefreshDataPanel()
{
    if (session_)
        Guarded([this] { dataPanel_->Fill(session_->data()); });
}

void MainWindow::OpenRequested(const std::optional<std::filesystem::path>& design)
{
    if (!ConfirmDiscard())
        return;
    if (design)
        OpenFile(*design);
    else
        NewDesign();
}

void MainWindow::OnEdited()
{
    properties_.Show(editor_.selected());
    Tick();
}

void MainWindow::OnPropertyEdited(const QString& key, const QVariant& value)
{
    bool corrected = false;
    interaction_->ChangeSelected(QStringLiteral("Change %1").arg(key),
                                 [&](DisplayItem& item) { corrected = ApplyProperty(item, key, value); });
    if (corrected)
        properties_.Show(editor_.selected());
}

void MainWindow::Tick()
{
    if (!created_)
        return;
    values_.NextTick();
    RenderFrame(document_.design(), values_, GetTickCount(), display_);
    const bool highlightChanged = painter_.SetHighlight(editor_.Highlight());
    canvas_->ShowFrame(display_.frame(), highlightChanged);
    if (preview_)
        preview_->Show(display_.frame());
    UpdateTitleAndChecks();
}

void MainWindow::UpdateTitleAndChecks()
{
    const QString title = QString::fromStdString(document_.Title());
    if (title != title_) {
        title_ = title;
        setWindowTitle(title);
    }
    auto check = [this](int id, bool on) {
        if (QAction* a = action(id))
            a->setChecked(on);
    };
    for (const auto& [command, dock] : panes_)
        check(command, !dock->isHidden());
    for (int id = kPixelSize0; id <= kPixelSizeAuto; ++id)
        check(id, id == pixelSizeCommand_);
    for (int n = 1; n <= kMaxPreviewDisplays; ++n)
        check(kPreviewDisplay1 + n - 1, previewTarget_ == n);
    for (const Named& scheme : kSchemes)
        check(scheme.id, scheme.id == scheme_);
    const DisplayGeometry& geometry = painter_.geometry();
    for (std::size_t i = 0; i < kVirtualSizes.size(); ++i)
        check(kVirtual2x16 + static_cast<int>(i), previewTarget_ == 0 && geometry.columns == kVirtualSizes[i].columns &&
                                                       geometry.rows == kVirtualSizes[i].rows);
}

void MainWindow::Command(int id)
{
    if (id >= kPreviewDisplay1 && id < kPreviewDisplay1 + kMaxPreviewDisplays)
        return PreviewDisplay(id - kPreviewDisplay1 + 1);
    if (id >= kVirtual2x16 && id < kVirtual2x16 + static_cast<int>(kVirtualSizes.size())) {
        const VirtualSize& size = kVirtualSizes[static_cast<std::size_t>(id - kVirtual2x16)];
        return PreviewVirtual(size.columns, size.rows);
    }
    if (id >= kPixelSize0 && id <= kPixelSizeAuto)
        return SetPixelSize(id);
    if (SchemeColours(id, {}))
        return SetScheme(id, true);
    if (id >= kModeStatic && id < kModeStatic + static_cast<int>(kModeTexts.size()))
        return interaction_->ChangeSelected(QStringLiteral("Mode"), [id](DisplayItem& i) { i.mode = id - kModeStatic; });
    if (id >= kSpeedVerySlow && id < kSpeedVerySlow + static_cast<int>(kSpeedDelays.size())) {
        const LONG delay = kSpeedDelays[static_cast<std::size_t>(id - kSpeedVerySlow)];
        return interaction_->ChangeSelected(QStringLiteral("Scrolling speed"), [delay](DisplayItem& i) { i.scrollDelay = delay; });
    }
    switch (id) {
    case kConfigure:
        return ConfigureService();
    case kNew:
        return NewDesign();
    case kOpen:
        return OpenDesign();
    case kSave:
        SaveDesign(false);
        return;
    case kSaveAs:
        SaveDesign(true);
        return;
    case kExit:
        close();
        return;
    case kExitAndCloseService:
        if (session_)
            Guarded([this] { CheckCall(session_->manager().Shutdown(), "Closing the service"); });
        close();
        return;
    case kViewDataPanel:
    case kViewProperties:
    case kViewQueue:
        return TogglePane(id);
    case kAbout:
        QMessageBox::about(this, QStringLiteral("About Pixtera"), QStringLiteral("Version 1.5.0.1"));
        return;
    case kQuickStart:
        QDesktopServices::openUrl(QuickStartGuide());
        return;
    case kAlignLeft:
        return interaction_->ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignLeft; });
    case kAlignCenter:
        return interaction_->ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignCenter; });
    case kAlignRight:
        return interaction_->ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignRight; });
    case kMove:
        return interaction_->StartMove();
    case kResize:
        return interaction_->StartResize();
    case kDelete:
        return interaction_->DeleteSelected();
    case kBackgroundLoad:
        if (const auto file = prompts_->ChooseBackground())
            history_.Edit(QStringLiteral("Load background"), [&] { SetBackgroundFile(Utf8ToUtf16(file->string())); });
        return OnEdited();
    case kBackgroundRemove:
        history_.Edit(QStringLiteral("Remove background"), [&] { SetBackgroundFile(u""); });
        return OnEdited();
    default:
        return;
    }
}

void MainWindow::NewDesign()
{
    editor_.Reset();
    document_.New();
    history_.Restart();
    SetBackgroundFile(u"");
    OnEdited();
}

void MainWindow::OpenDesign()
{
    if (!ConfirmDiscard())
        return;
    if (const auto file = prompts_->ChooseDesignToOpen())
        OpenFile(*file);
}

bool MainWindow::OpenFile(const std::filesystem::path& file)
{
    const auto result = document_.Open(file, GetTickCount());
    if (result == DesignDocument::OpenResult::NotXml) {
        canvas_->Refresh();
        return false;
    }
    editor_.Reset();
    const bool modified = document_.modified(); // kept when reading stopped at a faulty item
    history_.Restart();
    document_.SetModified(modified);
    SetBackgroundFile(document_.design().background);
    OnEdited();
    if (result == DesignDocument::OpenResult::ItemError) {
        prompts_->ShowMessage("Error loading design.", "Error");
        return false;
    }
    return true;
}

bool MainWindow::SaveDesign(bool choosePath)
{
    std::filesystem::path file = document_.path();
    if (choosePath || file.empty()) {
        const auto chosen = prompts_->ChooseDesignToSave();
        if (!chosen)
            return false;
        file = *chosen;
    }
    return SaveFile(file);
}

bool MainWindow::SaveFile(const std::filesystem::path& file)
{
    std::string error;
    if (document_.SaveAs(file, &error)) {
        history_.MarkSaved();
        return true;
    }
    prompts_->ShowMessage("Error Saving!", "");
    return false;
}

bool MainWindow::ConfirmDiscard()
{
    if (!document_.modified())
        return true;
    switch (prompts_->AskToSave()) {
    case SaveAnswer::Cancel:
        return false;
    case SaveAnswer::No:
        history_.MarkDiscarded();
        return true;
    case SaveAnswer::Yes:
        // A save that was cancelled or failed keeps the design: nothing is discarded.
        return SaveDesign(false);
    }
    return false;
}

void MainWindow::SetScheme(int command, bool askCustom)
{
    CustomColours custom = CustomColours::Read(settings_);
    bool apply = true;
    if (command == kColourCustom && askCustom) {
        apply = prompts_->ChooseCustomColours(custom);
        if (apply)
            custom.Write(settings_);
    }
    if (const auto colours = SchemeColours(command, custom); colours && apply)
        painter_.SetColours(*colours, palette().button().color());
    scheme_ = command;
    settings_.WriteNumber("ColorScheme", static_cast<DWORD>(command));
    canvas_->Refresh();
}

int MainWindow::AutoPixelSizeNow() const { return AutoPixelSize(canvas_->width(), painter_.geometry().columns); }

void MainWindow::SetPixelSize(int command)
{
    pixelSizeCommand_ = command;
    painter_.SetPixelSize(command == kPixelSizeAuto ? AutoPixelSizeNow() : command - kPixelSize0);
    settings_.WriteNumber("PixSize", static_cast<DWORD>(command));
    canvas_->Refresh();
}

void MainWindow::PreviewVirtual(int columns, int rows)
{
    preview_.reset();
    previewTarget_ = 0;
    queue_.Show(nullptr);
    queuePane_->Reload();
    display_.Initialize(columns, rows, 6, 8);
    painter_.SetGeometry(DisplayGeometry::Virtual(columns, rows));
    painter_.SetPixelSize(AutoPixelSizeNow());
    canvas_->Refresh();
}

void MainWindow::PreviewDisplay(int number)
{
    if (!session_ || number < 1 || static_cast<std::size_t>(number) > session_->displays().size())
        return;
    Guarded([&] {
        preview_.emplace(*session_->displays()[static_cast<std::size_t>(number - 1)].display);
        previewTarget_ = number;
        const DisplayGeometry& geometry = preview_->geometry();
        display_.Initialize(geometry.columns, geometry.rows, geometry.cellWidth, geometry.cellHeight);
        painter_.SetGeometry(geometry);
        if (pixelSizeCommand_ == kPixelSizeAuto)
            painter_.SetPixelSize(AutoPixelSizeNow());
        canvas_->Refresh();
        queue_.Show(session_->displays()[static_cast<std::size_t>(number - 1)].display);
        queuePane_->Reload();
    });
}

void MainWindow::TogglePane(int viewCommand)
{
    QDockWidget* dock = pane(viewCommand);
    if (!dock)
        return;
    const bool visible = !dock->isHidden();
    settings_.WriteNumber(DesignerSettings::VisibleName(viewCommand), visible ? 0 : 1);
    dock->setVisible(!visible);
}

void MainWindow::SetBackgroundFile(const std::u16string& file)
{
    document_.design().background = file;
    if (preview_)
        preview_->SetBackground(file);
    painter_.SetBackgroundImage(Utf16ToUtf8(file));
    canvas_->Refresh();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!ConfirmDiscard()) {
        event->ignore();
        return;
    }
    SaveLayout(*this, settings_);
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
