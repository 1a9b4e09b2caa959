#include "main_window.h"

#include "command_ids.h"
#include "pane_layout.h"
#include "preview_widget.h"
#include "service_session.h"

#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/tick_count.h>

#include <QActionGroup>
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

MainWindow::MainWindow(ServiceSession* session, std::unique_ptr<UserPrompts> prompts, QWidget* parent)
    : QMainWindow(parent), session_(session),
      prompts_(prompts ? std::move(prompts) : std::make_unique<DialogPrompts>(this))
{
    display_.Initialize(20, 4, 6, 8);
    painter_.SetGeometry(DisplayGeometry::Virtual(20, 4));
    canvas_ = new PreviewWidget(painter_, this);
    canvas_->setObjectName(QStringLiteral("canvas"));
    setCentralWidget(canvas_);
    BuildMenus();
    BuildPopup();
    BuildPanes();
    ConnectCanvas();
    ApplySettings();
    if (session_) {
        values_.SetCollection(&session_->data());
        TakeDisplays();
    }
    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshMs);
    connect(timer_, &QTimer::timeout, this, &MainWindow::Tick);
    timer_->start();
    created_ = true;
    UpdateTitleAndChecks();
}

MainWindow::~MainWindow() = default;

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
    AddCommand(file, kConfigure, QStringLiteral("Configure"))->setEnabled(false);
    file->addSeparator();
    AddCommand(file, kNew, QStringLiteral("New"))->setShortcut(QKeySequence::New);
    AddCommand(file, kOpen, QStringLiteral("Open"))->setShortcut(QKeySequence::Open);
    file->addSeparator();
    AddCommand(file, kSave, QStringLiteral("&Save"))->setShortcut(QKeySequence::Save);
    AddCommand(file, kSaveAs, QStringLiteral("Save As"));
    file->addSeparator();
    AddCommand(file, kExit, QStringLiteral("E&xit"));
    AddCommand(file, kExitAndCloseService, QStringLiteral("Exit and close service"));

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
    for (int n = 1; n <= kMaxPreviewDisplays; ++n)
        AddCommand(preview, kPreviewDisplay1 + n - 1, QStringLiteral("Display%1").arg(n), true);
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
    for (const PaneSpec& spec : {kDataPanel, kQueueManager, kPropertyManager}) {
        auto* dock = new QDockWidget(QString::fromLatin1(spec.title), this);
        dock->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
        dock->setWidget(new QWidget(dock));
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
    connect(canvas_, &PreviewWidget::cellEntered, this, &MainWindow::OnCellEntered);
    connect(canvas_, &PreviewWidget::displayEntered, canvas_, &PreviewWidget::Refresh);
    connect(canvas_, &PreviewWidget::pressed, this, &MainWindow::OnPressed);
    connect(canvas_, &PreviewWidget::released, this, &MainWindow::OnReleased);
    connect(canvas_, &PreviewWidget::doubleClicked, this, &MainWindow::OnDoubleClicked);
    connect(canvas_, &PreviewWidget::contextMenuAt, this, [this](QPoint at) { popup_->popup(at); });
    connect(canvas_, &PreviewWidget::keyPressed, this, [this](int key) {
        if (key == Qt::Key_Delete)
            DeleteSelected();
    });
    connect(canvas_, &PreviewWidget::resized, this, [this] {
        if (pixelSizeCommand_ == kPixelSizeAuto)
            painter_.SetPixelSize(AutoPixelSizeNow());
    });
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
    const auto& displays = session_->BorrowDisplays();
    for (int n = kMaxPreviewDisplays; n >= 1; --n) {
        QAction* item = action(kPreviewDisplay1 + n - 1);
        if (static_cast<std::size_t>(n) <= displays.size()) {
            item->setText(QString::fromStdString(displays[static_cast<std::size_t>(n - 1)].driverName));
        } else {
            actions_.erase(kPreviewDisplay1 + n - 1);
            findChild<QMenu*>(QStringLiteral("previewMenu"))->removeAction(item);
            item->deleteLater();
        }
    }
    if (displays.empty())
        return;
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

void MainWindow::Guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ServiceError& error) {
        prompts_->ShowMessage(error.what(), "Error");
    }
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
    if (id >= kModeStatic && id < kModeStatic + static_cast<int>(kModeTexts.size())) {
        editor_.SetMode(id - kModeStatic);
        return;
    }
    if (id >= kSpeedVerySlow && id < kSpeedVerySlow + static_cast<int>(kSpeedDelays.size())) {
        editor_.SetScrollDelay(kSpeedDelays[static_cast<std::size_t>(id - kSpeedVerySlow)]);
        return;
    }
    switch (id) {
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
        editor_.SetAlignment(pixtera::kAlignLeft);
        return;
    case kAlignCenter:
        editor_.SetAlignment(pixtera::kAlignCenter);
        return;
    case kAlignRight:
        editor_.SetAlignment(pixtera::kAlignRight);
        return;
    case kMove:
        if (editor_.selected() && canvas_->hoveredCell()) {
            editor_.StartMoving(*canvas_->hoveredCell());
            canvas_->grabMouse();
        }
        return;
    case kResize:
        if (editor_.selected()) {
            editor_.StartResizing();
            canvas_->grabMouse();
        }
        return;
    case kDelete:
        return DeleteSelected();
    case kBackgroundLoad:
        if (const auto file = prompts_->ChooseBackground()) {
            SetBackgroundFile(Utf8ToUtf16(file->string()));
            document_.SetModified(true);
        }
        return;
    case kBackgroundRemove:
        SetBackgroundFile(u"");
        document_.SetModified(true);
        return;
    default:
        return;
    }
}

void MainWindow::NewDesign()
{
    editor_.Reset();
    document_.New();
    SetBackgroundFile(u"");
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
    SetBackgroundFile(document_.design().background);
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
    if (document_.SaveAs(file, &error))
        return true;
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
        document_.SetModified(false);
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

void MainWindow::DeleteSelected()
{
    if (editor_.DeleteSelected())
        Tick();
}

void MainWindow::OnCellEntered(Cell cell)
{
    if (editor_.mode() == PointerMode::None)
        return;
    editor_.MoveTo(cell);
    Tick();
}

void MainWindow::OnPressed()
{
    if (editor_.mode() != PointerMode::None || !canvas_->overDisplay() || !canvas_->hoveredCell())
        return;
    editor_.Press(*canvas_->hoveredCell());
    Tick();
}

void MainWindow::OnReleased()
{
    if (editor_.mode() == PointerMode::None)
        return;
    editor_.Release(canvas_->overDisplay());
    canvas_->releaseMouse();
    Tick();
}

void MainWindow::OnDoubleClicked()
{
    if (!canvas_->overDisplay() || !canvas_->hoveredCell())
        return;
    if (editor_.selection()) {
        if (const auto text = editor_.TextToEdit())
            if (const auto entered = prompts_->AskText(*text))
                editor_.ReplaceText(*entered);
    } else if (const auto entered = prompts_->AskText("")) {
        editor_.AddText(*canvas_->hoveredCell(), *entered, GetTickCount());
    }
    Tick();
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
        SaveLayout(*this, settings_);
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    if (created_ && canvas_->isVisible())
        SaveLayout(*this, settings_);
}

} // namespace pixtera::designer
