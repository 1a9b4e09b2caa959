// SPDX-License-Identifier: MIT
#pragma once
// One entry of a display's queue: a design file shown for a number of seconds, with the thread
// that reads the design and renders it on request into the entry's own canvas.

#include "display_runtime.h"

#include <pixtera/display_item.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/event.h>
#include <pixtera/platform/thread.h>
#include <pixtera/virtual_display.h>

#include <optional>
#include <string>

namespace pixtera {

class QueueItem {
public:
    QueueItem(std::u16string fileName, LONG seconds) : fileName_(std::move(fileName)), duration_(seconds) {}
    QueueItem(const QueueItem&) = delete;
    QueueItem& operator=(const QueueItem&) = delete;
    ~QueueItem() { Stop(); }

    // Takes the display's geometry, starts the render thread and waits until the design is read.
    void Start(const VirtualDisplay& geometry, const DisplayRuntime& runtime);
    // Ends the render thread and waits for it.
    void Stop();
    // One rendering, on the render thread: the frame it produced and when it can next differ.
    struct Rendering {
        std::u32string_view frame; // one code point a cell
        FrameOutlook outlook;
    };
    Rendering Render();

    const std::u16string& fileName() const { return fileName_; }
    LONG duration() const { return duration_; }
    void setDuration(LONG seconds) { duration_ = seconds; }

    // Read by the refresh thread after Start: written by the render thread before `ready`.
    const std::u16string& background() const { return design_.background; }
    DWORD updateFrequency() const { return design_.updateFrequency; }

    // The refresh thread's bookkeeping for this entry.
    DWORD endTime = 0;

private:
    void RenderThread(const DisplayRuntime& runtime);

    std::u16string fileName_;
    LONG duration_;

    // Handed over between the refresh and the render thread by the events only.
    Design design_;
    VirtualDisplay display_;
    FrameOutlook outlook_;

    Event ready_;
    Event stop_;
    Event renderRequest_;
    Event renderDone_;
    Event exited_;
    Thread thread_;
};

} // namespace pixtera
