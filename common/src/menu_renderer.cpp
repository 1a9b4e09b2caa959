// SPDX-License-Identifier: MIT
#include <pixtera/menu_renderer.h>

#include <pixtera/platform/utf8_decode.h>

#include <algorithm>

namespace pixtera {
namespace {

std::u32string Fit(std::u32string text, std::size_t columns)
{
    text.resize(columns, U' ');
    return text;
}

std::vector<std::u32string> Question(const MenuEntry& entry, std::size_t columns, std::size_t rows)
{
    std::vector<std::u32string> frame(rows, std::u32string(columns, U' '));
    frame[0] = Fit(MenuText(MenuQuestion(entry)), columns);
    if (rows > 1)
        frame[1] = Fit(MenuText(kMenuAnswers), columns);
    return frame;
}

// The title, and the cursor's place ("2/5") at the right end when some entries are out of sight
// and there is room for both.
std::u32string TitleRow(const std::string& title, std::size_t cursor, std::size_t count, bool allShown,
                        std::size_t columns)
{
    std::u32string row = MenuText(title);
    if (!allShown) {
        const std::u32string place = MenuText(std::to_string(cursor + 1) + "/" + std::to_string(count));
        if (columns >= place.size() + 2)
            return Fit(Fit(row, columns - place.size() - 1) + U" " + place, columns);
    }
    return Fit(std::move(row), columns);
}

std::u32string EntryRow(const MenuEntry& entry, bool chosen, std::size_t columns)
{
    return Fit(std::u32string(1, chosen ? kMenuCursorMark : U' ') + MenuText(entry.label), columns);
}

} // namespace

std::string MenuQuestion(const MenuEntry& entry)
{
    return (entry.action.kind == MenuActionKind::RunCommand ? "Run " : "") + entry.label + "?";
}

std::u32string MenuText(std::string_view utf8)
{
    std::u32string text;
    text.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = DecodeUtf8(utf8, at);
        text.push_back(c < 0x20 || (c >= 0x7F && c < 0xA0) ? U' ' : c);
    }
    return text;
}

std::vector<std::u32string> RenderMenu(const Menu& menu, const MenuState& state, std::size_t columns, std::size_t rows)
{
    if (rows == 0)
        return {};
    const auto& level = MenuLevel(menu, state);
    const std::size_t cursor = std::min(state.cursor, level.empty() ? 0 : level.size() - 1);
    if (state.confirming && cursor < level.size() && !level[cursor].submenu)
        return Question(level[cursor], columns, rows);

    std::vector<std::u32string> frame;
    const bool titled = rows > 1;
    const std::size_t shown = titled ? rows - 1 : 1;
    if (titled)
        frame.push_back(TitleRow(MenuLevelTitle(menu, state), cursor, level.size(), level.size() <= shown, columns));
    if (level.empty())
        frame.push_back(Fit(MenuText(std::string(" ") + kMenuEmptyLevel), columns));
    // The state's first entry, moved as little as needed to show the cursor on this display.
    std::size_t top = std::min(state.top, cursor);
    if (cursor >= top + shown)
        top = cursor + 1 - shown;
    for (std::size_t i = top; i < level.size() && i < top + shown; ++i)
        frame.push_back(EntryRow(level[i], i == cursor, columns));
    frame.resize(rows, std::u32string(columns, U' '));
    return frame;
}

} // namespace pixtera
