// SPDX-License-Identifier: MIT
// Pixtera.SystemData: CPU, load, memory, swap, network, disks, uptime, date and time, host name
// and temperatures, polled periodically. Configuration (all optional):
// interval=1000;timeformat=%Y-%m-%d %H:%M;proc=/proc;sys=/sys (proc and sys for copies of them).

#include "system_sampler.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <mutex>

namespace {

using namespace pixtera;

// {9D3A6E12-7C4B-4A8F-B2D1-5E6F7A8B9C02}
constexpr CLSID CLSID_SystemData{0x9D3A6E12, 0x7C4B, 0x4A8F, {0xB2, 0xD1, 0x5E, 0x6F, 0x7A, 0x8B, 0x9C, 0x02}};
const InprocClass kClass{CLSID_SystemData, "Pixtera.SystemData", "System data"};

constexpr LONG kDefaultInterval = 1000;

class SystemData final
    : public ComObject<SystemData, IDataProvider, ConfigurablePlugin<SystemData>, DescribedSettings<SystemData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"interval", "Interval (ms)", kSettingInteger, "1000", "How often the values are sampled", 10, 3600000},
        {"timeformat", "Time format", kSettingText, "%Y-%m-%d %H:%M", "strftime format of the date and time item"},
        {"proc", "proc directory", kSettingFile, "/proc", "Where the kernel's process files are"},
        {"sys", "sys directory", kSettingFile, "/sys", "Where the kernel's device files are"},
    };

    static constexpr const char16_t* kPluginName = u"System data";

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        std::lock_guard lock(mutex_);
        items_ = sampler_.Sample(std::chrono::steady_clock::now(), std::time(nullptr));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override
    {
        std::lock_guard lock(mutex_);
        return Output(interval, interval_);
    }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, items_.size());
    }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        return Text(index, name, [](const SampledItem& item) { return item.name; });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return Text(index, description, [](const SampledItem& item) { return item.description; });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        std::lock_guard lock(mutex_);
        return ItemValue(items_, index, value, [](const SampledItem& item) { return item.value; });
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::lock_guard lock(mutex_);
        bool invalid = false;
        interval_ = fields.Number("interval", 10, 3600000, &invalid).value_or(kDefaultInterval);
        if (invalid)
            LogWarning("System data: unusable interval in \"" + text + "\"; 1000 ms is used");
        SystemSampler::Roots roots;
        roots.proc = fields.Text("proc").value_or("/proc");
        roots.sys = fields.Text("sys").value_or("/sys");
        sampler_ = SystemSampler(roots, fields.Text("timeformat").value_or("%Y-%m-%d %H:%M"));
    }

private:
    template <class Field>
    HRESULT Text(LONG index, BSTR* out, Field field)
    {
        std::lock_guard lock(mutex_);
        return ItemText(items_, index, out, field);
    }

    std::mutex mutex_; // guards everything below
    LONG interval_ = kDefaultInterval;
    SystemSampler sampler_{{}, "%Y-%m-%d %H:%M"};
    std::vector<SampledItem> items_; // the last sample: what GetCount, GetName and GetValue answer
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(SystemData, kClass)
