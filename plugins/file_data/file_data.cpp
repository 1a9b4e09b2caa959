// SPDX-License-Identifier: MIT
// Pixtera.FileData: the name=value lines of a file as data items, so that any script can feed a
// display. Configuration: path=/some/file;interval=1000 (path required). The file is read when the
// kernel says it changed; the interval is how often it is looked at where it cannot say (and in
// a process of its own, where the service has no sink to hand over).

#include "file_values.h"
#include "file_watch.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace {

using namespace pixtera;

// {5A1F0B3C-2D4E-4F60-8172-93A4B5C6D7E8}
constexpr CLSID CLSID_FileData{0x5A1F0B3C, 0x2D4E, 0x4F60, {0x81, 0x72, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8}};
const InprocClass kClass{CLSID_FileData, "Pixtera.FileData", "File data"};

constexpr LONG kDefaultInterval = 1000;

class FileData final : public ComObject<FileData, IDataProvider, IDataEvents, ConfigurablePlugin<FileData>,
                                        DescribedSettings<FileData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"path", "File", kSettingFile, "", "A file of name=value lines"},
        {"interval", "Interval (ms)", kSettingInteger, "1000",
         "How often the file is looked at where its changes are not reported (network file systems, /proc)", 10,
         3600000},
    };

    static constexpr const char16_t* kPluginName = u"File data";

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        std::lock_guard lock(mutex_);
        if (!file_)
            return S_FALSE;
        switch (file_->Refresh(changed_.exchange(false))) {
        case FileValues::Change::Vanished:
            LogWarning("File data: " + path_ + " is gone; its items keep their last values");
            break;
        case FileValues::Change::Unreadable:
            LogWarning("File data: " + path_ + " cannot be read: it " + file_->problem());
            break;
        case FileValues::Change::Read:
            if (file_->truncated() && !warnedTruncated_) {
                LogWarning("File data: " + path_ + " is larger than 1 MiB or 1000 items; the rest is not read");
                warnedTruncated_ = true;
            }
            break;
        case FileValues::Change::None: break;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override
    {
        std::lock_guard lock(watchMutex_);
        return Output(mode, watch_ && watch_->running() ? kUpdateOnce : kUpdatePeriodic);
    }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override
    {
        std::lock_guard lock(mutex_);
        return Output(interval, interval_);
    }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, Values().size());
    }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        std::lock_guard lock(mutex_);
        return ItemText(Values(), index, name, [](const FileValue& v) { return v.name; });
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        std::lock_guard lock(mutex_);
        return ItemText(Values(), index, description, [](const FileValue& v) { return "File\\" + v.name; });
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* out) override
    {
        std::lock_guard lock(mutex_);
        return ItemValue(Values(), index, out, [](const FileValue& v) { return v.value; });
    }

    HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) override
    {
        {
            std::lock_guard lock(mutex_);
            sink_ = ComPtr<IDataArrivalSink>(sink);
        }
        Rewatch();
        return S_OK;
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        Apply(fields, text);
        Rewatch();
    }

private:
    void Apply(const ConfigurationText& fields, const std::string& text)
    {
        std::lock_guard lock(mutex_);
        bool invalid = false;
        interval_ = fields.Number("interval", 10, 3600000, &invalid).value_or(kDefaultInterval);
        if (invalid)
            LogWarning("File data: unusable interval in \"" + text + "\"; 1000 ms is used");
        path_ = fields.Text("path").value_or("");
        file_.reset();
        if (path_.empty())
            LogWarning("File data: no path in \"" + text + "\"; there are no items");
        else
            file_ = std::make_unique<FileValues>(path_);
    }

    // A watch of the file while there is a sink to tell; without one the service polls.
    void Rewatch()
    {
        std::lock_guard lifetime(watchMutex_);
        watch_.reset(); // before taking mutex_: its thread takes it to find the sink
        std::string path;
        std::chrono::milliseconds interval{};
        {
            std::lock_guard lock(mutex_);
            if (!sink_ || path_.empty())
                return;
            path = path_;
            interval = std::chrono::milliseconds(interval_);
        }
        watch_ = std::make_unique<FileWatch>(path, interval, [this](bool known) { Changed(known); });
    }

    void Changed(bool known)
    {
        if (known)
            changed_ = true;
        ComPtr<IDataArrivalSink> sink;
        {
            std::lock_guard lock(mutex_);
            sink = sink_;
        }
        if (sink)
            sink->ValuesArrived();
    }

    const std::vector<FileValue>& Values() const
    {
        static const std::vector<FileValue> none;
        return file_ ? file_->values() : none;
    }

    std::mutex mutex_; // guards everything down to warnedTruncated_
    std::string path_;
    LONG interval_ = kDefaultInterval;
    std::unique_ptr<FileValues> file_;
    ComPtr<IDataArrivalSink> sink_;
    bool warnedTruncated_ = false;

    std::atomic<bool> changed_ = false; // the kernel said the file changed since the last read
    std::mutex watchMutex_; // guards watch_; taken before mutex_, never while holding it
    // Last: it ends first, and its thread calls into everything above.
    std::unique_ptr<FileWatch> watch_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(FileData, kClass)
