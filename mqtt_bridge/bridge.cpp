// SPDX-License-Identifier: MIT
#include "bridge.h"

#include "command_batch.h"
#include "machine_key.h"
#include "message_text.h"
#include "notification.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>
#include <charconv>

namespace pixtera::bridge {
namespace {

// The service may be restarting: its calls are tried again this much later.
constexpr std::chrono::seconds kServiceRetry{5};

std::string ValueText(const mqtt::Value& value)
{
    if (const double* number = std::get_if<double>(&value))
        return mqtt::NumberText(*number);
    return std::get<std::string>(value);
}

std::optional<int> WholeNumber(std::string_view text, int low, int high)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || number < low || number > high)
        return std::nullopt;
    return number;
}

std::string Upper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return upper;
}

} // namespace

Bridge::Bridge(BridgeOptions options, BridgeSeams seams)
    : options_(std::move(options)),
      topics_(options_.machine, options_.key.empty() ? MachineKey(options_.machine) : options_.key),
      earlier_(topics_.Marker(), NewMarker(), seams.earlierWait)
{
    auto wake = [this](bool& flag) {
        {
            std::lock_guard lock(mutex_);
            flag = true;
        }
        woken_.notify_one();
    };
    DisplaySignals heard;
    heard.keyPressed = [this](int display, const std::string& key) { HearKey(display + 1, key); };
    heard.menuEvent = [this](int display, const std::string& name) {
        HearKey(display + 1, std::string(kMenuEventPrefix) + name);
    };
    heard.trafficChanged = [this](int display) { HearTraffic(display + 1); };
    heard.screenChanged = [this, wake] { wake(screenChanged_); };
    heard.linkChanged = [this](int display) { HearLink(display + 1); };
    service_ = std::make_unique<ServiceLink>([this, wake] { wake(valuesChanged_); },
                                             [this, wake] { wake(powerChanged_); }, std::move(heard));
    mqtt::ConnectionHandlers handlers{
        [this] {
            {
                std::lock_guard lock(mutex_);
                announce_ = connectedAgain_ = true;
            }
            woken_.notify_one();
        },
        {},
        [this](const mqtt::Message& message) { Hear(message); },
    };
    broker_ = seams.broker(options_.broker, std::move(handlers));
    broker_->Subscribe(topics_.ConfigPattern());
    broker_->Subscribe(topics_.FormerNodePattern());
    broker_->Subscribe(topics_.Marker());
    broker_->Subscribe(Topics::HomeAssistantStatus());
    broker_->Subscribe(topics_.NotifyPattern());
    broker_->Subscribe(Topics::AllNotify());
    for (const auto& [group, displays] : options_.groups)
        broker_->Subscribe(Topics::GroupNotify(group));
    broker_->Subscribe(topics_.CommandPattern("backlight"));
    broker_->Subscribe(topics_.CommandPattern("brightness"));
    broker_->Subscribe(topics_.CommandPattern("screen"));
    broker_->Subscribe(topics_.CommandPattern("line/+"));
    broker_->Subscribe(topics_.CommandPattern("led/+"));
    if (options_.layout)
        broker_->Subscribe(topics_.Layout());
    broker_->Subscribe(topics_.Message() + "/set");
}

Bridge::~Bridge() = default;

void Bridge::Hear(const mqtt::Message& message)
{
    if (message.topic == topics_.Marker() || topics_.IsConfigTopic(message.topic))
        return Recall(message);
    std::optional<std::string> dropped;
    if (message.topic == Topics::HomeAssistantStatus()) {
        if (message.payload != "online")
            return;
        std::lock_guard lock(mutex_);
        announce_ = true; // Home Assistant (re)started: it knows nothing that was not retained
    } else if (IsNotifyTopic(message.topic)) {
        std::lock_guard lock(mutex_);
        notifications_.push_back(message);
        if (notifications_.size() > kMostNotificationsWaiting) {
            notifications_.pop_front();
            if (!std::exchange(notificationsDropped_, true))
                dropped = "notifications come faster than they are taken; the oldest are left out";
        }
    } else {
        std::lock_guard lock(mutex_);
        dropped =
            commands_.Push(message, message.topic == topics_.Layout() ? kLongestLayout : CommandQueue::kLongestCommand);
    }
    woken_.notify_one();
    if (dropped)
        LogWarning("pixtera-mqtt: " + *dropped);
}

