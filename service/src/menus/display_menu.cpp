// SPDX-License-Identifier: MIT
#include "display_menu.h"

#include <pixtera/menu_renderer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/display_input.h>

#include <algorithm>
#include <utility>

namespace pixtera {
namespace {

// A failure is a line or two of a program's or logind's words; more would never fit.
constexpr std::size_t kMaxFailureBytes = 256;

bool ShowsADesign(MenuActionKind kind)
{
    return kind == MenuActionKind::ShowDesign || kind == MenuActionKind::NextDesign ||
           kind == MenuActionKind::PreviousDesign;
}

void Drain(KeyCoalescer& keys)
{
    while (keys.Take()) {
    }
}

} // namespace

DisplayMenu::DisplayMenu(MenuSettings settings, std::size_t rows)
    : bindings_(std::move(settings.bindings)), rows_(std::max<std::size_t>(rows, 1))
{
    if (settings.menu)
        navigator_.emplace(std::move(settings.menu), rows_ > 1 ? rows_ - 1 : 1, settings.idleTimeout);
}

DisplayMenu::KeyUse DisplayMenu::Key(LONG key, LONG action)
{
    if (open_) {
        bool waits = false;
        {
            std::lock_guard lock(mutex_);
            waits = keys_.Add(key, action);
        }
        if (waits)
            wake_.Set();
        return KeyUse::Menu;
    }
    // A held key steps through the queue once: a repeat would race through it unseen.
    if (action != kKeyPressed)
        return KeyUse::Nothing;
    switch (bindings_.RoleOf(key)) {
    case KeyRole::PreviousDesign: return KeyUse::PreviousDesign;
    case KeyRole::NextDesign: return KeyUse::NextDesign;
    case KeyRole::OpenMenu:
        if (!navigator_)
            return KeyUse::Nothing;
        {
            std::lock_guard lock(mutex_);
            Drain(keys_); // keys left from the menu before are not this one's
            openAsked_ = true;
        }
        open_ = true;
        wake_.Set();
        return KeyUse::Menu;
    case KeyRole::Nothing: break;
    }
    return KeyUse::Nothing;
}

void DisplayMenu::ShowFailure(std::string text)
{
    // Between characters: a cut inside one would show as a '?' the message never had.
    text.resize(Utf8Prefix(text, kMaxFailureBytes).size());
    {
        std::lock_guard lock(mutex_);
        failure_ = std::move(text);
        failureUntil_ = Clock::now() + kFailureShown;
    }
    wake_.Set();
}

DisplayMenu::Steps DisplayMenu::Step(Clock::time_point now)
{
    Steps steps;
    std::vector<MenuKey> keys;
    bool asked = false;
    {
        std::lock_guard lock(mutex_);
        asked = std::exchange(openAsked_, false);
        while (const auto key = keys_.Take())
            keys.push_back(*key);
        if (!failure_.empty() && now >= failureUntil_) {
            failure_.clear();
            steps.changed = true;
        }
    }
    if (!navigator_)
        return steps;
    if (asked) {
        navigator_->Open(now);
        steps.changed = true;
    }
    for (const MenuKey& key : keys) {
        if (!navigator_->IsOpen())
            break;
        Perform(navigator_->Key(key.key, key.action, now), steps);
    }
    if (navigator_->IsOpen())
        Perform(navigator_->Tick(now), steps);
    // Only this thread closes the menu, and the key thread opens it only while it is closed.
    if (!navigator_->IsOpen())
        open_ = false;
    return steps;
}

void DisplayMenu::Perform(const MenuStep& step, Steps& steps)
{
    switch (step.kind) {
    case MenuStep::Kind::Nothing: return;
    case MenuStep::Kind::Perform:
        steps.actions.push_back(step.action);
        if (ShowsADesign(step.action.kind))
            navigator_->Close();
        break;
    case MenuStep::Kind::Redraw:
    case MenuStep::Kind::Confirm:
    case MenuStep::Kind::Leave: break;
    }
    steps.changed = true;
}

bool DisplayMenu::Showing(Clock::time_point now) const
{
    if (open_)
        return true;
    std::lock_guard lock(mutex_);
    return !failure_.empty() && now < failureUntil_;
}

std::vector<std::u32string> DisplayMenu::Frame(std::size_t columns, Clock::time_point now) const
{
    std::string failure;
    {
        std::lock_guard lock(mutex_);
        if (now < failureUntil_)
            failure = failure_;
    }
    if (failure.empty() && navigator_ && navigator_->IsOpen())
        return RenderMenu(navigator_->menu(), navigator_->state(), columns, rows_);
    // The failure cut into the rows.
    const std::u32string text = MenuText(failure);
    std::vector<std::u32string> rows;
    for (std::size_t row = 0; row < rows_; ++row) {
        std::u32string line = row * columns < text.size() ? text.substr(row * columns, columns) : std::u32string();
        line.resize(columns, U' ');
        rows.push_back(std::move(line));
    }
    return rows;
}

std::optional<DisplayMenu::Clock::time_point> DisplayMenu::Deadline() const
{
    std::optional<Clock::time_point> deadline = navigator_ ? navigator_->Deadline() : std::nullopt;
    std::lock_guard lock(mutex_);
    if (!failure_.empty() && (!deadline || failureUntil_ < *deadline))
        deadline = failureUntil_;
    return deadline;
}

void DisplayMenu::Close()
{
    if (navigator_)
        navigator_->Close();
    {
        std::lock_guard lock(mutex_);
        Drain(keys_);
        openAsked_ = false;
        failure_.clear();
    }
    open_ = false;
}

} // namespace pixtera
