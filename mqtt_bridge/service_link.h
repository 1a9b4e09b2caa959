// SPDX-License-Identifier: MIT
#pragma once
// pixtera-mqtt's side of the session bus: the service's values and displays, read on the calling
// thread, and its signals (ValuesChanged, a display's PropertiesChanged) heard on a connection
// of their own, which only wakes the caller; they are read under a bus::HandlerGuard, as any
// program may send one. A call to a service that is not there throws sdbus::Error; the service is
// started by the bus when it is registered for that.

#include <pixtera/bus/handler_guard.h>
#include <pixtera/mqtt/payload_values.h>

#include <sdbus-c++/sdbus-c++.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::bridge {

class ServiceLink {
public:
    // Called from the signal thread after values changed, and after a display's power changed.
    ServiceLink(std::function<void()> valuesChanged, std::function<void()> powerChanged);
    ~ServiceLink();

    int ItemCount();
    std::vector<std::string> ItemNames();
    // In the order asked; none for an unknown item.
    std::vector<std::optional<mqtt::Value>> Values(const std::vector<std::string>& names);

    int DisplayCount();
    bool Backlight(int display); // displays from 0, as the bus numbers them
    int PowerCaps(int display);
    void SetBacklight(int display, bool on);
    void SetBrightness(int display, int percent);
    // Into the Pixtera.BusData item "message".
    void SetMessage(const std::string& text);

private:
    std::unique_ptr<sdbus::IProxy> Display(int display);

    bus::HandlerGuard guard_{"pixtera-mqtt"};
    std::unique_ptr<sdbus::IConnection> calls_;
    std::unique_ptr<sdbus::IConnection> signals_;
    std::unique_ptr<sdbus::IProxy> data_;
    std::unique_ptr<sdbus::IProxy> watchedData_;
};

} // namespace pixtera::bridge
