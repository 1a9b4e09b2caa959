// SPDX-License-Identifier: MIT
#include "bus_server.h"

#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

namespace pixtera {
namespace {

using wire::Check;

} // namespace

void BusServer::ExportPower(sdbus::IObject& object, LONG index)
{
    const auto displays = manager_.displays().Displays();
    if (index < 0 || static_cast<std::size_t>(index) >= displays.size())
        return;
    const ComPtr<ManagedDisplay> display = displays[static_cast<std::size_t>(index)];
    const char* const p = bus::kDisplayPower;
    guard_.Method(object, "SetBacklight").onInterface(p).withInputParamNames("on").implementedAs([display](bool on) {
        Check(display->SetBacklight(on), [] { return "the display's driver has no backlight to switch"; });
    });
    guard_.Method(object, "SetBrightness")
        .onInterface(p)
        .withInputParamNames("percent")
        .implementedAs([display](std::uint8_t percent) {
            Check(display->SetBrightness(percent), [percent] {
                return percent > 100 ? std::string("the brightness is a percentage, 0 to 100")
                                     : "the display's driver cannot dim";
            });
        });
    object.registerProperty("Backlight").onInterface(p).withGetter([display] { return display->backlight(); });
    object.registerProperty("Blanked").onInterface(p).withGetter([display] { return display->blanked(); });
    object.registerProperty("Caps")
        .onInterface(p)
        .withGetter([display] { return static_cast<std::int32_t>(display->powerCaps()); })
        .withUpdateBehavior(sdbus::Flags::CONST_PROPERTY_VALUE); // a driver's capabilities never change
    display->ObservePower([this, index] { PostPowerChange(index); });
}

} // namespace pixtera
