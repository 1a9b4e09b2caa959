// SPDX-License-Identifier: MIT
#pragma once
// The designer without its windows: the design being edited with its history, the selection and
// the properties, the preview (virtual or one of the service's displays) with its values, and the
// recovery file. It runs every command that needs no dialog of its own, brackets every pointer
// gesture so that each change is one undo step, and says what changed through `changed`; the
// window only draws. The service side (its displays, its comings and goings, the apply sequence)
// is its ServiceLink's, which tells it what happened by signals.

#include "canvas_painter.h"
#include "design_document.h"
#include "designer_settings.h"
#include "item_editor.h"
#include "physical_preview.h"
#include "property_model.h"
#include "queue_editor.h"
#include "service_link.h"
#include "tick_values.h"
#include "user_prompts.h"

#include <pixtera/frame_composer.h>

#include <pixtera/virtual_display.h>

#include <QColor>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace pixtera::designer {

class Workspace : public QObject {
    Q_OBJECT
public:
    // What `changed` says: which parts the window shows anew.
    enum Change : unsigned {
        Design = 1, // items, selection or background: the properties and the canvas
        Title = 2, // the document's file or modified flag
        Frame = 4, // the composed frame
        Geometry = 8, // the previewed display, pixel size or colours: repaint everything
        Displays = 16, // the service's displays (the Preview menu)
        DataItems = 32, // the service's data items (the data panel)
        Queue = 64, // the queue shown (the queue pane)
        ServiceStatus = 128, // the status line
        Gesture = 256, // a pointer gesture ended: the mouse is free again
    };
    Q_DECLARE_FLAGS(Changes, Change)

    // Without a service the preview is virtual and values read "Error" (tests); with one the
    // service's displays are borrowed, the first previewed and its first design opened, and the
    // service is watched from then on. `programDirectory` holds the service program.
    Workspace(std::unique_ptr<ServiceObjects> service, UserPrompts& prompts, std::filesystem::path programDirectory,
              QObject* parent = nullptr);
    ~Workspace() override;

    DesignDocument& document() { return document_; }
    ItemEditor& editor() { return editor_; }
    PropertyModel& properties() { return properties_; }
    QueueEditor& queue() { return queue_; }
    CanvasPainter& painter() { return painter_; }
    DesignerSettings& settings() { return settings_; }
    UserPrompts& prompts() { return prompts_; }
    ServiceLink& service() { return link_; }
    std::string_view frame() const { return display_.frame(); }
    std::u32string_view cells() const { return display_.cells(); }
    int previewTarget() const { return previewTarget_; }
    int pixelSizeCommand() const { return pixelSizeCommand_; }
    int scheme() const { return scheme_; }
    // Runs a command by its id when it needs no window of its own, after ending a gesture under
    // way; false for the others.
    bool Command(int id);
    // One rendering with the latest values, the frame to the previewed display. The workspace
    // renders by itself when the frame can differ: when values arrive, at the next scroll step,
    // and every 30 ms while it shows a value that can change at every reading; never otherwise.
    void Tick();

    // File commands (through Command, which ends a gesture first).
    void NewDesign(); // asks to save a modified design first
    void OpenDesign(); // asks, then lets the user choose
    bool OpenFile(const std::filesystem::path& file);
    bool Save(bool choosePath);
    bool SaveFile(const std::filesystem::path& file);
    // Asks to save a modified design; false when the user cancelled.
    bool ConfirmDiscard();
    // Opens the design behind the save question (the queue pane's rows); none: a new design.
    void OpenRequested(const std::optional<std::filesystem::path>& design);

    // Pointer gestures (drag, drop, the popup's Move and Resize): the design before it is kept,
    // and Commit makes one undo step of whatever it changed; Cancel puts it back.
    void BeginGesture();
    void CommitGesture(const QString& text);
    void CancelGesture();
    // Ends a gesture that is under way as the pointer would (any command does this first).
    void EndGesture();
    // One undo step for a change of the selected item; nothing without a selection.
    void ChangeSelected(const QString& text, const std::function<void(DisplayItem&)>& change);
    // The selection, or an item under the pointer during a gesture, changed: the editor's state,
    // which the document does not see (it says itself when an edit, undo or redo changed it).
    void Refresh(Changes what = Design);
    // A property grid row was edited.
    void ApplyPropertyEdit(const QString& key, const QVariant& value);

    // Preview and appearance.
    void PreviewVirtual(int columns, int rows);
    void PreviewDisplay(int number);
    void SetScheme(int command, bool askCustom);
    void SetPixelSize(int command);
    void SetCanvasWidth(int width);
    void SetFrameColour(QColor colour);
    void SetBackgroundFile(const std::u16string& file);

    // The configuration's apply sequence: the service is stopped, the panel runs, then a new
    // service is started and taken up; the design being edited stays open throughout.
    void StopServiceForConfiguration();
    void StartServiceAfterConfiguration() { link_.StartAfterConfiguration(); }

    // The unsaved design goes to the recovery file (a termination signal); false when there was
    // nothing to keep or it could not be written.
    bool WriteRecovery();
    // Offers the recovery file of an earlier run, if there is one.
    void OfferRecovery();

    void ReportFailure(const std::string& message) { emit failed(QString::fromStdString(message)); }

signals:
    void changed(pixtera::designer::Workspace::Changes what);
    void failed(const QString& message);

private:
    void Guarded(const std::function<void()>& step);
    void StartNewDesign(); // without the save question
    // Opens `file` behind the save question; a design kept because the file could not be read
    // keeps its unsaved changes, whatever the answer was.
    void OpenAfterQuestion(const std::filesystem::path& file, bool wasModified);
    DesignDocument::OpenResult Load(const std::filesystem::path& file);
    // Another design is edited now: no selection, its background.
    void OnDocumentReplaced();
    // The service's displays were borrowed anew: the one previewed before is previewed again,
    // display 1 when there is no such display.
    void OnDisplaysTaken();
    // The service went with its displays: the preview stays, on no display.
    void OnDisplaysLost();
    void OnValuesRead(bool fresh);
    // Opens the design display 1 shows first, if any (at start).
    void OpenFirstDesign();
    // The preview stops being on a display of the service.
    void LeaveDisplay();
    int AutoPixelSizeNow() const;
    void SayIfBackgroundUnusable();
    void ScheduleRendering(const FrameOutlook& outlook, DWORD now);

    DesignerSettings settings_;
    UserPrompts& prompts_;
    DesignDocument document_;
    ItemEditor editor_{document_};
    PropertyModel properties_;
    QueueEditor queue_;
    CanvasPainter painter_;
    VirtualDisplay display_;
    TickValues values_;
    std::optional<PhysicalPreview> preview_;
    int previewTarget_ = 0;
    int pixelSizeCommand_ = 0;
    int scheme_ = 0;
    int canvasWidth_ = 0;
    QColor frameColour_{Qt::lightGray};
    QTimer refresh_; // the next rendering the frame needs by itself
    std::u32string shownFrame_; // the frame the window shows
    std::string mirroredFrame_; // the frame handed to the channel for the previewed display
    // Last, so that it goes first: the displays are given back before the preview lets go of them.
    ServiceLink link_;
};

} // namespace pixtera::designer

Q_DECLARE_OPERATORS_FOR_FLAGS(pixtera::designer::Workspace::Changes)