bool Bridge::IsNotifyTopic(std::string_view topic) const
{
    if (topic == Topics::AllNotify())
        return true;
    constexpr std::string_view kGroup = "pixtera/group/";
    if (topic.starts_with(kGroup) && topic.ends_with("/notify")) {
        const std::string_view group = topic.substr(kGroup.size(), topic.size() - kGroup.size() - 7);
        return options_.groups.contains(std::string(group));
    }
    const std::string prefix = "pixtera/" + topics_.machine() + "/display/";
    return topic.starts_with(prefix) && topic.ends_with("/notify");
}
void Bridge::Recall(const mqtt::Message& message)
{
    std::optional<std::string> full;
    {
        std::lock_guard lock(mutex_);
        full = earlier_.Heard(message);
    }
    woken_.notify_one();
    if (full)
        LogWarning("pixtera-mqtt: " + *full);
}

void Bridge::Stop()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    woken_.notify_one();
}

void Bridge::Run()
{
    std::optional<PublishThrottle::Clock::time_point> retry;
    while (true) {
        std::unique_lock lock(mutex_);
        // Nothing is announced before the configs of earlier runs are known: the first
        // announcement clears those that are stale.
        // A key that came meanwhile ends the wait too: the deadline is made again with it.
        const auto ready = [this, keysDueBefore = keys_.NextDue()] {
            if (stopping_)
                return true;
            if (!earlier_.Complete(PublishThrottle::Clock::now()))
                return connectedAgain_;
            const auto keysDue = keys_.NextDue();
            return announce_ || valuesChanged_ || powerChanged_ || screenChanged_ || !commands_.empty() ||
                   !notifications_.empty() || !trafficChanged_.empty() || !linkChanged_.empty() ||
                   keysDue != keysDueBefore || (keysDue && *keysDue <= PublishThrottle::Clock::now());
        };
        std::optional<PublishThrottle::Clock::time_point> until = earlier_.Deadline();
        if (earlier_.Complete(PublishThrottle::Clock::now())) {
            auto due = throttle_.NextDue();
            if (notificationDue_ && (!due || *notificationDue_ < *due))
                due = notificationDue_;
            for (const auto& also : {keys_.NextDue(), traffic_.NextDue(), layoutPace_.NextDue()})
                if (also && (!due || *also < *due))
                    due = also;
            until = retry && (!due || *retry < *due) ? retry : due;
        }
        if (until)
            woken_.wait_until(lock, *until, ready);
        else
            woken_.wait(lock, ready);
        if (stopping_)
            break;
        if (!earlier_.Complete(PublishThrottle::Clock::now())) {
            // A new connection subscribed again: the marker goes after those subscriptions.
            connectedAgain_ = false;
            lock.unlock();
            const bool sent = broker_->Publish(topics_.Marker(), earlier_.marker(), false);
            lock.lock();
            if (sent)
                earlier_.Asked(PublishThrottle::Clock::now());
            continue;
        }
        const bool announce = std::exchange(announce_, false);
        const bool values = std::exchange(valuesChanged_, false);
        const bool power = std::exchange(powerChanged_, false);
        screensDue_ = std::exchange(screenChanged_, false) || screensDue_;
        auto commands = commands_.Take();
        auto notifications = std::exchange(notifications_, {});
        notificationsDropped_ = false;
        const auto keyEvents = keys_.Take(PublishThrottle::Clock::now());
        if (keys_.empty())
            keysDropped_ = false;
        lock.unlock();
        retry.reset();
        PublishKeys(keyEvents);
        // Into the displays' boards before any call: an outage loses none of them.
        Deliver(std::move(notifications));
        try {
            Serve(announce, values, power, commands);
            if (std::exchange(serviceAway_, false))
                LogInformation("pixtera-mqtt: the service answers again");
        } catch (const sdbus::Error& error) {
            if (!std::exchange(serviceAway_, true)) {
                LogWarning("pixtera-mqtt: the service does not answer (" + error.getMessage() + "); trying again");
                for (int n = 1; n <= displays_; ++n) // its displays with it, until it answers
                    broker_->Publish(topics_.DisplayAvailability(n), "offline", true);
            }
            for (auto& [display, frame] : onDisplay_)
                frame.clear(); // a service back from a restart lent nothing: written again
            std::optional<std::string> dropped;
            {
                std::lock_guard relock(mutex_);
                announce_ = true; // the displays may have changed meanwhile
                valuesChanged_ = powerChanged_ = true;
                dropped = commands_.Return(std::move(commands)); // carried out when it answers
                retry = PublishThrottle::Clock::now() + kServiceRetry;
            }
            if (dropped)
                LogWarning("pixtera-mqtt: " + *dropped);
        }
    }
    if (broker_->Publish(topics_.Status(), "offline", true))
        LogInformation("pixtera-mqtt: offline");
}

