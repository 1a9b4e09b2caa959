// SPDX-License-Identifier: MIT
// DispatchWrapper.core: hosts a plug-in in a process of its own (pixtera-plugin-host) and answers
// for it. After Wrap(progId) it has exactly the plug-in interfaces the hosted object has; every
// call crosses the socket with a deadline, and a host that fails makes the call return
// E_PLUGIN_HOST_FAILED (see pixtera/sdk/plugin_host.h) while a new one is started.

#include "display_answers.h"
#include "host_keeper.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_events.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/plugin_host.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/plugin_settings.h>
#include <pixtera/sdk/screen_source.h>

#include <atomic>
#include <mutex>
#include <tuple>
#include <utility>

namespace {

using namespace pixtera;
using namespace pixtera::host;

const InprocClass kClass{CLSID_DispatchWrapper, "DispatchWrapper.core", "Plug-in host wrapper"};

constexpr DWORD kDefaultCallLimitMs = 5000;

constexpr DWORD kDefaultHealthyAfterMs = 60000;

// A setting of HKLM\Software\Pixtera2.0 in milliseconds; `minimum` and more, else the default.
std::chrono::milliseconds Setting(const char* name, DWORD fallback, DWORD minimum)
{
    RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0") == ERROR_SUCCESS)
        if (const auto value = key.QueryDword(name); value && *value >= minimum)
            return std::chrono::milliseconds(*value);
    return std::chrono::milliseconds(fallback);
}

// Beside the programs in a build tree (plugins/ is below them), else in the installed prefix's
// program directory.
std::filesystem::path HostProgram()
{
    const auto plugins = PIXTERA_THIS_MODULE_PATH().parent_path();
    std::error_code ec;
    if (auto beside = plugins.parent_path() / "pixtera-plugin-host"; std::filesystem::exists(beside, ec))
        return beside;
    return (plugins / PIXTERA_HOST_FROM_PLUGINS / "pixtera-plugin-host").lexically_normal();
}

class DispatchWrapper final
    : public ComObject<DispatchWrapper, DispatchNotImplemented<IDispatchWrapper>, IPluginInfo, IDataProvider,
                       IDisplayDriver, IDataFeed, IPluginSettings, IDisplayPower, IDisplayEvents, IDisplayCharacterSet,
                       IScreenSource, IScreenKeys, IDisplayInput, IDisplayUnicodeFrame, IDisplayLinkState, IDisplayLeds,
                       IDisplayTraffic, IPluginHost> {
public:
    // The plug-in interfaces only as far as the hosted object has them (IPluginInfo before Wrap:
    // the configuration may come first).
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        const LONG interfaces = interfaces_.load();
        const bool wrapped = keeper_ != nullptr;
        for (const ForwardedInterface& forwarded : kForwardedInterfaces) {
            const bool beforeWrap = forwarded.bit == kPluginInfo && !wrapped;
            if (riid == *forwarded.iid && !(interfaces & forwarded.bit) && !beforeWrap) {
                *object = nullptr;
                return E_NOINTERFACE;
            }
        }
        if (riid == IID_IPluginHost && !wrapped) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, object);
    }

    // IDispatchWrapper
    HRESULT STDMETHODCALLTYPE Wrap(BSTR progId) override
    {
        if (keeper_)
            return E_UNEXPECTED; // one plug-in per wrapper
        keeper_ = std::make_unique<HostKeeper>(HostProgram(), Setting("PluginCallTimeout", kDefaultCallLimitMs, 1),
                                               Setting("PluginHealthyAfter", kDefaultHealthyAfterMs, 0));
        if (pendingConfiguration_)
            keeper_->KeepConfiguration(*pendingConfiguration_);
        std::string error;
        const auto interfaces = keeper_->Start(std::u16string(BstrView(progId)), error);
        if (!interfaces) {
            LogWarning(Utf16ToUtf8(BstrView(progId)) + " (isolated) could not be started: " + error);
            keeper_.reset();
            return CO_E_SERVER_EXEC_FAILURE;
        }
        interfaces_ = *interfaces;
        return S_OK;
    }

    // IPluginHost
    HRESULT STDMETHODCALLTYPE HostGeneration(LONG* generation) override
    {
        if (!generation)
            return E_POINTER;
        const auto current = keeper_ ? keeper_->generation() : std::nullopt;
        *generation = current.value_or(0);
        return current ? S_OK : S_FALSE;
    }

    // IPluginInfo
    HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL* accepted) override
    {
        return Forward({Method::EditConfiguration, {}}, [&](const Result& r) { return Out(r, accepted); });
    }
    HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) override { return Text(Method::GetPluginName, {}, name); }
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* configuration) override
    {
        return Text(Method::GetConfiguration, {}, configuration);
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR configuration) override
    {
        if (!keeper_) {
            pendingConfiguration_ = std::u16string(BstrView(configuration));
            return S_OK;
        }
        return Forward({Method::Configure, {std::u16string(BstrView(configuration))}});
    }

    // IDataProvider
    HRESULT STDMETHODCALLTYPE Refresh() override { return Forward({Method::Refresh, {}}); }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Long(Method::GetUpdateMode, mode); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Long(Method::GetInterval, interval); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Long(Method::GetCount, count); }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override { return Text(Method::GetName, {index}, name); }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return Text(Method::GetDescription, {index}, description);
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override
    {
        if (!value)
            return E_POINTER;
        VariantInit(value);
        return Forward({Method::GetValue, {index}}, [&](const Result& r) {
            if (r.values.empty() || !std::holds_alternative<Variant>(r.values[0]))
                return E_UNEXPECTED;
            return VariantCopy(value, &std::get<Variant>(r.values[0]));
        });
    }

    // IDisplayDriver
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return Long(Method::GetColumns, v); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override { return Long(Method::GetPixelHeight, v); }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override { return Long(Method::GetPixelWidth, v); }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override { return Long(Method::GetCharHeight, v); }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return Long(Method::GetCharWidth, v); }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return Long(Method::GetRows, v); }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return Long(Method::LoaderQuery, v); }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR file) override
    {
        return Forward({Method::SetBackground, {std::u16string(BstrView(file))}});
    }
    HRESULT STDMETHODCALLTYPE Reserved() override { return Forward({Method::Reserved, {}}); }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        return Forward({Method::Write, {std::u16string(BstrView(frame))}});
    }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        return Forward({Method::SetCustomChar, {code, r0, r1, r2, r3, r4, r5, r6, r7}});
    }

    // IDataFeed
    HRESULT STDMETHODCALLTYPE SetValue(BSTR name, VARIANT value) override
    {
        return Forward({Method::SetValue, {std::u16string(BstrView(name)), Transportable(value)}});
    }
    HRESULT STDMETHODCALLTYPE GetFeedNames(BSTR* names) override { return Text(Method::GetFeedNames, {}, names); }

    // IDisplayPower
    HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) override
    {
        return Forward({Method::SetBacklight, {static_cast<LONG>(on ? 1 : 0)}});
    }
    HRESULT STDMETHODCALLTYPE SetBrightness(LONG percent) override
    {
        return Forward({Method::SetBrightness, {percent}});
    }
    HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) override { return Long(Method::GetPowerCaps, caps); }

    // IDisplayEvents
    HRESULT STDMETHODCALLTYPE DeviceAppeared(BSTR device) override
    {
        return Forward({Method::DeviceAppeared, {std::u16string(BstrView(device))}});
    }
    HRESULT STDMETHODCALLTYPE Resumed() override { return Forward({Method::Resumed, {}}); }

    // IDisplayCharacterSet
    HRESULT STDMETHODCALLTYPE GetRom(BSTR* rom) override { return Text(Method::GetRom, {}, rom); }

    // IScreenSource. Its displays are handed to every new host again, like a display's frame.
    HRESULT STDMETHODCALLTYPE AttachDisplay(LONG display, LONG columns, LONG rows, LONG cellWidth,
                                            LONG cellHeight) override
    {
        return Forward({Method::AttachDisplay, {display, columns, rows, cellWidth, cellHeight}});
    }
    HRESULT STDMETHODCALLTYPE GetScreens(LONG display, BSTR* screens) override
    {
        return Text(Method::GetScreens, {display}, screens);
    }
    HRESULT STDMETHODCALLTYPE RenderScreen(LONG display, LONG screen, LONG timer, BSTR* frame,
                                           BSTR* characters) override
    {
        if (!frame || !characters)
            return E_POINTER;
        *frame = nullptr;
        *characters = nullptr;
        return Forward({Method::RenderScreen, {display, screen, timer}}, [&](const Result& r) {
            if (r.values.size() != 2 || !std::holds_alternative<std::u16string>(r.values[0]) ||
                !std::holds_alternative<std::u16string>(r.values[1]))
                return E_UNEXPECTED;
            *frame = BString(std::get<std::u16string>(r.values[0])).Detach();
            *characters = BString(std::get<std::u16string>(r.values[1])).Detach();
            return S_OK;
        });
    }
    HRESULT STDMETHODCALLTYPE ScreenShown(LONG display, LONG screen, LONG timer) override
    {
        return Forward({Method::ScreenShown, {display, screen, timer}});
    }
    // IScreenKeys: a call like any other; a key is not replayed to a new host (it was pressed then).
    HRESULT STDMETHODCALLTYPE ScreenKey(LONG display, LONG screen, LONG key) override
    {
        return Forward({Method::ScreenKey, {display, screen, key}});
    }
    // IDisplayUnicodeFrame: like Write, and replayed to a new host the same way.
    HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) override
    {
        return Forward({Method::WriteUnicode, {std::u16string(BstrView(frame))}});
    }
    // A sink does not cross processes: the service asks for the screens instead.
    HRESULT STDMETHODCALLTYPE Advise(IScreenSink*) override { return E_NOTIMPL; }
    // IDisplayInput: the host sends the keys on a socket of their own, and the keeper calls the
    // sink from the host's output thread. A new host is advised again.
    HRESULT STDMETHODCALLTYPE Advise(IKeySink* sink) override
    {
        if (!keeper_)
            return E_UNEXPECTED;
        keeper_->SetKeySink(sink);
        return Forward({Method::AdviseKeys, {static_cast<LONG>(sink ? 1 : 0)}});
    }

    // IDisplayLinkState. While there is no host the module is out of reach, since the host was
    // lost; a new host's plug-in that has not linked yet does not make that outage younger. Never
    // waits behind another call (a frame to a slow or hung host): the last answer stands then.
    HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) override
    {
        if (!linked || !outageSince)
            return E_POINTER;
        if (!keeper_)
            return E_UNEXPECTED;
        const HRESULT hr = AskLinkState(*linked, *outageSince);
        if (SUCCEEDED(hr)) {
            std::lock_guard lock(answersMutex_);
            lastLink_ = {*linked, *outageSince};
        }
        return hr;
    }
    HRESULT AskLinkState(VARIANT_BOOL& linkedOut, LONGLONG& outageSinceOut)
    {
        VARIANT_BOOL* linked = &linkedOut;
        LONGLONG* outageSince = &outageSinceOut;
        const LONGLONG now = WallClockSeconds();
        bool busy = false;
        const auto result = keeper_->InvokeIfIdle({Method::GetLinkState, {}}, busy);
        if (busy) {
            std::lock_guard lock(answersMutex_);
            std::tie(*linked, *outageSince) = lastLink_;
            return S_OK;
        }
        const auto hostLost = keeper_->hostLostSince();
        if (!result) {
            *linked = VARIANT_FALSE;
            *outageSince = hostLost.value_or(now);
            return S_OK;
        }
        if (FAILED(result->hr))
            return result->hr;
        const auto answer = ReadLinkState(*result, now);
        if (!answer)
            return E_UNEXPECTED;
        if (answer->linked)
            keeper_->NoteLinked();
        *linked = answer->linked ? VARIANT_TRUE : VARIANT_FALSE;
        *outageSince = answer->outageSince;
        if (!answer->linked && hostLost && (answer->outageSince == 0 || *hostLost < answer->outageSince))
            *outageSince = *hostLost;
        return result->hr;
    }

    // IDisplayLeds. A state set is kept and given to every new host; a host that is gone answers
    // nothing.
    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override
    {
        return Checked(Method::GetLedCount, {}, count, ReadLedCount);
    }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        return Checked(Method::GetLedStates, {index}, states, ReadLedStates);
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        return Checked(Method::GetLed, {index}, state, ReadLedState);
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        return Forward({Method::SetLed, {index, state}});
    }

    // IDisplayTraffic
    HRESULT STDMETHODCALLTYPE GetLastFrameTraffic(LONG* bytes, LONG* messages, LONGLONG* clocks,
                                                  LONGLONG* microseconds) override
    {
        if (!bytes || !messages || !clocks || !microseconds)
            return E_POINTER;
        if (!keeper_)
            return E_UNEXPECTED;
        // Asked once a second from the bus's thread: never behind another call, as the link.
        bool busy = false;
        const auto result = keeper_->InvokeIfIdle({Method::GetLastFrameTraffic, {}}, busy);
        std::lock_guard lock(answersMutex_);
        if (!busy) {
            if (!result)
                return E_PLUGIN_HOST_FAILED;
            if (FAILED(result->hr))
                return result->hr;
            const auto traffic = ReadTraffic(*result);
            if (!traffic)
                return E_UNEXPECTED;
            lastTraffic_ = *traffic;
        }
        *bytes = lastTraffic_.bytes;
        *messages = lastTraffic_.messages;
        *clocks = lastTraffic_.clocks;
        *microseconds = lastTraffic_.microseconds;
        return S_OK;
    }

    // IPluginSettings: what a settings form asks of a plug-in that runs in a process of its own.
    HRESULT STDMETHODCALLTYPE GetSettingCount(LONG* count) override { return Long(Method::GetSettingCount, count); }
    HRESULT STDMETHODCALLTYPE GetSetting(LONG index, BSTR* name, BSTR* label, LONG* kind, BSTR* defaultValue,
                                         BSTR* help, LONG* minimum, LONG* maximum, BSTR* choices) override
    {
        if (!name || !label || !kind || !defaultValue || !help || !minimum || !maximum || !choices)
            return E_POINTER;
        return Forward({Method::GetSetting, {index}}, [&](const Result& r) {
            constexpr std::size_t kTexts[] = {0, 1, 3, 4, 7};
            constexpr std::size_t kLongs[] = {2, 5, 6};
            if (r.values.size() != 8)
                return E_UNEXPECTED;
            for (std::size_t at : kTexts)
                if (!std::holds_alternative<std::u16string>(r.values[at]))
                    return E_UNEXPECTED;
            for (std::size_t at : kLongs)
                if (!std::holds_alternative<LONG>(r.values[at]))
                    return E_UNEXPECTED;
            BSTR* texts[] = {name, label, defaultValue, help, choices};
            for (std::size_t i = 0; i < 5; ++i)
                *texts[i] = BString(std::get<std::u16string>(r.values[kTexts[i]])).Detach();
            *kind = std::get<LONG>(r.values[2]);
            *minimum = std::get<LONG>(r.values[5]);
            *maximum = std::get<LONG>(r.values[6]);
            return S_OK;
        });
    }

