// SPDX-License-Identifier: MIT
#include "menu_walk.h"

#include <pixtera/menu_renderer.h>
#include <pixtera/platform/codepage.h>

#include <algorithm>
#include <chrono>

namespace pixtera::designer {
namespace {

std::string Row(std::string_view utf8, std::size_t columns)
{
    std::string text = Utf8ToAnsi(utf8);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    text.resize(columns, ' ');
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

std::string MenuWalk::Frame() const
{
    if (!navigator_.IsOpen())
        return {};
    std::string frame;
    if (!done_.empty()) {
        if (rows_ == 1) {
            frame = Row(done_ + ": done", columns_);
        } else {
            frame = Row(done_, columns_) + Row(kMenuPreviewDone, columns_);
            frame.resize(rows_ * columns_, ' ');
        }
        return frame;
    }
    for (const std::string& row : RenderMenu(*menu_, navigator_.state(), columns_, rows_))
        frame += row;
    return frame;
}

} // namespace pixtera::designer
