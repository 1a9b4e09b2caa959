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

Bridge::Bridge(BridgeOptions options) : options_(std::move(options)), topics_(options_.machine)
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
        [this, wake] { wake(announce_); },
        {},
        [this](const mqtt::Message& message) {
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
    broker_ = std::make_unique<mqtt::Connection>(options_.broker, std::move(handlers));
    broker_->Subscribe(topics_.CommandPattern("backlight"));
    broker_->Subscribe(topics_.CommandPattern("brightness"));
    broker_->Subscribe(topics_.Message() + "/set");
}

Bridge::~Bridge() = default;

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
        const auto ready = [this] {
            return stopping_ || announce_ || valuesChanged_ || powerChanged_ || !commands_.empty();
        };
        const auto due = throttle_.NextDue();
        const auto until = retry && (!due || *retry < *due) ? retry : due;
        if (until)
            woken_.wait_until(lock, *until, ready);
        else
            woken_.wait(lock, ready);
        if (stopping_)
            break;
        const bool announce = std::exchange(announce_, false);
        const bool values = std::exchange(valuesChanged_, false);
        const bool power = std::exchange(powerChanged_, false);
        auto commands = commands_.Take();
        lock.unlock();
        retry.reset();
        try {
            Serve(announce, values, power, std::move(commands));
            if (std::exchange(serviceAway_, false))
                LogInformation("pixtera-mqtt: the service answers again");
        } catch (const sdbus::Error& error) {
            if (!std::exchange(serviceAway_, true))
                LogWarning("pixtera-mqtt: the service does not answer (" + error.getMessage() + "); trying again");
            std::lock_guard relock(mutex_);
            announce_ |= announce;
            valuesChanged_ = powerChanged_ = true;
            retry = PublishThrottle::Clock::now() + kServiceRetry;
        }
    }
    if (broker_->Publish(topics_.Status(), "offline", true))
        LogInformation("pixtera-mqtt: offline");
}

void Bridge::Serve(bool announce, bool values, bool power, std::deque<mqtt::Message> commands)
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
std::vector<std::string> Bridge::Published()
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
        if (announced_.insert(name).second)
            broker_->Publish(topics_.SensorConfigTopic(name), topics_.SensorConfig(name), true);
        published.push_back(name);
    }
    return published;
}

// After every broker connection: what Home Assistant needs to know, and every value again.
void Bridge::Announce()
{
    announced_.clear();
    throttle_.Forget();
    backlights_.clear();
    Published(); // announces them
    // A light only where there is a backlight to switch: Home Assistant's light is its switch.
    const int displays = service_->DisplayCount();
    for (int n = 0; n < displays; ++n)
        if (const int caps = service_->PowerCaps(n); caps & kSwitchesBacklight)
            broker_->Publish(topics_.LightConfigTopic(n + 1), topics_.LightConfig(n + 1, caps & kDims), true);
    broker_->Publish(topics_.TextConfigTopic(), topics_.TextConfig(), true);
    broker_->Publish(topics_.Status(), "online", true);
}

void Bridge::PublishValues()
{
    const auto names = Published();
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
    LogWarning("pixtera-mqtt: ignored \"" + mqtt::Printable(command.payload, 40) + "\" on " +
               mqtt::Printable(command.topic) + ": " + why);
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
