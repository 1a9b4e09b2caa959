// SPDX-License-Identifier: MIT
#include "screen_keys.h"

#include <pixtera/platform/com.h>
#include <pixtera/sdk/display_input.h>

namespace pixtera {
namespace {

// Keys a person can press in a moment; a menu has to see them in order, so more are dropped (a
// held key's repeats are merged, so a key at 1 kHz never fills it).
constexpr std::size_t kWaitingKeys = 64;

} // namespace

ScreenKeys::ScreenKeys(KeyEvents& events, std::vector<ComPtr<ManagedDisplay>> displays)
    : displays_(std::move(displays)),
      queue_(std::make_shared<KeyQueue>("the screen sources' key thread", kWaitingKeys, [this] { arrived_.Set(); })),
      subscription_(events.Subscribe(queue_)),
      thread_(kPluginThreadStack, [this] { Run(); })
{
}

ScreenKeys::~ScreenKeys()
{
    subscription_ = {}; // no key arrives after this
    stop_.Set();
    thread_.join();
}

void ScreenKeys::Run()
{
    NameThisThread("px-screenkeys");
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    while (WaitForAny({&stop_, &arrived_}, INFINITE) != WAIT_OBJECT_0) {
        for (const KeyPress& press : queue_->Take())
            for (const auto& display : displays_)
                if (display->index() == press.display)
                    display->HandKey(press.key, press.action);
    }
    CoUninitialize();
}

} // namespace pixtera
