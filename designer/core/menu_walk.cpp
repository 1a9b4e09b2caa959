// SPDX-License-Identifier: MIT
#include "menu_walk.h"

#include <pixtera/menu_renderer.h>

#include <algorithm>
#include <chrono>

namespace pixtera::designer {
namespace {

std::u32string Row(std::string_view utf8, std::size_t columns)
{
    std::u32string text = MenuText(utf8);
    text.resize(columns, U' ');
    return text;
}

} // namespace

MenuWalk::MenuWalk(const Menu& menu, std::size_t columns, std::size_t rows)
    : menu_(std::make_shared<const Menu>(menu)),
      columns_(std::max<std::size_t>(columns, 1)),
      rows_(std::max<std::size_t>(rows, 1)),
      // The preview never times out: the user may look at a level for as long as they like.
      navigator_(menu_, rows_ > 1 ? rows_ - 1 : 1, std::chrono::milliseconds(0))
{
}

bool MenuWalk::Key(LONG key, bool repeat)
{
    const auto now = MenuNavigator::Clock::now();
    const bool wasDone = !done_.empty();
    done_.clear();
    if (!navigator_.IsOpen()) {
        if (key != kKeyEnter || repeat)
            return wasDone;
        navigator_.Open(now);
        return true;
    }
    const MenuStep step = navigator_.Key(key, repeat ? kKeyRepeated : kKeyPressed, now);
    if (step.kind == MenuStep::Kind::Perform)
        done_ = step.label;
    return wasDone || step.kind != MenuStep::Kind::Nothing;
}

std::u32string MenuWalk::Frame() const
{
    if (!navigator_.IsOpen())
        return {};
    std::u32string frame;
    if (!done_.empty()) {
        if (rows_ == 1) {
            frame = Row(done_ + ": done", columns_);
        } else {
            frame = Row(done_, columns_) + Row(kMenuPreviewDone, columns_);
            frame.resize(rows_ * columns_, U' ');
        }
        return frame;
    }
    for (const std::u32string& row : RenderMenu(*menu_, navigator_.state(), columns_, rows_))
        frame += row;
    return frame;
}

} // namespace pixtera::designer
