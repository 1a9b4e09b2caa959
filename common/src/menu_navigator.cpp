// SPDX-License-Identifier: MIT
#include <pixtera/menu_navigator.h>

#include <algorithm>
#include <utility>

namespace pixtera {
namespace {

// The submenu entries the path opens, outermost first; empty where the path leaves the menu.
std::vector<const MenuEntry*> Opened(const Menu& menu, const MenuState& state)
{
    std::vector<const MenuEntry*> opened;
    const std::vector<MenuEntry>* level = &menu.entries;
    for (std::size_t index : state.path) {
        if (index >= level->size() || !(*level)[index].submenu)
            return {};
        opened.push_back(&(*level)[index]);
        level = &opened.back()->entries;
    }
    return opened;
}

} // namespace

const std::vector<MenuEntry>& MenuLevel(const Menu& menu, const MenuState& state)
{
    const auto opened = Opened(menu, state);
    return opened.empty() ? menu.entries : opened.back()->entries;
}

const std::string& MenuLevelTitle(const Menu& menu, const MenuState& state)
{
    const auto opened = Opened(menu, state);
    return opened.empty() ? menu.title : opened.back()->label;
}

MenuNavigator::MenuNavigator(std::shared_ptr<const Menu> menu, std::size_t visibleEntries,
                             std::chrono::milliseconds idleTimeout)
    : menu_(menu ? std::move(menu) : std::make_shared<const Menu>()),
      visibleEntries_(std::max<std::size_t>(visibleEntries, 1)),
      idleTimeout_(std::max(idleTimeout, std::chrono::milliseconds::zero()))
{
}

void MenuNavigator::Open(Clock::time_point now)
{
    state_ = {};
    open_ = true;
    lastKey_ = now;
}

void MenuNavigator::Close()
{
    open_ = false;
    state_ = {};
}

MenuStep MenuNavigator::Key(LONG key, LONG action, Clock::time_point now)
{
    if (!open_ || action == kKeyReleased)
        return {};
    lastKey_ = now;
    const bool repeated = action == kKeyRepeated;
    if (repeated && key != kKeyUp && key != kKeyDown)
        return {};
    switch (key) {
    case kKeyUp: return Move(false);
    case kKeyDown: return Move(true);
    case kKeyEnter: return Choose(true);
    case kKeyRight: return Choose(false);
    case kKeyEscape:
    case kKeyLeft: return Back();
    default: return {};
    }
}

MenuStep MenuNavigator::Tick(Clock::time_point now)
{
    const auto deadline = Deadline();
    if (!deadline || now < *deadline)
        return {};
    Close();
    return {MenuStep::Kind::Leave, {}, {}};
}

std::optional<MenuNavigator::Clock::time_point> MenuNavigator::Deadline() const
{
    if (!open_ || idleTimeout_ == std::chrono::milliseconds::zero())
        return std::nullopt;
    return lastKey_ + idleTimeout_;
}

const std::vector<MenuEntry>& MenuNavigator::Level() const { return MenuLevel(*menu_, state_); }

MenuStep MenuNavigator::Move(bool down)
{
    const std::size_t count = Level().size();
    if (state_.confirming || count < 2)
        return {};
    state_.cursor = down ? (state_.cursor + 1) % count : (state_.cursor + count - 1) % count;
    KeepCursorShown();
    return {MenuStep::Kind::Redraw, {}, {}};
}

// Enter opens a submenu or performs (after its question, where it has one); Right only opens.
MenuStep MenuNavigator::Choose(bool performs)
{
    const auto& level = Level();
    if (state_.cursor >= level.size())
        return {};
    const MenuEntry& entry = level[state_.cursor];
    if (state_.confirming) {
        if (!performs)
            return {};
        state_.confirming = false;
        return {MenuStep::Kind::Perform, entry.action, entry.label};
    }
    if (entry.submenu) {
        state_.path.push_back(state_.cursor);
        state_.cursor = 0;
        state_.top = 0;
        return {MenuStep::Kind::Redraw, {}, {}};
    }
    if (!performs)
        return {};
    if (entry.action.confirm) {
        state_.confirming = true;
        return {MenuStep::Kind::Confirm, {}, {}};
    }
    return {MenuStep::Kind::Perform, entry.action, entry.label};
}

MenuStep MenuNavigator::Back()
{
    if (state_.confirming) {
        state_.confirming = false;
        return {MenuStep::Kind::Redraw, {}, {}};
    }
    if (state_.path.empty()) {
        Close();
        return {MenuStep::Kind::Leave, {}, {}};
    }
    // Back on the submenu just left.
    state_.cursor = state_.path.back();
    state_.path.pop_back();
    state_.top = 0;
    KeepCursorShown();
    return {MenuStep::Kind::Redraw, {}, {}};
}

void MenuNavigator::KeepCursorShown()
{
    if (state_.cursor < state_.top)
        state_.top = state_.cursor;
    else if (state_.cursor >= state_.top + visibleEntries_)
        state_.top = state_.cursor + 1 - visibleEntries_;
    // No rows left empty below the last entry while there are entries above.
    const std::size_t count = Level().size();
    state_.top = std::min(state_.top, count > visibleEntries_ ? count - visibleEntries_ : 0);
}

} // namespace pixtera
