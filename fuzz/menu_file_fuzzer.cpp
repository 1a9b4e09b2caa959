// SPDX-License-Identifier: MIT
// Arbitrary bytes as a menu file; a refusal must be printable, a menu that is read must be
// written and read back the same, and is walked with keys made of the same bytes and drawn on
// every step.

#include <pixtera/menu_file.h>
#include <pixtera/menu_navigator.h>
#include <pixtera/menu_renderer.h>
#include <pixtera/platform/codepage.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    using namespace pixtera;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // The menu comes first; what follows the last NUL names the display's queue, a design a line.
    const auto split = input.rfind('\0');
    MenuDesigns designs;
    if (split != std::string_view::npos) {
        designs.known = true;
        std::string_view rest = input.substr(split + 1);
        while (!rest.empty()) {
            const auto end = rest.find('\n');
            designs.queue.emplace_back(rest.substr(0, end));
            rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        }
    }
    Menu menu;
    const MenuReadResult read = LoadMenuFromText(input.substr(0, split), menu, designs);
    if (!read.ok) {
        // The reason goes into the log on one line: whatever the file held, it is UTF-8 without
        // a control character.
        if (FindInvalidUtf8(read.problem) != std::string_view::npos)
            std::abort();
        const std::u16string wide = Utf8ToUtf16(read.problem);
        if (std::any_of(wide.begin(), wide.end(), [](char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }))
            std::abort();
        return 0;
    }
    if (!MenuProblem(menu, designs).empty())
        std::abort();
    Menu back;
    if (!LoadMenuFromText(MenuToText(menu), back, designs).ok || !(back == menu))
        std::abort();

    const auto shared = std::make_shared<const Menu>(std::move(menu));
    MenuNavigator navigator(shared, 3, std::chrono::milliseconds(1000));
    navigator.Open({});
    std::chrono::steady_clock::time_point now{};
    for (std::size_t i = 0; i < std::min<std::size_t>(size, 512); ++i) {
        const auto byte = data[i];
        now += std::chrono::milliseconds(byte);
        const LONG key = kKeyUp + byte % 7; // one past Escape: a key menus ignore
        navigator.Key(key, (byte >> 3) % 3, now);
        navigator.Tick(now);
        if (!navigator.IsOpen())
            navigator.Open(now);
        for (const auto& [columns, rows] : {std::pair<std::size_t, std::size_t>{16, 2}, {20, 4}, {40, 1}}) {
            const auto frame = RenderMenu(navigator.menu(), navigator.state(), columns, rows);
            if (frame.size() != rows || frame.front().size() != columns)
                std::abort();
        }
    }
    return 0;
}
