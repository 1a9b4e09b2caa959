// SPDX-License-Identifier: MIT
#include <pixtera/menu_renderer.h>

#include <pixtera/platform/codepage.h>

#include <algorithm>

namespace pixtera {
namespace {

// The text in the display's code page, one byte a character, without control codes.
std::string DisplayText(std::string_view utf8)
{
    std::string text = Utf8ToAnsi(utf8);
    std::replace_if(
        text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }, ' ');
    return text;
}

std::string Fit(std::string text, std::size_t columns)
{
    text.resize(columns, ' ');
    return text;
}

std::vector<std::string> Question(const MenuEntry& entry, std::size_t columns, std::size_t rows)
{
    std::vector<std::string> frame(rows, std::string(columns, ' '));
    frame[0] = Fit(DisplayText(MenuQuestion(entry)), columns);
    if (rows > 1)
        frame[1] = Fit(kMenuAnswers, columns);
    return frame;
}

// The title, and the cursor's place ("2/5") at the right end when some entries are out of sight
// and there is room for both.
std::string TitleRow(const std::string& title, std::size_t cursor, std::size_t count, bool allShown,
                     std::size_t columns)
{
    std::string row = DisplayText(title);
    if (!allShown) {
        const std::string place = std::to_string(cursor + 1) + "/" + std::to_string(count);
        if (columns >= place.size() + 2)
            return Fit(Fit(row, columns - place.size() - 1) + " " + place, columns);
    }
    return Fit(std::move(row), columns);
}

std::string EntryRow(const MenuEntry& entry, bool chosen, std::size_t columns)
{
    return Fit(std::string(1, chosen ? kMenuCursorMark : ' ') + DisplayText(entry.label), columns);
}

} // namespace

std::string MenuQuestion(const MenuEntry& entry)
{
    return (entry.action.kind == MenuActionKind::RunCommand ? "Run " : "") + entry.label + "?";
}

std::vector<std::string> RenderMenu(const Menu& menu, const MenuState& state, std::size_t columns, std::size_t rows)
{
    if (rows == 0)
        return {};
    const auto& level = MenuLevel(menu, state);
    const std::size_t cursor = std::min(state.cursor, level.empty() ? 0 : level.size() - 1);
    if (state.confirming && cursor < level.size() && !level[cursor].submenu)
        return Question(level[cursor], columns, rows);

    std::vector<std::string> frame;
    const bool titled = rows > 1;
    const std::size_t shown = titled ? rows - 1 : 1;
    if (titled)
        frame.push_back(TitleRow(MenuLevelTitle(menu, state), cursor, level.size(), level.size() <= shown, columns));
    if (level.empty())
        frame.push_back(Fit(std::string(" ") + kMenuEmptyLevel, columns));
    // The state's first entry, moved as little as needed to show the cursor on this display.
    std::size_t top = std::min(state.top, cursor);
    if (cursor >= top + shown)
        top = cursor + 1 - shown;
    for (std::size_t i = top; i < level.size() && i < top + shown; ++i)
        frame.push_back(EntryRow(level[i], i == cursor, columns));
    frame.resize(rows, std::string(columns, ' '));
    return frame;
}

} // namespace pixtera
