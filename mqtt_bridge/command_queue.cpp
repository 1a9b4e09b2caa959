// SPDX-License-Identifier: MIT
#include "command_queue.h"

#include <algorithm>
#include <utility>

namespace pixtera::bridge {

std::optional<std::string> CommandQueue::Push(const mqtt::Message& command, std::size_t longest)
{
    if (command.payload.size() > longest)
        return Dropped("a command of " + std::to_string(command.payload.size()) + " bytes on " +
                       mqtt::Printable(command.topic) + " is dropped (at most " + std::to_string(longest) + " bytes)");
    const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                   [&](const mqtt::Message& waiting) { return waiting.topic == command.topic; });
    if (same != waiting_.end()) {
        *same = command;
        return Dropped("commands come faster than the service carries them out; only the newest of each topic is "
                       "kept");
    }
    waiting_.push_back(command);
    if (waiting_.size() <= kMostTopics)
        return std::nullopt;
    waiting_.pop_front();
    return Dropped("commands on more than " + std::to_string(kMostTopics) +
                   " topics wait for the service; the oldest are dropped");
}

std::deque<mqtt::Message> CommandQueue::Take()
{
    if (!std::exchange(droppedSinceTake_, false))
        said_ = false;
    return std::exchange(waiting_, {});
}

std::optional<std::string> CommandQueue::Return(std::deque<mqtt::Message> taken)
{
    std::deque<mqtt::Message> older;
    for (auto& command : taken)
        if (std::none_of(waiting_.begin(), waiting_.end(),
                         [&](const mqtt::Message& newer) { return newer.topic == command.topic; }))
            older.push_back(std::move(command));
    waiting_.insert(waiting_.begin(), std::make_move_iterator(older.begin()), std::make_move_iterator(older.end()));
    if (waiting_.size() <= kMostTopics)
        return std::nullopt;
    waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<long>(waiting_.size() - kMostTopics));
    return Dropped("commands on more than " + std::to_string(kMostTopics) +
                   " topics wait for the service; the oldest are dropped");
}

std::optional<std::string> CommandQueue::Dropped(std::string what)
{
    droppedSinceTake_ = true;
    if (std::exchange(said_, true))
        return std::nullopt;
    return what + "; this is said once while it goes on";
}

} // namespace pixtera::bridge
