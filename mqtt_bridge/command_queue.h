// SPDX-License-Identifier: MIT
#pragma once
// The broker's commands waiting for the serving thread, which may be stuck in a call to a
// service that does not answer: only the newest of each topic waits (a later backlight or
// message replaces one not carried out yet), at most kMostTopics topics (the oldest goes first),
// and a command longer than kLongestCommand never waits. Dropping is said once, and again only
// after the serving thread took the queue without anything dropped in between.

#include <pixtera/mqtt/mqtt_connection.h>

#include <deque>
#include <optional>
#include <string>

namespace pixtera::bridge {

class CommandQueue {
public:
    static constexpr std::size_t kMostTopics = 32;
    // The message's 255 characters, each of up to four bytes, and room to spare.
    static constexpr std::size_t kLongestCommand = 1024;

    // What to say in the log, when this is the first drop in a while. `longest` for a topic
    // whose commands are longer by their nature (a machine's layout).
    std::optional<std::string> Push(const mqtt::Message& command, std::size_t longest = kLongestCommand);
    std::deque<mqtt::Message> Take();
    // Taken but not carried out (the service went away): they wait again, ahead of those that
    // came since, unless one of those has the same topic.
    std::optional<std::string> Return(std::deque<mqtt::Message> taken);
    bool empty() const { return waiting_.empty(); }

private:
    std::optional<std::string> Dropped(std::string what);

    std::deque<mqtt::Message> waiting_; // oldest first
    bool said_ = false;
    bool droppedSinceTake_ = false;
};

} // namespace pixtera::bridge
