// SPDX-License-Identifier: MIT
// Each display's message board: a text entity per row, set one line at a time, shown over the
// display as a notification is while any line has text; a notification goes before it.
#include "bridge.h"

#include "notification_frame.h"

#include <charconv>

namespace pixtera::bridge {
namespace {

// A board's change shows at most this often; a line set faster waits, the newest text kept.
constexpr std::chrono::seconds kBoardChangeEvery{1};

int BoardLines(const ServiceLink::Facts& facts) { return std::clamp(facts.rows, 0, kMostBoardLines); }

} // namespace

void Bridge::AnnounceLines(std::map<std::string, std::string>& configs, const std::map<int, ServiceLink::Facts>& facts)
{
    for (const auto& [display, fact] : facts) {
        for (int row = 1; row <= BoardLines(fact); ++row) {
            configs[topics_.LineConfigTopic(display, row)] = topics_.LineConfig(display, row, fact.columns);
            // What the board shows, so that a line left by an earlier run is not taken for it.
            broker_->Publish(topics_.Line(display, row), messageBoards_[display].Line(row), true);
        }
    }
    for (auto it = messageBoards_.begin(); it != messageBoards_.end();)
        it = facts.contains(it->first) ? std::next(it) : messageBoards_.erase(it);
}

// pixtera/<machine>/display/<n>/line/<row>/set: the text of that line alone.
void Bridge::SetLine(int display, std::string_view row, const mqtt::Message& command)
{
    const ServiceLink::Facts& facts = facts_[display];
    int number = 0;
    const auto [end, error] = std::from_chars(row.data(), row.data() + row.size(), number);
    if (row.empty() || error != std::errc() || end != row.data() + row.size() || number < 1 ||
        number > BoardLines(facts))
        return Ignore(command, "the display has no such line (1 to " + std::to_string(BoardLines(facts)) + ")");
    MessageText line = ReadBoardLine(command.payload, facts.columns);
    if (!line.refused.empty())
        return Ignore(command, line.refused);
    messageBoards_[display].Set(number, line.text);
    broker_->Publish(topics_.Line(display, number), line.text, true);
}

std::optional<std::string> Bridge::OverlayFrame(int display, const std::optional<std::string>& notification,
                                                NotificationBoard::Clock::time_point now)
{
    const ServiceLink::Facts& facts = facts_[display];
    if (notification)
        return NotificationFrame(*notification, facts.columns, facts.rows);
    const auto board = messageBoards_.find(display);
    if (board == messageBoards_.end() || !board->second.Shows() || blanked_[display])
        return std::nullopt;
    std::string frame = board->second.Frame(facts.columns, facts.rows);
    const auto shown = onDisplay_.find(display);
    if (shown != onDisplay_.end() && shown->second == frame)
        return frame;
    auto& written = boardWritten_[display];
    if (shown != onDisplay_.end() && now < written + kBoardChangeEvery) {
        const auto due = written + kBoardChangeEvery;
        if (!notificationDue_ || due < *notificationDue_)
            notificationDue_ = due;
        return shown->second; // what shows stays until the board's turn
    }
    written = now;
    return frame;
}

} // namespace pixtera::bridge