void Bridge::Serve(bool announce, bool values, bool power, std::deque<mqtt::Message>& commands)
{
    if (announce)
        Announce();
    PublishLinks(announce);
    // A layout whose turn came goes first, unless a newer one came meanwhile.
    if (auto due = layoutPace_.TakeDue(LayoutPace::Clock::now());
        due && std::none_of(commands.begin(), commands.end(),
                            [&](const mqtt::Message& command) { return command.topic == due->topic; }))
        commands.push_front(std::move(*due));
    CarryOut(
        commands, [this](const mqtt::Message& command) { Handle(command); },
        [this](const mqtt::Message& command, const std::string& why) { Ignore(command, why); });
    if (values || announce)
        PublishValues();
    PublishDue();
    if (power || announce)
        PublishPower();
    if (power || announce)
        PublishLeds(announce);
    ShowNotifications();
    PublishDisplayStates(power || announce);
    PublishScreens(announce);
    PublishTraffic(announce);
}

// The items to publish that the service has now: with publish=* every one; items that appear
// later (a new topic of Pixtera.MqttData) are announced as they come.
std::vector<std::string> Bridge::Published(bool announceNew)
{
    if (static_cast<std::size_t>(service_->ItemCount()) != known_.size())
        known_ = service_->ItemNames();
    const bool everything = options_.publish.size() == 1 && options_.publish.front() == "*";
    std::vector<std::string> published;
    for (const auto& name : everything ? known_ : options_.publish) {
        if (std::find(known_.begin(), known_.end(), name) == known_.end()) {
            if (!std::exchange(missing_[name], true))
                LogInformation("pixtera-mqtt: the service has no item \"" + name +
                               "\" yet; it is published when it comes");
            continue;
        }
        if (announceNew && announced_.insert(name).second)
            broker_->Publish(topics_.SensorConfigTopic(name), topics_.SensorConfig(name), true);
        published.push_back(name);
    }
    return published;
}

// After every broker connection: what Home Assistant needs to know, and every value again.
void Bridge::Announce()
{
    throttle_.Forget();
    backlights_.clear();
    // All from the service first: while it does not answer, the broker stays as it was.
    const auto items = Published(false);
    std::map<std::string, std::string> configs; // topic, config
    for (const auto& item : items)
        configs[topics_.SensorConfigTopic(item)] = topics_.SensorConfig(item);
    // A light only where there is a backlight to switch: Home Assistant's light is its switch.
    const int displays = service_->DisplayCount();
    std::map<int, ServiceLink::Facts> facts;
    for (int n = 0; n < displays; ++n) {
        if (const int caps = service_->PowerCaps(n); caps & kSwitchesBacklight)
            configs[topics_.LightConfigTopic(n + 1)] = topics_.LightConfig(n + 1, caps & kDims);
        configs[topics_.NotifyConfigTopic(n + 1)] = topics_.NotifyConfig(n + 1);
        for (const Diagnostic what : kDiagnostics)
            configs[topics_.DiagnosticConfigTopic(n + 1, what)] = topics_.DiagnosticConfig(n + 1, what);
        configs[topics_.LinkConfigTopic(n + 1)] = topics_.LinkConfig(n + 1);
        AddDisplayEntities(n + 1, configs);
        facts[n + 1] = service_->DisplayFacts(n);
    }
    AnnounceScreens(configs, displays);
    AnnounceLines(configs, facts);
    configs[topics_.TextConfigTopic()] = topics_.TextConfig();
    if (!std::exchange(earlierCleared_, true))
        ClearEarlier(configs, items, displays);
    else
        ClearUncleared(configs);
    for (const auto& [topic, config] : configs)
        broker_->Publish(topic, config, true);
    announced_ = std::set<std::string>(items.begin(), items.end());
    // A display gone since the last announcement is unavailable (its configs are gone at the
    // next start); every other is there.
    for (int n = displays + 1; n <= displays_; ++n) {
        broker_->Publish(topics_.DisplayAvailability(n), "offline", true);
        boards_.erase(n);
        keyed_.erase(n);
        onDisplay_.erase(n);
    }
    displays_ = displays;
    facts_ = std::move(facts);
    displayStates_.clear();
    links_.clear(); // every display's availability follows, as its link has it (PublishLinks)
    broker_->Publish(topics_.Status(), "online", true);
}

