// SPDX-License-Identifier: MIT
// Pixtera.FileData: the name=value lines of a file as data items, so that any script can feed a
// display. Configuration: path=/some/file;interval=1000 (path required).

#include "file_values.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;

// {5A1F0B3C-2D4E-4F60-8172-93A4B5C6D7E8}
constexpr CLSID CLSID_FileData{0x5A1F0B3C, 0x2D4E, 0x4F60, {0x81, 0x72, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8}};
const InprocClass kClass{CLSID_FileData, "Pixtera.FileData", "File data"};

constexpr LONG kDefaultInterval = 1000;

class FileData final
    : public ComObject<FileData, IDataProvider, ConfigurablePlugin<FileData>, DescribedSettings<FileData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"path", "File", kSettingFile, "", "A file of name=value lines"},
        {"interval", "Interval (ms)", kSettingInteger, "1000", "How often the file is checked for changes", 10,
         3600000},
    };

    static constexpr const char16_t* kPluginName = u"File data";

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        std::lock_guard lock(mutex_);
        if (!file_)
            return S_FALSE;
        switch (file_->Refresh()) {
        case FileValues::Change::Vanished:
            LogWarning("File data: " + path_ + " is gone; its items keep their last values");
            break;
        case FileValues::Change::Unreadable: LogWarning("File data: " + path_ + " cannot be read"); break;
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
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
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

    void Configured(const ConfigurationText& fields, const std::string& text)
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

private:
    const std::vector<FileValue>& Values() const
    {
        static const std::vector<FileValue> none;
        return file_ ? file_->values() : none;
    }

    std::mutex mutex_; // guards everything below
    std::string path_;
    LONG interval_ = kDefaultInterval;
    std::unique_ptr<FileValues> file_;
    bool warnedTruncated_ = false;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(FileData, kClass)
