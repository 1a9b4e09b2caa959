// SPDX-License-Identifier: MIT
#include "workspace.h"

#include "background_image.h"
#include "colour_scheme.h"
#include "command_ids.h"
#include "recovery_file.h"

#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/tick_count.h>

#include <algorithm>
#include <array>

namespace pixtera::designer {
namespace {

// The display's own pace for values that change at every reading.
constexpr int kRefreshMs = 30;

constexpr int kModeCount = 4; // the popup's modes; a big number is chosen in the property grid
constexpr std::array<LONG, 6> kSpeedDelays{500, 300, 200, 120, 80, 30};

} // namespace

Workspace::Workspace(std::unique_ptr<ServiceObjects> service, UserPrompts& prompts,
                     std::filesystem::path programDirectory, QObject* parent)
    : QObject(parent), prompts_(prompts), link_(std::move(service), prompts, std::move(programDirectory))
{
    refresh_.setSingleShot(true);
    QObject::connect(&refresh_, &QTimer::timeout, this, &Workspace::Tick);
    display_.Initialize(20, 4, 6, 8);
    painter_.SetGeometry(DisplayGeometry::Virtual(20, 4));
    const auto scheme = static_cast<int>(settings_.ReadNumber("ColorScheme", kColourBlue));
    SetScheme(SchemeColours(scheme, {}) ? scheme : kColourBlue, false);
    const auto pixelSize = static_cast<int>(settings_.ReadNumber("PixSize", kPixelSizeAuto));
    SetPixelSize(pixelSize >= kPixelSize0 && pixelSize <= kPixelSizeAuto ? pixelSize : kPixelSizeAuto);
    QObject::connect(&document_, &DesignDocument::changed, this, [this] {
        editor_.Revalidate(); // an undo can take the selected item away
        Refresh(Design);
    });
    QObject::connect(&document_, &DesignDocument::replaced, this, &Workspace::OnDocumentReplaced);
    QObject::connect(&document_, &DesignDocument::titleChanged, this, [this] { emit changed(Title); });
    QObject::connect(&link_, &ServiceLink::displaysTaken, this, &Workspace::OnDisplaysTaken);
    QObject::connect(&link_, &ServiceLink::displaysLost, this, &Workspace::OnDisplaysLost);
    QObject::connect(&link_, &ServiceLink::dataItemsChanged, this, [this] { emit changed(DataItems); });
    QObject::connect(&link_, &ServiceLink::statusChanged, this, [this] { emit changed(ServiceStatus); });
    QObject::connect(&link_, &ServiceLink::valuesRead, this, &Workspace::OnValuesRead);
    QObject::connect(&link_, &ServiceLink::failed, this, &Workspace::failed);
    if (link_.Start())
        Guarded([this] { OpenFirstDesign(); });
    Tick();
}

Workspace::~Workspace()
{
    QObject::disconnect(&link_, nullptr, this, nullptr);
    QObject::disconnect(&document_, nullptr, this, nullptr);
}

void Workspace::Guarded(const std::function<void()>& step)
{
    try {
        step();
    } catch (const ServiceError& error) {
        emit failed(QString::fromStdString(error.what()));
    }
}

void Workspace::OnValuesRead(bool fresh)
{
    values_.SetConnected(link_.connected());
    values_.Update(link_.values(), link_.volatiles());
    // A rendering soon; one at the display's pace (a volatile value's) is soon enough.
    if (fresh && (!refresh_.isActive() || refresh_.remainingTime() > kRefreshMs))
        refresh_.start(0);
}

void Workspace::LeaveDisplay()
{
    preview_.reset();
    queue_.Show(nullptr);
}

void Workspace::OnDisplaysLost()
{
    // The design stays editable; the preview goes on with the last values, on no display.
    LeaveDisplay();
    emit changed(Displays | Queue);
}

void Workspace::OnDisplaysTaken()
{
    emit changed(Displays);
    const auto& displays = link_.objects()->displays();
    if (displays.empty()) {
        if (previewTarget_ != 0) // the display it showed has gone with the old service
            PreviewVirtual(20, 4);
        return;
    }
    const bool known = previewTarget_ >= 1 && static_cast<std::size_t>(previewTarget_) <= displays.size();
    PreviewDisplay(known ? previewTarget_ : 1);
}

void Workspace::OpenFirstDesign()
{
    const auto& displays = link_.objects()->displays();
    if (displays.empty())
        return;
    IManagedDisplay& first = *displays.front().display;
    LONG count = 0;
    CheckCall(first.QueueCount(&count), "Reading the queue of display 1");
    if (count > 0) {
        BString file;
        CheckCall(first.QueueFile(0, file.Out()), "Reading the queue of display 1");
        OpenFile(file.utf8());
    }
}

bool Workspace::Command(int id)
{
    // Whatever the command, a gesture under way ends first: the pointer is never left grabbed.
    EndGesture();
    if (id >= kPreviewDisplay1 && id < kPreviewDisplay1 + kMaxPreviewDisplays) {
        PreviewDisplay(id - kPreviewDisplay1 + 1);
        return true;
    }
    if (id >= kVirtual2x16 && id < kVirtual2x16 + static_cast<int>(kVirtualSizes.size())) {
        const VirtualSize& size = kVirtualSizes[static_cast<std::size_t>(id - kVirtual2x16)];
        PreviewVirtual(size.columns, size.rows);
        return true;
    }
    if (id >= kPixelSize0 && id <= kPixelSizeAuto) {
        SetPixelSize(id);
        return true;
    }
    if (SchemeColours(id, {})) {
        SetScheme(id, true);
        return true;
    }
    if (id >= kModeStatic && id < kModeStatic + kModeCount) {
        ChangeSelected(QStringLiteral("Mode"), [id](DisplayItem& i) { i.mode = id - kModeStatic; });
        return true;
    }
    if (id >= kSpeedVerySlow && id < kSpeedVerySlow + static_cast<int>(kSpeedDelays.size())) {
        const LONG delay = kSpeedDelays[static_cast<std::size_t>(id - kSpeedVerySlow)];
        ChangeSelected(QStringLiteral("Scrolling speed"), [delay](DisplayItem& i) { i.scrollDelay = delay; });
        return true;
    }
    switch (id) {
    case kNew: NewDesign(); return true;
    case kOpen: OpenDesign(); return true;
    case kSave: Save(false); return true;
    case kSaveAs: Save(true); return true;
    case kAlignLeft:
        ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignLeft; });
        return true;
    case kAlignCenter:
        ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignCenter; });
        return true;
    case kAlignRight:
        ChangeSelected(QStringLiteral("Alignment"), [](DisplayItem& i) { i.alignment = pixtera::kAlignRight; });
        return true;
    case kDelete:
        if (editor_.selected())
            document_.history().Edit(QStringLiteral("Delete"), [this] { editor_.DeleteSelected(); });
        return true;
    case kBackgroundLoad:
        if (const auto file = prompts_.ChooseBackground()) {
            document_.history().Edit(QStringLiteral("Load background"),
                                     [&] { SetBackgroundFile(Utf8ToUtf16(file->string())); });
            SayIfBackgroundUnusable();
        }
        return true;
    case kBackgroundRemove:
        document_.history().Edit(QStringLiteral("Remove background"), [&] { SetBackgroundFile(u""); });
        return true;
    default: return false;
    }
}