void Bridge::AddDisplayEntities(int display, std::map<std::string, std::string>& configs)
{
    for (const Traffic what : kTraffic)
        configs[topics_.TrafficConfigTopic(display, what)] = topics_.TrafficConfig(display, what);
    AnnounceLeds(display, configs);
    if (service_->HasKeys(display - 1)) {
        configs[topics_.EventConfigTopic(display)] = topics_.EventConfig(display);
        if (const auto& names = menuNames_.Of(display); !names.empty())
            configs[MenuEventConfigTopic(topics_, display)] = MenuEventConfig(topics_, display, names);
        keyed_.insert(display);
    } else {
        keyed_.erase(display);
    }
}

void Bridge::HearTraffic(int display)
{
    if (display > kMostDisplays)
        return;
    {
        std::lock_guard lock(mutex_);
        trafficChanged_.insert(display);
    }
    woken_.notify_one();
}

namespace {

std::string TrafficText(const DisplayThroughput& throughput, Traffic what)
{
    switch (what) {
    case Traffic::Frames: return std::to_string(throughput.frames);
    case Traffic::Bytes: return std::to_string(throughput.bytes);
    case Traffic::BusTime: break;
    }
    // Milliseconds to a tenth: finer would only be noise.
    return mqtt::NumberText(static_cast<double>((throughput.microseconds + 50) / 100) / 10.0);
}

} // namespace

void Bridge::PublishTraffic(bool announce)
{
    std::set<int> changed;
    {
        std::lock_guard lock(mutex_);
        changed.swap(trafficChanged_);
    }
    if (announce) {
        traffic_.Forget();
        for (int n = 1; n <= displays_; ++n)
            changed.insert(n);
    }
    const auto now = PublishThrottle::Clock::now();
    for (int display : changed) {
        if (display > displays_)
            continue;
        const auto throughput = service_->Throughput(display - 1);
        if (!throughput)
            continue; // a service that does not say leaves the sensors unknown
        for (const Traffic what : kTraffic) {
            const std::string topic = topics_.TrafficState(display, what);
            const std::string text = TrafficText(*throughput, what);
            if (traffic_.Offer(topic, text, now))
                broker_->Publish(topic, text, true);
        }
    }
    for (const auto& [topic, text] : traffic_.Due(now))
        broker_->Publish(topic, text, true);
}

void Bridge::HearLink(int display)
{
    if (display > kMostDisplays)
        return;
    {
        std::lock_guard lock(mutex_);
        linkChanged_.insert(display);
    }
    woken_.notify_one();
}

void Bridge::PublishLinks(bool announce)
{
    std::set<int> changed;
    {
        std::lock_guard lock(mutex_);
        changed.swap(linkChanged_);
    }
    if (announce)
        for (int n = 1; n <= displays_; ++n)
            changed.insert(n);
    for (int display : changed) {
        if (display > displays_)
            continue;
        // A service that does not say has its displays linked.
        const DisplayLink link = service_->Link(display - 1).value_or(DisplayLink{});
        const auto known = links_.find(display);
        if (!announce && known != links_.end() && known->second == link)
            continue;
        if (announce || known == links_.end() || known->second.linked != link.linked)
            broker_->Publish(topics_.DisplayAvailability(display), link.linked ? "online" : "offline", true);
        broker_->Publish(topics_.LinkState(display), link.linked ? "connected" : "outage", true);
        broker_->Publish(topics_.LinkAttributes(display), LinkAttributesPayload(link.outageSince), true);
        links_[display] = link;
    }
}

