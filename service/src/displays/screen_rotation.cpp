// SPDX-License-Identifier: MIT
#include "screen_rotation.h"

#include <algorithm>
#include <charconv>

namespace pixtera {
namespace {

constexpr LONG kDefaultDuration = 32;

LONG TopClass(std::size_t queueSize, const std::vector<ClientScreen>& screens)
{
    LONG top = queueSize > 0 ? kScreenInfo : kScreenHidden;
    for (const auto& screen : screens)
        top = std::max(top, screen.priority);
    return top;
}

bool SameScreen(const ClientScreen& a, const ClientScreen& b) { return a.source == b.source && a.id == b.id; }

} // namespace

Turn ScreenRotation::Next(std::size_t queueSize, const std::vector<ClientScreen>& screens, bool lastHeld)
{
    const LONG top = TopClass(queueSize, screens);
    if (top == kScreenHidden) {
        last_.reset();
        return {};
    }
    // The turns of the class shown, in order: the queue's entries (info only), then the screens.
    std::vector<Turn> turns;
    if (top == kScreenInfo)
        for (std::size_t i = 0; i < queueSize; ++i)
            turns.push_back({Turn::Kind::Queue, i, {}});
    for (const auto& screen : screens)
        if (screen.priority == top)
            turns.push_back({Turn::Kind::Client, 0, screen});

    std::size_t next = 0;
    if (last_) {
        const auto same = [&](const Turn& t) {
            return t.kind == last_->kind && (t.kind == Turn::Kind::Queue ? t.queueIndex == last_->queueIndex
                                                                         : SameScreen(t.screen, last_->screen));
        };
        if (const auto it = std::find_if(turns.begin(), turns.end(), same); it != turns.end()) {
            const auto at = static_cast<std::size_t>(it - turns.begin());
            const bool stays = lastHeld && it->kind == Turn::Kind::Queue && turns.size() == queueSize;
            next = stays ? at : (at + 1) % turns.size();
        }
    }
    last_ = turns[next];
    return turns[next];
}

Turn ScreenRotation::JumpTo(std::size_t index)
{
    last_ = Turn{Turn::Kind::Queue, index, {}};
    return *last_;
}

bool ScreenRotation::Interrupted(const Turn& current, const std::vector<ClientScreen>& screens, bool held)
{
    LONG rank = kScreenInfo;
    if (current.kind == Turn::Kind::Client) {
        const auto it = std::find_if(screens.begin(), screens.end(),
                                     [&](const ClientScreen& s) { return SameScreen(s, current.screen); });
        if (it == screens.end() || it->priority != current.screen.priority)
            return true;
        rank = it->priority;
    }
    return std::any_of(screens.begin(), screens.end(), [&](const ClientScreen& s) {
        return s.priority > rank || (held && s.priority == rank && s.priority > kScreenHidden);
    });
}

std::vector<ClientScreen> ReadScreenList(std::string_view list, std::size_t source, std::size_t limit)
{
    std::vector<ClientScreen> screens;
    while (!list.empty() && screens.size() < limit) {
        const auto end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
        LONG fields[3] = {};
        bool read = true;
        for (LONG& field : fields) {
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            const auto [stop, ec] = std::from_chars(line.data(), line.data() + line.size(), field);
            read = read && ec == std::errc();
            line.remove_prefix(static_cast<std::size_t>(stop - line.data()));
        }
        if (!read || fields[1] < kScreenHidden || fields[1] > kScreenInput || fields[2] < 0)
            continue;
        // The backlight may follow; what is not one leaves the display's own.
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        LONG backlight = kScreenBacklightOpen;
        if (std::from_chars(line.data(), line.data() + line.size(), backlight).ec != std::errc() ||
            backlight < kScreenBacklightOpen || backlight > kScreenBacklightFlash)
            backlight = kScreenBacklightOpen;
        screens.push_back({source, fields[0], fields[1], fields[2] > 0 ? fields[2] : kDefaultDuration, backlight});
    }
    return screens;
}

} // namespace pixtera
