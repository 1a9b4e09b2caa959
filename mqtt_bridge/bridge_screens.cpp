// SPDX-License-Identifier: MIT
// Each display's select: the designs of its queue, the one it shows, and the one chosen shown at
// once for the configured hold before the queue goes on.
#include "bridge.h"

namespace pixtera::bridge {

void Bridge::AnnounceScreens(std::map<std::string, std::string>& configs, int displays)
{
    for (int n = 1; n <= displays; ++n) {
        screens_[n] = ScreenNames(service_->QueueFiles(n - 1, kMostScreens));
        configs[topics_.ScreenConfigTopic(n)] = topics_.ScreenConfig(n, screens_[n]);
    }
    for (auto it = screens_.upper_bound(displays); it != screens_.end();)
        it = screens_.erase(it);
    screenStates_.clear();
}

// After a change of the design shown, which also follows an edit of the queue (it is edited
// only while the display is stopped): the options again where they changed, and the state.
void Bridge::PublishScreens(bool force)
{
    if (!force && !screensDue_)
        return;
    for (int n = 1; n <= displays_; ++n) {
        std::vector<std::string> names = ScreenNames(service_->QueueFiles(n - 1, kMostScreens));
        if (names != screens_[n]) {
            broker_->Publish(topics_.ScreenConfigTopic(n), topics_.ScreenConfig(n, names), true);
            screens_[n] = std::move(names);
        }
        const int shown = service_->ShownQueueItem(n - 1);
        const auto& options = screens_[n];
        // Home Assistant takes "None" for no option at all.
        const std::string state =
            shown >= 0 && static_cast<std::size_t>(shown) < options.size() ? options[shown] : "None";
        auto& published = screenStates_[n];
        if ((force || published != state) && broker_->Publish(topics_.Screen(n), state, true))
            published = state;
    }
    screensDue_ = false;
}

// pixtera/<machine>/display/<n>/screen/set: the name of a design of that display's queue.
void Bridge::ChooseScreen(int display, const mqtt::Message& command)
{
    const std::vector<std::string> names = ScreenNames(service_->QueueFiles(display - 1, kMostScreens));
    const std::optional<int> index = ScreenIndex(names, command.payload);
    if (!index)
        return Ignore(command, "the display's queue has no design of that name");
    service_->ShowQueueItem(display - 1, *index, options_.screenHoldSeconds);
}

} // namespace pixtera::bridge
