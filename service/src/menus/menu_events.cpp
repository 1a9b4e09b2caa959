// SPDX-License-Identifier: MIT
#include "menu_events.h"

namespace pixtera {

MenuEvents::Listening MenuEvents::Listen(std::function<void()> arrived)
{
    std::lock_guard lock(mutex_);
    arrived_ = std::move(arrived);
    return Listening(this);
}

void MenuEvents::StopListening()
{
    std::lock_guard lock(mutex_);
    arrived_ = nullptr;
    waiting_.clear();
}

bool MenuEvents::Publish(int display, std::string name)
{
    std::lock_guard lock(mutex_);
    if (!arrived_ || waiting_.size() >= kMostWaiting)
        return false;
    waiting_.push_back(MenuEvent{display, std::move(name)});
    arrived_();
    return true;
}

std::vector<MenuEvent> MenuEvents::Take()
{
    std::lock_guard lock(mutex_);
    std::vector<MenuEvent> taken(std::make_move_iterator(waiting_.begin()), std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    return taken;
}

} // namespace pixtera