void Bridge::HearKey(int display, const std::string& key)
{
    if (display > kMostDisplays)
        return;
    bool dropped = false;
    {
        std::lock_guard lock(mutex_);
        dropped = !keys_.Push(display, key) && !std::exchange(keysDropped_, true);
    }
    woken_.notify_one();
    if (dropped)
        LogWarning("pixtera-mqtt: keys come faster than they are published (one event per display every " +
                   std::to_string(KeyEvents::kGap.count()) + " ms); those that differ from the last are left out");
}

void Bridge::PublishKeys(const std::vector<KeyEvent>& events)
{
    for (const KeyEvent& event : events) {
        if (!keyed_.count(event.display))
            continue;
        if (event.key.starts_with(kMenuEventPrefix))
            PublishMenuEvent(event);
        else
            broker_->Publish(topics_.Key(event.display), KeyEventPayload(event.key, event.presses), false);
    }
}

std::set<std::string> Bridge::LiveConfigTopics(const std::map<std::string, std::string>& configs) const
{
    std::set<std::string> live;
    for (const auto& [topic, config] : configs)
        live.insert(topic);
    const bool everything = options_.publish.size() == 1 && options_.publish.front() == "*";
    if (!everything) // an item named that the service lacks yet keeps its entity: it is announced when it comes
        for (const auto& name : options_.publish)
            live.insert(topics_.SensorConfigTopic(name));
    return live;
}

std::size_t Bridge::Clear(const std::vector<std::string>& topics, const std::set<std::string>& live,
                          std::vector<std::string>& untaken)
{
    std::size_t cleared = 0;
    for (const auto& topic : topics) {
        if (live.count(topic))
            continue;
        if (broker_->Publish(topic, "", true))
            ++cleared;
        else
            untaken.push_back(topic);
    }
    return cleared;
}

// Once, before the first announcement: the configs of earlier runs that nothing announces now
// (a display or an item since gone, a display that cannot switch its backlight), and those of
// versions that put them elsewhere, are cleared, so that Home Assistant drops their entities
// before the new configs come.
void Bridge::ClearEarlier(const std::map<std::string, std::string>& configs, const std::vector<std::string>& items,
                          int displays)
{
    const std::set<std::string> live = LiveConfigTopics(configs);
    const bool everything = options_.publish.size() == 1 && options_.publish.front() == "*";
    std::vector<std::string> stale;
    bool moved = false; // this machine's own node has configs: an earlier start moved them there
    {
        std::lock_guard lock(mutex_);
        moved = earlier_.AnyHeard([this](const std::string& topic) { return !topics_.IsFormerNodeConfigTopic(topic); });
        stale = earlier_.TakeStale(live);
    }
    broker_->Unsubscribe(topics_.ConfigPattern());
    broker_->Unsubscribe(topics_.FormerNodePattern());
    broker_->Unsubscribe(topics_.Marker());
    // Once moved, what is left on the node named after the host alone is another host's of a name
    // alike ("my.nas" and "my_nas" shared it).
    std::set<std::string> former;
    if (moved) {
        std::erase_if(stale, [&](const std::string& topic) { return topics_.IsFormerNodeConfigTopic(topic); });
    } else {
        former.insert(topics_.FormerTextConfigTopic());
        for (const auto& item : everything ? items : options_.publish)
            former.insert(topics_.FormerSensorConfigTopic(item));
        for (int n = 0; n < displays; ++n)
            former.insert(topics_.FormerLightConfigTopic(n + 1));
    }
    Clear(std::vector<std::string>(former.begin(), former.end()), {}, unclearedFormer_);
    if (const std::size_t cleared = Clear(stale, {}, unclearedStale_))
        LogInformation("pixtera-mqtt: cleared " + std::to_string(cleared) +
                       " discovery configs of displays and items it no longer has");
}

// The broker went away while the earlier configs were cleared: those it did not take are cleared
// on the next connection, unless they are announced again by now.
void Bridge::ClearUncleared(const std::map<std::string, std::string>& configs)
{
    if (unclearedStale_.empty() && unclearedFormer_.empty())
        return;
    const std::set<std::string> live = LiveConfigTopics(configs);
    std::vector<std::string> untaken;
    Clear(std::exchange(unclearedFormer_, {}), live, untaken);
    unclearedFormer_ = std::exchange(untaken, {});
    const std::size_t cleared = Clear(std::exchange(unclearedStale_, {}), live, untaken);
    unclearedStale_ = std::move(untaken);
    if (cleared)
        LogInformation("pixtera-mqtt: cleared " + std::to_string(cleared) +
                       " discovery configs of displays and items it no longer has");
}

