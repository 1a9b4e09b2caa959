// SPDX-License-Identifier: MIT
#pragma once
// Hands the keys of the displays that have screen sources or take keys to them
// (ManagedDisplay::HandKey), on a thread of its own (px-screenkeys): a source may be a plug-in in
// another process, whose calls wait, and neither the driver's key thread nor the display's
// refresh thread should. One decision for each key: a source whose screen shows takes it first,
// else the display's own bindings and menu (the bus's KeyPressed sees every key either way).
//
// Concurrency: the queue is the only datum the publishing threads touch (under its own mutex);
// everything else is the thread's.

#include "key_events.h"
#include "managed_display.h"

#include <pixtera/platform/event.h>
#include <pixtera/platform/thread.h>

#include <memory>
#include <vector>

namespace pixtera {

class ScreenKeys {
public:
    // `displays`: those with screen sources or keys of their own.
    ScreenKeys(KeyEvents& events, std::vector<ComPtr<ManagedDisplay>> displays);
    ~ScreenKeys();
    ScreenKeys(const ScreenKeys&) = delete;
    ScreenKeys& operator=(const ScreenKeys&) = delete;

private:
    void Run();

    const std::vector<ComPtr<ManagedDisplay>> displays_;
    Event arrived_;
    Event stop_{Event::Reset::Manual};
    std::shared_ptr<KeyQueue> queue_;
    KeyEvents::Subscription subscription_;
    Thread thread_;
};

} // namespace pixtera
