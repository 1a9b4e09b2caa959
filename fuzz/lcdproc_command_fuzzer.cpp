// SPDX-License-Identifier: MIT
// The LCDd protocol server's command lines: the input as a client's lines, executed on a session
// whose screens are then drawn at a few moments, on a display of a size the input picks.

#include "client_session.h"
#include "screen_renderer.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    using namespace pixtera::lcdproc;
    const Geometry geometry{1 + data[0] % 40, 1 + data[1] % 8, 5, 8};
    ClientSession session(geometry, (data[0] & 0x80) != 0, SessionLimits{8, 32, 64, 256, 8, 16});
    session.Execute("hello");
    std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    while (!input.empty()) {
        const auto end = input.find('\n');
        session.Execute(input.substr(0, end));
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    }
    for (const Screen& screen : session.screens())
        for (long timer : {0L, 1L, 7L, 1000003L}) {
            const RenderedScreen rendered = RenderScreen(screen, geometry, timer);
            if (rendered.cells.size() != static_cast<std::size_t>(geometry.columns * geometry.rows))
                __builtin_trap();
        }
    return 0;
}