void Workspace::Refresh(Changes what)
{
    properties_.Show(editor_.selected());
    emit changed(what);
    Tick();
}

void Workspace::ChangeSelected(const QString& text, const std::function<void(DisplayItem&)>& change)
{
    DisplayItem* item = editor_.selected();
    if (!item)
        return;
    document_.history().Edit(text, [&] {
        const LONG before = item->mode;
        change(*item);
        // An item that becomes a bar or a big number (a dropped value is as wide as its text)
        // reaches to the display's right edge, in the same step.
        const bool wide = item->mode == kModeHorizontalBar || item->mode == kModeBigNumber;
        if (wide && before != item->mode)
            item->width = std::max<LONG>(1, painter_.geometry().columns - item->column);
        // A big number is as high as its digits; back to one row when it stops being one.
        if (item->mode == kModeBigNumber)
            item->height = item->digitRows;
        else if (before == kModeBigNumber)
            item->height = 1;
    });
}

void Workspace::ApplyPropertyEdit(const QString& key, const QVariant& value)
{
    bool corrected = false;
    ChangeSelected(QStringLiteral("Change %1").arg(key),
                   [&](DisplayItem& item) { corrected = ApplyProperty(item, key, value); });
    if (corrected)
        properties_.Show(editor_.selected());
}

void Workspace::BeginGesture() { document_.history().Begin(); }

void Workspace::CommitGesture(const QString& text)
{
    document_.history().Commit(text);
    Refresh(Design | Gesture);
}

void Workspace::CancelGesture()
{
    document_.history().Cancel();
    Refresh(Design | Gesture);
}

void Workspace::EndGesture()
{
    const PointerMode mode = editor_.mode();
    if (mode == PointerMode::None)
        return;
    // A new item not yet dropped is not kept; a move or resize keeps where it got to.
    editor_.Release(mode != PointerMode::Placing);
    if (mode == PointerMode::Placing)
        CancelGesture();
    else
        CommitGesture(mode == PointerMode::Resizing ? QStringLiteral("Resize") : QStringLiteral("Move"));
}