void Bridge::PublishValues()
{
    const auto names = Published(true);
    const auto values = service_->Values(names);
    const auto now = PublishThrottle::Clock::now();
    for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
        if (!values[i])
            continue; // a value of no kind a broker carries
        const std::string text = ValueText(*values[i]);
        if (throttle_.Offer(names[i], text, now))
            broker_->Publish(topics_.Value(names[i]), text, true);
    }
}

void Bridge::PublishDue()
{
    for (const auto& [name, text] : throttle_.Due(PublishThrottle::Clock::now()))
        broker_->Publish(topics_.Value(name), text, true);
}

void Bridge::PublishPower()
{
    const int displays = service_->DisplayCount();
    const auto now = NotificationBoard::Clock::now();
    for (int n = 1; n <= displays; ++n) {
        blanked_[n] = service_->Blanked(n - 1);
        boards_[n].SetBlanked(blanked_[n], now);
        running_[n] = service_->Running(n - 1);
    }
    for (int n = 0; n < displays; ++n) {
        if (!(service_->PowerCaps(n) & kSwitchesBacklight))
            continue; // "on" forever, and no light to show it
        const bool on = service_->Backlight(n);
        const auto known = backlights_.find(n + 1);
        if (known != backlights_.end() && known->second == on)
            continue;
        if (broker_->Publish(topics_.Backlight(n + 1), on ? "ON" : "OFF", true))
            backlights_[n + 1] = on;
    }
}

std::vector<int> Bridge::Addressed(const std::string& topic, std::string& why) const
{
    std::vector<int> displays;
    const auto known = [this](int display) { return display >= 1 && (displays_ < 0 || display <= displays_); };
    if (topic == Topics::AllNotify()) {
        for (int n = 1; n <= displays_; ++n)
            displays.push_back(n);
        return displays;
    }
    constexpr std::string_view kGroup = "pixtera/group/";
    if (topic.starts_with(kGroup)) {
        const std::string group = topic.substr(kGroup.size(), topic.size() - kGroup.size() - 7);
        for (int n : options_.groups.at(group))
            if (known(n))
                displays.push_back(n);
        return displays;
    }
    const std::string prefix = "pixtera/" + topics_.machine() + "/display/";
    const std::string_view number = std::string_view(topic).substr(prefix.size(), topic.size() - prefix.size() - 7);
    if (const auto n = WholeNumber(number, 1, kMostDisplays); n && known(*n))
        displays.push_back(*n);
    else
        why = "there is no such display";
    return displays;
}

// pixtera/<machine>/display/<n>/notify, pixtera/group/<name>/notify, pixtera/all/notify: a
// notification for the displays' boards.
void Bridge::Deliver(std::deque<mqtt::Message> notifications)
{
    const auto now = NotificationBoard::Clock::now();
    for (const mqtt::Message& message : notifications) {
        if (message.retained) {
            Ignore(message, "a retained notification is not shown: it would come again at every start");
            continue;
        }
        if (message.payload.size() > CommandQueue::kLongestCommand) {
            Ignore(message, "a notification is at most " + std::to_string(CommandQueue::kLongestCommand) + " bytes");
            continue;
        }
        const ReadNotificationResult read = ReadNotification(message.payload);
        if (!read.refused.empty()) {
            Ignore(message, read.refused);
            continue;
        }
        std::string why;
        const std::vector<int> displays = Addressed(message.topic, why);
        if (!why.empty())
            Ignore(message, why);
        for (int display : displays)
            if (const auto full = boards_[display].Push(read.notification, now))
                LogWarning("pixtera-mqtt: display " + std::to_string(display) + ": " + *full);
    }
}

