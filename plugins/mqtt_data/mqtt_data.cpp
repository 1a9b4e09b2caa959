// SPDX-License-Identifier: MIT
// Pixtera.MqttData: values from an MQTT broker, an item per topic. Configuration:
// host=127.0.0.1;port=1883;topics=home/+/temperature,nas/disk/free;username=...;password_file=...;
// tls_ca=...;client_id=...

#include "mqtt_data_settings.h"
#include "topic_values.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::mqtt;

// {7D3C2A91-5E48-4B6F-A0C7-2F9E1B8D4A63}
constexpr CLSID CLSID_MqttData{0x7D3C2A91, 0x5E48, 0x4B6F, {0xA0, 0xC7, 0x2F, 0x9E, 0x1B, 0x8D, 0x4A, 0x63}};
const InprocClass kClass{CLSID_MqttData, "Pixtera.MqttData", "MQTT data"};

// Without a sink (a plug-in in a process of its own) the service polls this often.
constexpr LONG kFallbackInterval = 1000;

class MqttData final : public ComObject<MqttData, IDataProvider, IDataEvents, ConfigurablePlugin<MqttData>,
                                        DescribedSettings<MqttData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"host", "Broker", kSettingText, "127.0.0.1", "The MQTT broker's host name or address"},
        {"port", "Port", kSettingInteger, "1883", "The broker's port (8883 for TLS on most brokers)", 1, 65535},
        {"topics", "Topics", kSettingText, "",
         "Topics to show, separated by commas; + stands for one level, # (last) for the rest: home/+/temperature"},
        {"username", "User name", kSettingText, "", "For a broker that asks for one"},
        {"password_file", "Password file", kSettingFile, "",
         "A file only you can read whose first line is the password (never put the password here)"},
        {"tls_ca", "CA file", kSettingFile, "",
         "The certificate authority of the broker's TLS certificate; empty: no TLS"},
        {"client_id", "Client id", kSettingText, "", "Empty: one is made up at each start"},
    };
    static constexpr const char16_t* kPluginName = u"MQTT data";

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        std::lock_guard lock(mutex_);
        values_->Update(items_);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override
    {
        std::lock_guard lock(mutex_);
        return Output(mode, sink_ ? kUpdateOnce : kUpdatePeriodic);
    }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, kFallbackInterval); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, items_.size());
    }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        std::lock_guard lock(mutex_);
        return ItemText(items_, index, name, [](const TopicItem& item) { return item.name; });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        std::lock_guard lock(mutex_);
        return ItemText(items_, index, description, [](const TopicItem& item) { return item.description; });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        std::lock_guard lock(mutex_);
        return ItemValue(items_, index, value, [](const TopicItem& item) { return item.value; });
    }

    HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) override
    {
        std::lock_guard lock(mutex_);
        sink_ = ComPtr<IDataArrivalSink>(sink);
        itemSink_ = sink_ ? sink_.As<IItemArrivalSink>() : ComPtr<IItemArrivalSink>();
        return S_OK;
    }

    void Configured(const ConfigurationText& fields, const std::string&)
    {
        std::vector<std::string> problems;
        MqttDataSettings settings = ReadMqttDataSettings(fields, problems);
        for (const auto& problem : problems)
            LogWarning("MQTT data: unusable " + problem);
        connection_.reset(); // the old connection ends before the new one starts
        values_->SetConnected(false);
        auto values = values_;
        ConnectionHandlers handlers{
            [this, values] { Arrived(values->SetConnected(true)); },
            [this, values] { Arrived(values->SetConnected(false)); },
            [this, values](const Message& message) { Arrived(values->Store(message.topic, message.payload)); },
        };
        connection_ = std::make_unique<Connection>(settings.connection, std::move(handlers));
        for (const auto& topic : settings.topics)
            connection_->Subscribe(topic);
    }

private:
    // Only the items that changed are read again, where the service can take them.
    void Arrived(const ItemChanges& changes)
    {
        if (!changes)
            return;
        ComPtr<IDataArrivalSink> sink;
        ComPtr<IItemArrivalSink> itemSink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
            itemSink = itemSink_;
        }
        if (itemSink)
            itemSink->ItemsArrived(static_cast<LONG>(changes.items.size()), changes.items.data());
        else if (sink)
            sink->ValuesArrived();
    }

    const std::shared_ptr<TopicValues> values_ = std::make_shared<TopicValues>();
    std::mutex mutex_; // guards items_ and both sinks
    std::vector<TopicItem> items_;
    ComPtr<IDataArrivalSink> sink_;
    ComPtr<IItemArrivalSink> itemSink_; // the same sink, where it takes the items that changed
    // Last: it ends first, and its thread calls into everything above.
    std::unique_ptr<Connection> connection_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(MqttData, kClass)
