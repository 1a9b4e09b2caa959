// SPDX-License-Identifier: MIT
#include "queue_item.h"

#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>

namespace pixtera {

void QueueItem::Start(const VirtualDisplay& geometry, const DisplayRuntime& runtime)
{
    display_.Initialize(geometry.columns(), geometry.rows(), geometry.cellWidth(), geometry.cellHeight());
    // Rendering reads data values, which for direct providers calls plug-in code on this thread.
    thread_ = Thread(kPluginThreadStack, [this, &runtime] { RenderThread(runtime); });
    ready_.Wait(INFINITE);
}

void QueueItem::Stop()
{
    if (!thread_.joinable())
        return;
    stop_.Set();
    exited_.Wait(INFINITE);
    thread_.join();
}

QueueItem::Rendering QueueItem::Render()
{
    renderRequest_.Set();
    renderDone_.Wait(INFINITE);
    return {display_.cells(), outlook_};
}

void QueueItem::RenderThread(const DisplayRuntime& runtime)
{
    NameThisThread("px-render");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const std::string path = Utf16ToUtf8(fileName_);
    const auto result = LoadDesign(path, design_, DesignReader::Service, runtime.clock.Now());
    if (!result.ok())
        LogWarning("Design " + path + ": " + result.message);
    ready_.Set();
    while (WaitForAny({&stop_, &renderRequest_}, INFINITE) == WAIT_OBJECT_0 + 1) {
        const DWORD now = runtime.clock.Now();
        RenderFrame(design_, runtime.values, now, display_);
        outlook_ = LookAhead(design_, runtime.values, now);
        renderDone_.Set();
    }
    exited_.Set();
    CoUninitialize();
}

} // namespace pixtera
