// SPDX-License-Identifier: MIT
#include "hardware_events.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/display_events.h>

namespace pixtera {

HardwareEvents::HardwareEvents(DriverManager& drivers) : drivers_(drivers)
{
    devices_ = DeviceMonitor::Start([this](const std::string& node) { DeviceAppeared(node); });
}

// The monitor's thread ends first: no event arrives once the members go.
HardwareEvents::~HardwareEvents() { devices_.reset(); }

template <class Call>
void HardwareEvents::ForEachDriver(const Call& call)
{
    for (LONG index = 0; index < drivers_.Size(); ++index) {
        const auto record = drivers_.At(index); // listed only once created
        if (!record || !record->object)
            continue;
        const auto events = record->object.As<IDisplayEvents>();
        if (events)
            record->fault->Guard([&] { return call(*events); });
    }
}

void HardwareEvents::DeviceAppeared(const std::string& node)
{
    ForEachDriver([&](IDisplayEvents& events) { return events.DeviceAppeared(BString(std::string_view(node)).get()); });
}

void HardwareEvents::Resumed()
{
    LogInformation("The machine woke up: the displays' modules are initialised again");
    ForEachDriver([](IDisplayEvents& events) { return events.Resumed(); });
}

} // namespace pixtera