private:
    // Makes the call; `read` takes the out-values of a result that succeeded.
    template <class Read>
    HRESULT Forward(const Call& call, Read read)
    {
        if (!keeper_)
            return E_UNEXPECTED;
        const auto result = keeper_->Invoke(call);
        if (!result)
            return E_PLUGIN_HOST_FAILED;
        if (FAILED(result->hr))
            return result->hr;
        const HRESULT outcome = read(*result);
        return FAILED(outcome) ? outcome : result->hr;
    }
    HRESULT Forward(const Call& call)
    {
        return Forward(call, [](const Result&) { return S_OK; });
    }
    HRESULT Long(Method method, LONG* out)
    {
        if (!out)
            return E_POINTER;
        return Forward({method, {}}, [&](const Result& r) {
            if (r.values.empty() || !std::holds_alternative<LONG>(r.values[0]))
                return E_UNEXPECTED;
            *out = std::get<LONG>(r.values[0]);
            return S_OK;
        });
    }
    HRESULT Text(Method method, std::vector<Value> arguments, BSTR* out)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return Forward({method, std::move(arguments)}, [&](const Result& r) {
            if (r.values.empty() || !std::holds_alternative<std::u16string>(r.values[0]))
                return E_UNEXPECTED;
            *out = BString(std::get<std::u16string>(r.values[0])).Detach();
            return S_OK;
        });
    }
    // A LONG answer that `read` checks.
    HRESULT Checked(Method method, std::vector<Value> arguments, LONG* out, std::optional<LONG> (*read)(const Result&))
    {
        if (!out)
            return E_POINTER;
        return Forward({method, std::move(arguments)}, [&](const Result& r) {
            const auto value = read(r);
            if (!value)
                return E_UNEXPECTED;
            *out = *value;
            return S_OK;
        });
    }
    static LONGLONG WallClockSeconds()
    {
        return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    static HRESULT Out(const Result& r, VARIANT_BOOL* out)
    {
        if (!out)
            return E_POINTER;
        if (r.values.empty() || !std::holds_alternative<LONG>(r.values[0]))
            return E_UNEXPECTED;
        *out = static_cast<VARIANT_BOOL>(std::get<LONG>(r.values[0]));
        return S_OK;
    }

    // Written by Wrap, which the service calls once, before any other user of the object.
    std::unique_ptr<HostKeeper> keeper_;
    std::atomic<LONG> interfaces_{kPluginInfo};
    std::optional<std::u16string> pendingConfiguration_;
    std::mutex answersMutex_; // guards the two below: what the host last said, while a call runs
    std::pair<VARIANT_BOOL, LONGLONG> lastLink_{VARIANT_TRUE, 0};
    TrafficAnswer lastTraffic_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(DispatchWrapper, kClass)
