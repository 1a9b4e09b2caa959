// SPDX-License-Identifier: MIT
#include "bridge.h"

#include "command_batch.h"
#include "message_text.h"

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
      topics_(options_.machine),
      earlier_(topics_.Marker(), NewMarker(), seams.earlierWait)
{
    auto wake = [this](bool& flag) {
        {
            std::lock_guard lock(mutex_);
            flag = true;
        }
        woken_.notify_one();
    };
    service_ =
        std::make_unique<ServiceLink>([this, wake] { wake(valuesChanged_); }, [this, wake] { wake(powerChanged_); });
    mqtt::ConnectionHandlers handlers{
        [this] {
            {
                std::lock_guard lock(mutex_);
                announce_ = connectedAgain_ = true;
            }
            woken_.notify_one();
        },
        {},
        [this](const mqtt::Message& message) {
            if (message.topic == topics_.Marker() || topics_.IsConfigTopic(message.topic))
                return Recall(message);
            std::optional<std::string> dropped;
            {
                std::lock_guard lock(mutex_);
                dropped = commands_.Push(message);
            }
            woken_.notify_one();
            if (dropped)
                LogWarning("pixtera-mqtt: " + *dropped);
        },
    };
    broker_ = seams.broker(options_.broker, std::move(handlers));
    broker_->Subscribe(topics_.ConfigPattern());
    broker_->Subscribe(topics_.Marker());
    broker_->Subscribe(topics_.CommandPattern("backlight"));
    broker_->Subscribe(topics_.CommandPattern("brightness"));
    broker_->Subscribe(topics_.Message() + "/set");
}

Bridge::~Bridge() = default;

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
        const auto ready = [this] {
            if (stopping_)
                return true;
            if (!earlier_.Complete(PublishThrottle::Clock::now()))
                return connectedAgain_;
            return announce_ || valuesChanged_ || powerChanged_ || !commands_.empty();
        };
        std::optional<PublishThrottle::Clock::time_point> until = earlier_.Deadline();
        if (earlier_.Complete(PublishThrottle::Clock::now())) {
            const auto due = throttle_.NextDue();
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
        auto commands = commands_.Take();
        lock.unlock();
        retry.reset();
        try {
            Serve(announce, values, power, commands);
            if (std::exchange(serviceAway_, false))
                LogInformation("pixtera-mqtt: the service answers again");
        } catch (const sdbus::Error& error) {
            if (!std::exchange(serviceAway_, true))
                LogWarning("pixtera-mqtt: the service does not answer (" + error.getMessage() + "); trying again");
            std::optional<std::string> dropped;
            {
                std::lock_guard relock(mutex_);
                announce_ |= announce;
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
    CarryOut(
        commands, [this](const mqtt::Message& command) { Handle(command); },
        [this](const mqtt::Message& command, const std::string& why) { Ignore(command, why); });
    if (values || announce)
        PublishValues();
    PublishDue();
    if (power || announce)
        PublishPower();
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
    for (int n = 0; n < displays; ++n)
        if (const int caps = service_->PowerCaps(n); caps & kSwitchesBacklight)
            configs[topics_.LightConfigTopic(n + 1)] = topics_.LightConfig(n + 1, caps & kDims);
    configs[topics_.TextConfigTopic()] = topics_.TextConfig();
    if (!std::exchange(earlierCleared_, true))
        ClearEarlier(configs, items, displays);
    else
        ClearUncleared(configs);
    for (const auto& [topic, config] : configs)
        broker_->Publish(topic, config, true);
    announced_ = std::set<std::string>(items.begin(), items.end());
    broker_->Publish(topics_.Status(), "online", true);
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
    {
        std::lock_guard lock(mutex_);
        stale = earlier_.TakeStale(live);
    }
    broker_->Unsubscribe(topics_.ConfigPattern());
    broker_->Unsubscribe(topics_.Marker());
    std::set<std::string> former{topics_.FormerTextConfigTopic()};
    for (const auto& item : everything ? items : options_.publish)
        former.insert(topics_.FormerSensorConfigTopic(item));
    for (int n = 0; n < displays; ++n)
        former.insert(topics_.FormerLightConfigTopic(n + 1));
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
    const std::string prefix = "pixtera/" + topics_.machine() + "/display/";
    const std::string_view rest = std::string_view(command.topic).substr(prefix.size());
    const auto slash = rest.find('/');
    const auto number = WholeNumber(rest.substr(0, slash), 1, service_->DisplayCount());
    if (!number)
        return Ignore(command, "there is no such display");
    const std::string_view what = rest.substr(slash + 1);
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
