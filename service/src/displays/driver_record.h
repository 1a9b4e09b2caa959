// SPDX-License-Identifier: MIT
#pragma once
// One created driver (plug-in object) and the thread that hosts it.

#include "plugin_fault.h"
#include <pixtera/platform/com.h>

#include <pixtera/platform/event.h>

#include <memory>
#include <string>

namespace pixtera {

// The capability switches of a driver entry in pixtera2.xml; only display and data are acted on.
struct Capabilities {
    bool action = false;
    bool input = false;
    bool output = false;
    bool event = false;
    bool display = false;
    bool data = false;
};

struct DriverRecord {
    std::u16string className; // the ProgID that was resolved ("DispatchWrapper.core" when wrapped)
    std::u16string configuration;
    bool isolated = false;
    ComPtr<IUnknown> object; // written by the host thread before `created` is set, then read-only
    // Shared by everything that calls the object: the display, the data provider and the bus.
    std::shared_ptr<PluginFault> fault;

    Event created;
    Event stop; // set when the driver manager ends
    Event failed;
    Event stopped;

    Capabilities capabilities; // written by the loader only, right after creation

    // Why the object was not created: written by the host thread before `failed` is set.
    HRESULT failure = S_OK;
    bool threw = false;
};

} // namespace pixtera
