// SPDX-License-Identifier: MIT
#include "display_manager.h"

#include <algorithm>

namespace pixtera {

ComPtr<ManagedDisplay> DisplayManager::AddDisplay(IUnknown* driver, QueueOrigin origin,
                                                  std::shared_ptr<PluginFault> fault)
{
    if (!fault)
        fault = std::make_shared<PluginFault>(origin.clsid);
    auto display = MakeComObject<ManagedDisplay>(std::move(origin), std::move(fault), runtime_, keys_);
    std::lock_guard lock(mutex_);
    display->SetUpDisplay(driver, static_cast<LONG>(displays_.size()));
    displays_.push_back(display);
    return display;
}

std::vector<ComPtr<ManagedDisplay>> DisplayManager::Displays() const
{
    std::lock_guard lock(mutex_);
    return displays_;
}

void DisplayManager::RouteKeys(std::vector<ComPtr<ManagedDisplay>> displays)
{
    screenKeys_.reset();
    for (const auto& display : Displays())
        if (display->takesKeys() &&
            std::none_of(displays.begin(), displays.end(), [&](const auto& d) { return d.get() == display.get(); }))
            displays.push_back(display);
    if (!displays.empty())
        screenKeys_ = std::make_unique<ScreenKeys>(*keys_, std::move(displays));
}

void DisplayManager::StopAll()
{
    for (const auto& display : Displays())
        display->StopOutput();
}

HRESULT DisplayManager::Count(LONG* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *count = static_cast<LONG>(displays_.size());
    return S_OK;
}

HRESULT DisplayManager::Item(LONG index, IManagedDisplay** display)
{
    if (!display)
        return E_POINTER;
    *display = nullptr;
    std::lock_guard lock(mutex_);
    if (index < 0 || static_cast<std::size_t>(index) >= displays_.size())
        return E_FAIL;
    return ComPtr<IManagedDisplay>(displays_[static_cast<std::size_t>(index)].get()).CopyTo(display);
}

} // namespace pixtera
