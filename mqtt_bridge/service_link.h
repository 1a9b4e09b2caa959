// SPDX-License-Identifier: MIT
#pragma once
// pixtera-mqtt's side of the session bus: the service's values and displays, read on the calling
// thread, and its signals (ValuesChanged, a display's PropertiesChanged) heard on a connection
// of their own, which only wakes the caller; they are read under a bus::HandlerGuard, as any
// program may send one. A failed call throws sdbus::Error (ServiceAway tells an outage from a
// refusal); the service is
// started by the bus when it is registered for that.

#include "layout.h"
#include "led_entities.h"

#include <pixtera/bus/handler_guard.h>
#include <pixtera/mqtt/payload_values.h>

#include <sdbus-c++/sdbus-c++.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::bridge {

// A display's power capabilities, or-ed in the property Caps of org.pixtera.IDisplayPower.
inline constexpr int kSwitchesBacklight = 1;
inline constexpr int kDims = 2;

// A failed call is an outage when the service is away (not on the bus, no answer, our own
// connection broken); any other error is the service's (or the bus's) answer to that one call: a
// refusal, which says nothing about the next call.
bool ServiceAway(const sdbus::Error& error);
// What a refusal says, for the log: the service's sentence, else the error's name and message.
std::string RefusalReason(const sdbus::Error& error);

// What the displays' own signals are handed to, on the signal thread: a key pressed on display n
// (from 0; its name as KeyName writes it), and display n's Throughput changed.
struct DisplaySignals {
    std::function<void(int display, const std::string& key)> keyPressed;
    // A menu entry of display n published an event (its name checked: IsMenuEventName).
    std::function<void(int display, const std::string& name)> menuEvent;
    std::function<void(int display)> trafficChanged;
    // The design a display shows changed (its queue may have changed too).
    std::function<void()> screenChanged;
    // Display n's link to its module was lost or is back.
    std::function<void(int display)> linkChanged;
};

// Whether a display's module is reachable, as the service last polled it.
struct DisplayLink {
    bool linked = true;
    std::int64_t outageSince = 0; // epoch seconds; 0 while linked or when it never was
    bool operator==(const DisplayLink&) const = default;
};

// A display's traffic a second, as the service last announced it.
struct DisplayThroughput {
    int frames = 0;
    int bytes = 0;
    std::int64_t microseconds = 0; // the last frame's on its link
};

class ServiceLink {
public:
    // Called from the signal thread after values changed, and after a display's power changed.
    ServiceLink(std::function<void()> valuesChanged, std::function<void()> powerChanged, DisplaySignals displays = {});
    ~ServiceLink();

    int ItemCount();
    std::vector<std::string> ItemNames();
    // In the order asked; none for an unknown item.
    std::vector<std::optional<mqtt::Value>> Values(const std::vector<std::string>& names);

    int DisplayCount();
    bool Backlight(int display); // displays from 0, as the bus numbers them
    int PowerCaps(int display); // kSwitchesBacklight, kDims
    void SetBacklight(int display, bool on);
    void SetBrightness(int display, int percent);
    // Into the Pixtera.BusData item "message".
    void SetMessage(const std::string& text);

    // What a display is, for its diagnostic sensors and notifications.
    struct Facts {
        int columns = 0;
        int rows = 0;
        std::string driver; // the plug-in's name; empty when its driver does not say
    };
    Facts DisplayFacts(int display);
    // None from a service that does not say.
    std::optional<DisplayThroughput> Throughput(int display);
    // None from a service that does not say.
    std::optional<DisplayLink> Link(int display);
    // The display's driver has keys: its object has org.pixtera.IDisplayInput.
    bool HasKeys(int display);
    bool Blanked(int display);
    // A display's LEDs (service_link_leds.cpp), at most kMostLeds; none when its driver has none.
    static constexpr std::size_t kMostLeds = 16;
    std::vector<DisplayLed> Leds(int display);
    void SetLed(int display, int led, const std::string& state); // LEDs from 0, as the bus numbers them
    bool Running(int display);
    // A notification over what the display shows: its output borrowed, `frame` (UTF-8, columns ×
    // rows) written on it; given back, it shows its own again. The lease ends with this
    // connection too.
    void ShowOver(int display, const std::string& frame);
    void GiveBack(int display);

    // The design files of a display's queue, at most `most`; the entry it shows now (-1: none).
    std::vector<std::string> QueueFiles(int display, std::size_t most);
    int ShownQueueItem(int display);
    // Shows entry `index` at once for `holdSeconds`, then the queue goes on after it.
    void ShowQueueItem(int display, int index, unsigned holdSeconds);
    // A display's queue, at most `most` entries; and the queue replaced by `entries` (the
    // output stopped for the edit and started again if it ran).
    std::vector<QueueEntry> Queue(int display, std::size_t most);
    void ReplaceQueue(int display, const std::vector<QueueEntry>& entries);

private:
    std::unique_ptr<sdbus::IProxy> Display(int display);
    void WatchServiceOwner();
    void WatchDisplays(DisplaySignals displays);
    // A display's signal is the service's only when its sender owns the service's name now; said
    // once per sender otherwise.
    bool FromService(const sdbus::Message& message, std::string_view what) const;

    bus::HandlerGuard guard_{"pixtera-mqtt"};
    std::unique_ptr<sdbus::IConnection> calls_;
    std::unique_ptr<sdbus::IConnection> signals_;
    std::unique_ptr<sdbus::IProxy> data_;
    std::unique_ptr<sdbus::IProxy> watchedData_;
    mutable std::mutex ownerMutex_; // guards serviceOwner_
    std::string serviceOwner_; // the unique name owning the service's name; empty while none does
};

} // namespace pixtera::bridge