void Workspace::ScheduleRendering(const FrameOutlook& outlook, DWORD now)
{
    if (outlook.readsChangingValues)
        refresh_.start(kRefreshMs);
    else if (outlook.nextScrollStep)
        refresh_.start(std::max<int>(1, static_cast<std::int32_t>(*outlook.nextScrollStep - now)));
    else
        refresh_.stop(); // stored values wake it when they change
}

void Workspace::Tick()
{
    const DWORD now = GetTickCount();
    values_.NextTick();
    RenderFrame(document_.design(), values_, now, display_);
    ScheduleRendering(LookAhead(document_.design(), values_, now), now);
    const bool frameChanged = display_.cells() != shownFrame_;
    if (frameChanged)
        shownFrame_.assign(display_.cells());
    if (painter_.SetHighlight(editor_.Highlight()) || frameChanged)
        emit changed(Frame);
    if (!link_.watching())
        return;
    std::optional<std::pair<int, std::string>> mirror;
    if (preview_ && display_.frame() != mirroredFrame_) {
        mirroredFrame_.assign(display_.frame());
        mirror.emplace(previewTarget_ - 1, mirroredFrame_);
    }
    link_.Tick(values_.asked(), std::move(mirror));
}

void Workspace::NewDesign()
{
    if (ConfirmDiscard())
        StartNewDesign();
}

void Workspace::StartNewDesign() { document_.New(); }

void Workspace::OpenDesign()
{
    const bool wasModified = document_.modified();
    if (!ConfirmDiscard())
        return;
    if (const auto file = prompts_.ChooseDesignToOpen())
        OpenAfterQuestion(*file, wasModified);
}

void Workspace::OpenRequested(const std::optional<std::filesystem::path>& design)
{
    EndGesture();
    const bool wasModified = document_.modified();
    if (!ConfirmDiscard())
        return;
    if (design) {
        OpenAfterQuestion(*design, wasModified);
        return;
    }
    StartNewDesign();
}

void Workspace::OpenAfterQuestion(const std::filesystem::path& file, bool wasModified)
{
    if (Load(file) == DesignDocument::OpenResult::NotXml && wasModified && !document_.modified())
        document_.history().MarkUnsaved(); // "No" gave it up for a design that never came
}

bool Workspace::OpenFile(const std::filesystem::path& file) { return Load(file) == DesignDocument::OpenResult::Opened; }

DesignDocument::OpenResult Workspace::Load(const std::filesystem::path& file)
{
    EndGesture();
    std::string why;
    const auto result = document_.Open(file, GetTickCount(), &why);
    if (result == DesignDocument::OpenResult::NotXml) {
        // The design that was open stays open; the message says why the other one is not.
        prompts_.ShowMessage("Error loading design. " + why, "Error");
        emit changed(Geometry | Title);
        return result;
    }
    if (result == DesignDocument::OpenResult::ItemError) {
        // What was read is not the file: it gets a name of its own before it can be saved.
        document_.Detach();
        document_.SetModified(true);
    }
    SayIfBackgroundUnusable();
    if (result == DesignDocument::OpenResult::ItemError)
        prompts_.ShowMessage("Error loading design. " + file.string() + ": " + why, "Error");
    return result;
}

bool Workspace::Save(bool choosePath)
{
    std::filesystem::path file = document_.path();
    if (choosePath || file.empty()) {
        const auto chosen = prompts_.ChooseDesignToSave();
        if (!chosen)
            return false;
        file = *chosen;
    }
    return SaveFile(file);
}

bool Workspace::SaveFile(const std::filesystem::path& file)
{
    std::string error;
    if (document_.SaveAs(file, &error))
        return true;
    prompts_.ShowMessage("Error saving the design: " + error, "Error");
    return false;
}

bool Workspace::ConfirmDiscard()
{
    if (!document_.modified())
        return true;
    switch (prompts_.AskToSave()) {
    case SaveAnswer::Cancel: return false;
    case SaveAnswer::No: document_.history().MarkDiscarded(); return true;
    case SaveAnswer::Yes:
        // A save that was cancelled or failed keeps the design: nothing is discarded.
        return Save(false);
    }
    return false;
}

void Workspace::SetScheme(int command, bool askCustom)
{
    CustomColours custom = CustomColours::Read(settings_);
    bool apply = true;
    if (command == kColourCustom && askCustom) {
        apply = prompts_.ChooseCustomColours(custom);
        if (apply)
            custom.Write(settings_);
    }
    if (const auto colours = SchemeColours(command, custom); colours && apply)
        painter_.SetColours(*colours, frameColour_);
    scheme_ = command;
    settings_.WriteNumber("ColorScheme", static_cast<DWORD>(command));
    emit changed(Geometry);
}

