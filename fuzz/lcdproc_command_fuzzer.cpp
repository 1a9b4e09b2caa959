// SPDX-License-Identifier: MIT
// The LCDd protocol server's command lines: the input as the lines of up to three clients,
// executed by the server's state, with the display's keys between them, so that menus are
// built, opened, walked and torn down under one another; the screens and the menu are then
// drawn at a few moments, on a display of a size the input picks.
//
// After the two bytes of the geometry, each line is a client's command, unless it begins with
// one of these bytes: \x01 K: the display's key K (of kKeys) on the screen shown; \x02 C: the
// lines that follow are client C's (0-2; it connects when it is not); \x03: the rotation's
// screens are listed, shown one after another and drawn; \x04: the current client goes.

#include "server_state.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string_view>

namespace {

using namespace pixtera::lcdproc;

constexpr long kDisplay = 0;
constexpr std::array<const char*, 8> kKeys{"Up", "Down", "Left", "Right", "Enter", "Escape", "F1", "Raw:x"};

struct Harness {
    Harness(const Geometry& size, bool utf8)
        : geometry(size), state(utf8, ServerLimits{SessionLimits{8, 32, 64, 256, 8, 16}, 4096})
    {
        state.AttachDisplay(kDisplay, geometry);
    }

    ClientId Client(std::size_t index)
    {
        if (!clients[index]) {
            clients[index] = state.Connect();
            state.Execute(clients[index], "hello");
        }
        return clients[index];
    }

    void Check(const RenderedScreen& rendered) const
    {
        if (rendered.cells.size() != static_cast<std::size_t>(geometry.columns * geometry.rows) ||
            rendered.glyphsUsed < 0 || rendered.glyphsUsed > kUserGlyphs)
            __builtin_trap();
        // Every cell a code point: a control only as a user character the rendering defined.
        for (char32_t c : rendered.cells)
            if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) ||
                (c < 32 && (c < kFirstUserCode || c >= kFirstUserCode + static_cast<char32_t>(rendered.glyphsUsed))))
                __builtin_trap();
    }

    // Every screen of the rotation shown in turn and drawn, as a display would.
    void Rotate(long timer)
    {
        std::istringstream list(state.Screens(kDisplay));
        long number = 0;
        long priority = 0;
        long duration = 0;
        std::string rest;
        long last = -1;
        while (list >> number >> priority >> duration && std::getline(list, rest)) {
            state.Shown(kDisplay, number, timer);
            last = number;
            for (long at : {timer, timer + 1, timer + 1000003})
                if (const auto rendered = state.Render(kDisplay, number, at))
                    Check(*rendered);
        }
        shown = last;
        Follow();
    }

    // What a display would show now: the menu while it is open (its rank is the highest), else
    // the screen shown before, or the first listed.
    void Follow()
    {
        const std::string list = state.Screens(kDisplay);
        if (list.starts_with(std::to_string(ServerState::kMenuScreen) + " "))
            shown = ServerState::kMenuScreen;
        else if (shown == ServerState::kMenuScreen)
            shown = list.empty() ? -1 : std::atol(list.c_str());
    }

    const Geometry geometry;
    ServerState state;
    std::array<ClientId, 3> clients{};
    long shown = -1; // none
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const Geometry geometry{1 + data[0] % 40, 1 + data[1] % 8, 5, 8};
    Harness harness(geometry, (data[0] & 0x80) != 0);
    std::size_t current = 0;
    long timer = 0;
    std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
    while (!input.empty()) {
        const auto end = input.find('\n');
        const std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        const char control = line.empty() ? '\0' : line[0];
        const auto argument = line.size() > 1 ? static_cast<unsigned char>(line[1]) : 0u;
        if (control == '\x01') {
            harness.state.DeliverKey(kDisplay, harness.shown, kKeys[argument % kKeys.size()]);
        } else if (control == '\x02') {
            current = argument % harness.clients.size();
        } else if (control == '\x03') {
            harness.Rotate(timer += 8);
        } else if (control == '\x04') {
            if (harness.clients[current])
                harness.state.Disconnect(harness.clients[current]);
            harness.clients[current] = 0;
        } else {
            const ClientId client = harness.Client(current);
            if (!harness.state.Execute(client, line)) {
                harness.state.Disconnect(client); // "bye"
                harness.clients[current] = 0;
            }
        }
        harness.Follow();
    }
    harness.Rotate(timer + 8);
    if (const auto menu = harness.state.Render(kDisplay, ServerState::kMenuScreen, timer))
        harness.Check(*menu);
    for (ClientId client : harness.clients)
        if (client && harness.state.TakeOutput(client).size() > 4096)
            __builtin_trap();
    return 0;
}
