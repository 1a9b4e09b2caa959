// SPDX-License-Identifier: MIT
// Bytes per second on the link of the native LCD drivers, showing the example clock design on a
// 20x4 module for 60 simulated seconds at its update period: once with every value standing still
// (a static screen), once with the time moving on every second.
// Targets: 0 B/s for the static screen, under 8 B/s for the clock (serial bytes; on I2C, bytes to
// the PCF8574, four per character or instruction).
//
// A harness rather than a Google Benchmark: it counts bytes, not time.

#include "hd44780_i2c_protocol.h"
#include "lcd_writer.h"
#include "serial_lcd_protocol.h"

#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

constexpr DWORD kSeconds = 60;

std::string ClockText(DWORD second)
{
    char text[16];
    std::snprintf(text, sizeof text, "12:%02u:%02u", (second / 60) % 60, second % 60);
    return text;
}

// Bytes on the link per second after the first frame.
double BytesPerSecond(std::shared_ptr<LcdProtocol> protocol, bool clockRuns)
{
    int ends[2];
    socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends);
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    int driverEnd = ends[0];
    WriterSetup setup;
    setup.name = "bench";
    setup.device = "socket";
    setup.open = [&](std::string&) { return std::optional<DeviceLink>(DeviceLink(std::exchange(driverEnd, -1))); };
    setup.protocol = std::move(protocol);
    setup.geometry = {20, 4};
    setup.sleep = [](std::chrono::microseconds) {};
    LcdWriter writer(setup);

    Design design;
    LoadDesign(PIXTERA_EXAMPLES_DIR "/clock.pxd", design, DesignReader::Service, 0);
    TableValueSource values;
    values.Set(u"Date", Variant::FromText(u"Mon 7 Dec 2026"));
    values.Set(u"HostName", Variant::FromText(u"workshop"));
    values.Set(u"Uptime.Text", Variant::FromText(u"3 days 04:05"));
    VirtualDisplay display;
    display.Initialize(20, 4, 5, 8);
    auto drain = [&] {
        writer.WaitUntilSent(std::chrono::seconds(5));
        std::size_t bytes = 0;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(ends[1], buffer, sizeof buffer)) > 0)
            bytes += static_cast<std::size_t>(n);
        return bytes;
    };
    std::size_t bytes = 0;
    for (DWORD now = 0; now <= kSeconds * 1000; now += design.updateFrequency) {
        values.Set(u"Time", Variant::FromText(AnsiToUtf16(ClockText(clockRuns ? now / 1000 : 0))));
        RenderFrame(design, values, now, display);
        writer.Show(std::string(display.frame()));
        const std::size_t sent = drain();
        if (now > 0)
            bytes += sent;
    }
    close(ends[1]);
    return static_cast<double>(bytes) / kSeconds;
}

} // namespace

int main()
{
    const Geometry geometry{20, 4};
    const auto serial = std::make_shared<SerialLcdProtocol>(SerialLcdOptions{});
    const auto i2c = std::make_shared<Hd44780I2cProtocol>(geometry, Pcf8574Pins::A(), true);
    std::printf("%-36s %8s %8s\n", "example clock design, 20x4", "static", "clock");
    std::printf("%-36s %6.2f B/s %6.2f B/s\n", "Pixtera.SerialLCD (serial bytes)", BytesPerSecond(serial, false),
                BytesPerSecond(serial, true));
    std::printf("%-36s %6.2f B/s %6.2f B/s\n", "Pixtera.HD44780I2C (PCF8574 bytes)", BytesPerSecond(i2c, false),
                BytesPerSecond(i2c, true));
    return 0;
}
