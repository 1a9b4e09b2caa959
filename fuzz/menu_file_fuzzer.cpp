// SPDX-License-Identifier: MIT
// Arbitrary bytes as a menu file; a menu that is read must be written and read back the same.

#include <pixtera/menu_file.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
    if (!LoadMenuFromText(input.substr(0, split), menu, designs).ok)
        return 0;
    if (!MenuProblem(menu, designs).empty())
        std::abort();
    Menu back;
    if (!LoadMenuFromText(MenuToText(menu), back, designs).ok || !(back == menu))
        std::abort();
    return 0;
}
