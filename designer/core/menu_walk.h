// SPDX-License-Identifier: MIT
#pragma once
// A menu walked in the preview with the keyboard, as the display would show it: closed (the
// design shows) until Enter, then the navigator's levels, questions and, instead of doing an
// action, "<label>" shown as done until the next key. Nothing is ever performed here.

#include <pixtera/menu_navigator.h>

#include <cstddef>
#include <memory>
#include <string>

namespace pixtera::designer {

// The second row of the frame that stands in for a performed action.
inline constexpr char kMenuPreviewDone[] = "done (preview)";

class MenuWalk {
public:
    // The menu on a display of `columns` x `rows`; it is copied, so later edits need a new walk.
    MenuWalk(const Menu& menu, std::size_t columns, std::size_t rows);

    // A display key: Up, Down, Left, Right, Enter or Escape (a KeyCode); `repeat` while held.
    // Enter opens a closed menu. True when the key changed what shows.
    bool Key(LONG key, bool repeat);
    bool open() const { return navigator_.IsOpen(); }
    // What shows instead of the design: rows x columns cells, a code point each, row after row;
    // empty while the menu is closed.
    std::u32string Frame() const;
    // The label of the action just done, shown until the next key or until this is called.
    const std::string& done() const { return done_; }
    void ClearDone() { done_.clear(); }
    const Menu& menu() const { return *menu_; }
    std::size_t columns() const { return columns_; }
    std::size_t rows() const { return rows_; }

private:
    std::shared_ptr<const Menu> menu_;
    std::size_t columns_;
    std::size_t rows_;
    MenuNavigator navigator_;
    std::string done_;
};

} // namespace pixtera::designer
