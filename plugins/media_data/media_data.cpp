// SPDX-License-Identifier: MIT
// Pixtera.MediaData: what is playing, from any MPRIS2 player on the session bus, with no
// configuration. Configuration (optional): player=vlc, to follow only that player (see
// player_name.h for how a player is named).

#include "mpris_watcher.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/provided_value.h>

#include <array>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::media;

// {5F0C6B7E-3A9D-4E21-9C58-0B7D2E4F1A36}
constexpr CLSID CLSID_MediaData{0x5F0C6B7E, 0x3A9D, 0x4E21, {0x9C, 0x58, 0x0B, 0x7D, 0x2E, 0x4F, 0x1A, 0x36}};
const InprocClass kClass{CLSID_MediaData, "Pixtera.MediaData", "Media data"};

// The position moves on by itself; computed from the last known one, it costs no bus traffic.
constexpr LONG kInterval = 500;

struct MediaItem {
    const char* name;
    const char* description;
};
constexpr std::array<MediaItem, 10> kItems{{
    {"Media.Title", "Media\\Title"},
    {"Media.Artist", "Media\\Artist"},
    {"Media.Album", "Media\\Album"},
    {"Media.Status", "Media\\Status"},
    {"Media.Player", "Media\\Player"},
    {"Media.Position", "Media\\Position"},
    {"Media.Length", "Media\\Length"},
    {"Media.Progress", "Media\\Progress"},
    {"Media.PositionText", "Media\\Position text"},
    {"Media.LengthText", "Media\\Length text"},
}};
constexpr LONG kItemCount = static_cast<LONG>(kItems.size());

std::vector<std::variant<double, std::string>> Values(const NowPlaying& playing)
{
    return {playing.title,    playing.artist, playing.album,    playing.status,       playing.player,
            playing.position, playing.length, playing.progress, playing.positionText, playing.lengthText};
}

class MediaData final
    : public ComObject<MediaData, IDataProvider, ConfigurablePlugin<MediaData>, DescribedSettings<MediaData>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"player", "Player", kSettingText, "",
         "Follow only this player: its bus name after org.mpris.MediaPlayer2., without an .instance suffix, "
         "in any case (vlc, spotify, firefox); empty: the one playing"},
    };
    static constexpr const char16_t* kPluginName = u"Media data";

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        std::lock_guard lock(mutex_);
        const auto players = watcher_ ? watcher_->Players() : std::vector<PlayerState>{};
        values_ = Values(media::Describe(ChoosePlayer(players, pinned_), Clock::now()));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, kInterval); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Output(count, kItemCount); }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override
    {
        return ItemField(index, name, &MediaItem::name);
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return ItemField(index, description, &MediaItem::description);
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        if (index < 0 || index >= kItemCount)
            return E_INVALIDARG;
        std::lock_guard lock(mutex_);
        StoreValue(values_[static_cast<std::size_t>(index)], value);
        return S_OK;
    }

    void Configured(const ConfigurationText& fields, const std::string&)
    {
        std::unique_ptr<MprisWatcher> watcher;
        try {
            watcher = std::make_unique<MprisWatcher>(sdbus::createSessionBusConnection());
        } catch (const sdbus::Error& error) {
            LogWarning("Media data: no session bus (" + error.getMessage() + "); nothing is shown as playing");
        }
        std::lock_guard lock(mutex_);
        pinned_ = fields.Text("player").value_or("");
        watcher_ = std::move(watcher);
    }

private:
    static HRESULT ItemField(LONG index, BSTR* out, const char* MediaItem::*field)
    {
        return ItemText(kItems, index, out, [field](const MediaItem& item) { return std::string(item.*field); });
    }

    std::mutex mutex_; // guards everything below
    std::string pinned_;
    std::unique_ptr<MprisWatcher> watcher_;
    std::vector<std::variant<double, std::string>> values_ = Values(NowPlaying{});
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(MediaData, kClass)