void Workspace::SetFrameColour(QColor colour)
{
    frameColour_ = colour;
    if (const auto colours = SchemeColours(scheme_, CustomColours::Read(settings_)))
        painter_.SetColours(*colours, frameColour_);
    emit changed(Geometry);
}

int Workspace::AutoPixelSizeNow() const { return AutoPixelSize(canvasWidth_, painter_.geometry().columns); }

void Workspace::SetPixelSize(int command)
{
    pixelSizeCommand_ = command;
    painter_.SetPixelSize(command == kPixelSizeAuto ? AutoPixelSizeNow() : command - kPixelSize0);
    settings_.WriteNumber("PixSize", static_cast<DWORD>(command));
    emit changed(Geometry);
}

void Workspace::SetCanvasWidth(int width)
{
    canvasWidth_ = width;
    if (pixelSizeCommand_ == kPixelSizeAuto) {
        painter_.SetPixelSize(AutoPixelSizeNow());
        emit changed(Geometry);
    }
}

void Workspace::PreviewVirtual(int columns, int rows)
{
    preview_.reset();
    previewTarget_ = 0;
    queue_.Show(nullptr);
    display_.Initialize(columns, rows, 6, 8);
    shownFrame_.clear(); // the window shows the blank display now: the next frame goes to it whole
    painter_.SetGeometry(DisplayGeometry::Virtual(columns, rows));
    painter_.SetCharacterRom(lcd::CharacterRom::A02);
    if (pixelSizeCommand_ == kPixelSizeAuto)
        painter_.SetPixelSize(AutoPixelSizeNow());
    emit changed(Geometry | Queue);
    Tick();
}

void Workspace::PreviewDisplay(int number)
{
    ServiceObjects* service = link_.objects();
    if (!service || number < 1 || static_cast<std::size_t>(number) > service->displays().size())
        return;
    Guarded([&] {
        const auto& display = service->displays()[static_cast<std::size_t>(number - 1)].display;
        preview_.emplace(*display);
        previewTarget_ = number;
        const DisplayGeometry& geometry = preview_->geometry();
        display_.Initialize(geometry.columns, geometry.rows, geometry.cellWidth, geometry.cellHeight);
        shownFrame_.clear(); // as the display: taken up anew, drawn anew
        painter_.SetGeometry(geometry);
        painter_.SetCharacterRom(preview_->rom());
        if (pixelSizeCommand_ == kPixelSizeAuto)
            painter_.SetPixelSize(AutoPixelSizeNow());
        preview_->SetBackground(document_.design().background);
        queue_.Show(display);
        mirroredFrame_.clear(); // a display set up anew gets the frame again
    });
    emit changed(Geometry | Queue);
    Tick();
}

void Workspace::OnDocumentReplaced()
{
    editor_.Reset();
    SetBackgroundFile(document_.design().background);
    Refresh(Design);
}

void Workspace::SetBackgroundFile(const std::u16string& file)
{
    document_.design().background = file;
    if (preview_)
        preview_->SetBackground(file);
    painter_.SetBackgroundImage(Utf16ToUtf8(file));
    emit changed(Geometry);
}

void Workspace::SayIfBackgroundUnusable()
{
    const std::string file = Utf16ToUtf8(document_.design().background);
    // A design from another machine may name a file that is not here; that is no news.
    std::error_code ec;
    if (file.empty() || !std::filesystem::exists(file, ec))
        return;
    std::string problem;
    LoadBackgroundMask(file, 0, 0, &problem);
    if (!problem.empty())
        prompts_.ShowMessage("cannot use this image: " + problem + " (" + file + ")", "Background");
}

void Workspace::StopServiceForConfiguration()
{
    EndGesture();
    LeaveDisplay();
    emit changed(Queue);
    link_.StopForConfiguration();
}

bool Workspace::WriteRecovery()
{
    if (!document_.modified())
        return false;
    return KeepForRecovery(document_.design(), document_.path());
}

void Workspace::OfferRecovery()
{
    const auto kept = FindRecovery();
    if (!kept)
        return;
    const std::string name = kept->origin.empty() ? std::string("an untitled design") : kept->origin.string();
    const bool restore = prompts_.AskYesNo("The designer was ended with unsaved changes to " + name + ". Restore them?",
                                           "Restore unsaved design");
    if (restore && document_.Open(kept->file, GetTickCount()) != DesignDocument::OpenResult::NotXml) {
        document_.Detach(kept->origin);
        document_.SetModified(true);
    }
    DiscardRecovery();
}

} // namespace pixtera::designer