// Each display shows its board's notification over its own queue, and its own again after.
void Bridge::ShowNotifications()
{
    const auto now = NotificationBoard::Clock::now();
    notificationDue_.reset();
    for (auto& [display, board] : boards_) {
        if (display > displays_)
            continue;
        const std::optional<std::string> overlay = OverlayFrame(display, board.Current(now), now);
        const auto shown = onDisplay_.find(display);
        if (overlay) {
            const std::string& frame = *overlay;
            if (shown == onDisplay_.end() || shown->second != frame) {
                try {
                    service_->ShowOver(display - 1, frame);
                } catch (const sdbus::Error& error) {
                    if (ServiceAway(error))
                        throw;
                    LogWarning("pixtera-mqtt: display " + std::to_string(display) +
                               " does not show a notification: " + RefusalReason(error));
                }
                onDisplay_[display] = frame; // a refusal is not tried again for this one
            }
        } else if (shown != onDisplay_.end()) {
            try {
                service_->GiveBack(display - 1);
            } catch (const sdbus::Error& error) {
                if (ServiceAway(error))
                    throw;
                // A service started again since holds no lease of ours: nothing to give back.
            }
            onDisplay_.erase(shown);
        }
        if (const auto next = board.NextChange(); next && (!notificationDue_ || *next < *notificationDue_))
            notificationDue_ = next;
    }
}

void Bridge::PublishDisplayStates(bool force)
{
    for (int n = 1; n <= displays_; ++n) {
        const ServiceLink::Facts& facts = facts_[n];
        const std::string output = onDisplay_.count(n) ? "notification"
                                   : blanked_[n]       ? "blanked"
                                   : running_[n]       ? "queue"
                                                       : "stopped";
        const std::pair<Diagnostic, std::string> states[] = {
            {Diagnostic::Driver, facts.driver.empty() ? "unknown" : facts.driver},
            {Diagnostic::Size, std::to_string(facts.columns) + "x" + std::to_string(facts.rows)},
            {Diagnostic::Output, output}};
        for (const auto& [what, payload] : states) {
            const std::string topic = topics_.DiagnosticState(n, what);
            auto& published = displayStates_[topic];
            if (!force && published == payload)
                continue;
            if (broker_->Publish(topic, payload, true))
                published = payload;
        }
    }
}

void Bridge::Ignore(const mqtt::Message& command, const std::string& why)
{
    const auto line = ignored_.Say("pixtera-mqtt: ignored \"" + mqtt::Printable(command.payload, 40) + "\" on " +
                                       mqtt::Printable(command.topic) + ": " + why,
                                   IgnoredCommands::Clock::now());
    if (line)
        LogWarning(*line);
}

// pixtera/<machine>/display/<n>/backlight/set: ON or OFF; .../brightness/set: 0 to 100;
// pixtera/<machine>/message/set: a line of text. Nothing else is done for anyone.
void Bridge::Handle(const mqtt::Message& command)
{
    if (command.topic == topics_.Message() + "/set") {
        const MessageText message = ReadMessageText(command.payload);
        if (!message.refused.empty())
            return Ignore(command, message.refused);
        service_->SetMessage(message.text);
        broker_->Publish(topics_.Message(), message.text, true);
        return;
    }
    if (command.topic == topics_.Layout()) {
        if (auto layout = layoutPace_.Offer(command, LayoutPace::Clock::now()))
            ApplyLayout(*layout);
        return;
    }
    const std::string prefix = "pixtera/" + topics_.machine() + "/display/";
    const std::string_view rest = std::string_view(command.topic).substr(prefix.size());
    const auto slash = rest.find('/');
    const auto number = WholeNumber(rest.substr(0, slash), 1, service_->DisplayCount());
    if (!number)
        return Ignore(command, "there is no such display");
    const std::string_view what = rest.substr(slash + 1);
    if (what == "screen/set")
        return ChooseScreen(*number, command);
    if (what.starts_with("line/") && what.ends_with("/set"))
        return SetLine(*number, what.substr(5, what.size() - 9), command);
    if (what.starts_with("led/") && what.ends_with("/set"))
        return SetLed(*number, what.substr(4, what.size() - 8), command);
    if (what == "backlight/set") {
        const std::string wanted = Upper(command.payload);
        if (wanted != "ON" && wanted != "OFF")
            return Ignore(command, "ON or OFF was expected");
        service_->SetBacklight(*number - 1, wanted == "ON");
    } else if (const auto percent = WholeNumber(command.payload, 0, 100); percent) {
        service_->SetBrightness(*number - 1, *percent);
    } else {
        Ignore(command, "a brightness of 0 to 100 was expected");
    }
}

} // namespace pixtera::bridge
