// SPDX-License-Identifier: MIT
#pragma once
// pixtera-mqtt's work: the chosen values to the broker when they change (retained, at most once a
// second each), Home Assistant's discovery of every value, display and the message (again
// whenever Home Assistant says it is online), and the commands that come back (a display's
// backlight and brightness, the message, notifications for a display, a group of them or all, the
// design a display shows, the lines of its message board).
// At start it clears the discovery configs of earlier runs that it no longer announces (those the
// broker was away for, after it comes back). One thread does the bus calls and the publishing;
// the broker's and the bus's threads only hand it work.

#include "bridge_options.h"
#include "broker_link.h"
#include "command_queue.h"
#include "discovery.h"
#include "earlier_configs.h"
#include "ignored_commands.h"
#include "key_events.h"
#include "layout_pace.h"
#include "menu_event_entity.h"
#include "message_board.h"
#include "notification_board.h"
#include "publish_throttle.h"
#include "screen_names.h"
#include "service_link.h"

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace pixtera::bridge {

// What tests choose: the broker, and how long the configs of earlier runs are waited for.
struct BridgeSeams {
    BrokerFactory broker = ConnectBroker;
    std::chrono::milliseconds earlierWait = EarlierConfigs::kLongestWait;
};

// Notifications that wait for the serving thread, and the longest one taken.
inline constexpr std::size_t kMostNotificationsWaiting = 64;
// A display's traffic sensors change on the broker at most this often.
inline constexpr std::chrono::seconds kTrafficPeriod{5};

class Bridge {
public:
    explicit Bridge(BridgeOptions options, BridgeSeams seams = {});
    ~Bridge();

    // Until Stop(); says "offline" on the way out.
    void Run();
    void Stop();

private:
    // Carries out `commands`, taking each from it; those left when the service went away stay.
    void Serve(bool announce, bool values, bool power, std::deque<mqtt::Message>& commands);
    void Recall(const mqtt::Message& message);
    // On the broker's thread: a message for the serving thread, or Home Assistant's status.
    void Hear(const mqtt::Message& message);
    bool IsNotifyTopic(std::string_view topic) const;
    // The displays (from 1) a notification's topic reaches; why none.
    std::vector<int> Addressed(const std::string& topic, std::string& why) const;
    void Deliver(std::deque<mqtt::Message> notifications);
    void ShowNotifications();
    void PublishDisplayStates(bool force);
    void Announce();
    void ClearEarlier(const std::map<std::string, std::string>& configs, const std::vector<std::string>& items,
                      int displays);
    void ClearUncleared(const std::map<std::string, std::string>& configs);
    std::set<std::string> LiveConfigTopics(const std::map<std::string, std::string>& configs) const;
    // Clears those of `topics` not `live`; those the broker did not take are kept for the next
    // announcement. How many were cleared.
    std::size_t Clear(const std::vector<std::string>& topics, const std::set<std::string>& live,
                      std::vector<std::string>& untaken);
    void PublishValues();
    void PublishDue();
    void PublishPower();
    // On the signal thread: a key pressed on display n (from 1).
    void HearKey(int display, const std::string& key);
    // The keys' events for the displays announced with keys.
    void PublishKeys(const std::vector<KeyEvent>& events);
    // A menu's event, taken with the keys (menu_event_entity.cpp's entity, bridge_menu_events.cpp).
    void PublishMenuEvent(const KeyEvent& event);
    // On the signal thread: display n's (from 1) traffic changed.
    void HearTraffic(int display);
    // The traffic sensors of the displays whose traffic changed (of all, after an announcement),
    // each at most once every kTrafficPeriod.
    void PublishTraffic(bool announce);
    // On the signal thread: display n's (from 1) link was lost or is back.
    void HearLink(int display);
    // Each display's availability (offline while its link is lost) and its link sensor: of the
    // displays whose link changed, of all after an announcement.
    void PublishLinks(bool announce);
    // Display n's entities beyond its light, notifications and descriptions (its keys).
    void AddDisplayEntities(int display, std::map<std::string, std::string>& configs);
    void Handle(const mqtt::Message& command);
    void Ignore(const mqtt::Message& command, const std::string& why);
    std::vector<std::string> Published(bool announceNew);
    // Each display's select of its queue's designs (bridge_screens.cpp).
    void AnnounceScreens(std::map<std::string, std::string>& configs, int displays);
    void PublishScreens(bool force);
    void ChooseScreen(int display, const mqtt::Message& command);
    // Each display's message board, a text entity per line (bridge_board.cpp).
    void AnnounceLines(std::map<std::string, std::string>& configs, const std::map<int, ServiceLink::Facts>& facts);
    void SetLine(int display, std::string_view row, const mqtt::Message& command);
    // What shows over display `display` now: its notification, else its board while it has
    // text (changed at most once a second); none for its own queue.
    // Each display's LEDs, an entity each (bridge_leds.cpp).
    void AnnounceLeds(int display, std::map<std::string, std::string>& configs);
    void PublishLeds(bool force);
    void SetLed(int display, std::string_view led, const mqtt::Message& command);
    // pixtera/<machine>/layout: every display's queue (bridge_layout.cpp).
    void ApplyLayout(const mqtt::Message& command);
    std::optional<std::string> OverlayFrame(int display, const std::optional<std::string>& notification,
                                            NotificationBoard::Clock::time_point now);

    const BridgeOptions options_;
    const Topics topics_;

    std::mutex mutex_; // guards the fourteen below
    std::condition_variable woken_;
    bool stopping_ = false;
    bool announce_ = false;
    bool connectedAgain_ = false; // a broker connection the marker has not gone out on
    bool valuesChanged_ = true;
    bool powerChanged_ = true;
    bool screenChanged_ = false; // a display's shown design (or its queue)
    CommandQueue commands_;
    std::deque<mqtt::Message> notifications_; // at most kMostNotificationsWaiting, oldest first
    bool notificationsDropped_ = false; // said, until the serving thread takes them
    EarlierConfigs earlier_; // its marker() alone is constant
    KeyEvents keys_;
    bool keysDropped_ = false; // said, until no key waits
    std::set<int> trafficChanged_; // displays from 1
    std::set<int> linkChanged_; // displays from 1

    // The serving thread's alone:
    PublishThrottle throttle_;
    std::vector<std::string> known_; // every item the service has, as last asked
    std::set<std::string> announced_; // items whose discovery was sent on this broker connection
    std::map<int, bool> backlights_; // as last published, displays from 1
    std::map<std::string, bool> missing_; // items asked for that the service lacks yet, said once
    IgnoredCommands ignored_; // how many were said lately
    bool serviceAway_ = false; // said once
    int displays_ = -1; // as the service last said; -1 before it said
    std::map<int, ServiceLink::Facts> facts_; // displays from 1
    std::map<int, bool> blanked_;
    std::map<int, bool> running_;
    std::set<int> keyed_; // displays announced with keys
    MenuEventNames menuNames_; // each display's menu events heard
    std::set<int> menuNamesFull_; // displays whose menu had more names than an entity lists, said
    PublishThrottle traffic_{kTrafficPeriod}; // the traffic sensors' states, by topic
    std::map<int, DisplayLink> links_; // as last published, displays from 1
    std::map<int, NotificationBoard> boards_;
    // The frame of a notification written on display n, which the bridge borrowed; empty when it
    // is to be written again (the service was away meanwhile).
    std::map<int, std::string> onDisplay_;
    std::map<std::string, std::string> displayStates_; // topic, payload as last published
    std::optional<PublishThrottle::Clock::time_point> notificationDue_;
    bool earlierCleared_ = false;
    // Stale configs, and those where earlier versions put them, that the broker was away for:
    // cleared after the next connection.
    std::vector<std::string> unclearedStale_;
    std::vector<std::string> unclearedFormer_;
    std::map<int, std::vector<std::string>> screens_; // each display's select options as announced
    std::map<int, std::string> screenStates_; // each display's shown design as last published
    bool screensDue_ = false; // a change heard that PublishScreens has not read yet
    std::map<int, MessageBoard> messageBoards_;
    std::map<int, NotificationBoard::Clock::time_point> boardWritten_; // a board's last change shown
    LayoutPace layoutPace_; // the last rewrite of the queues, and the layout waiting its turn
    std::map<int, std::vector<DisplayLed>> leds_; // each display's LEDs as announced, displays from 1
    std::map<std::string, std::string> ledStates_; // topic, payload as last published

    std::unique_ptr<ServiceLink> service_;
    std::unique_ptr<BrokerLink> broker_; // last: it ends first, its thread hands work to the above
};

} // namespace pixtera::bridge
