// SPDX-License-Identifier: MIT
// pixtera-plugin-host FD PARENT_PID EVENT_FD: hosts one plug-in object for DispatchWrapper.core,
// answering the calls that arrive on the socket FD one after another; what the plug-in reports on
// its own (its keys) goes out on EVENT_FD, one datagram each. It ends when its parent is gone (the
// socket closes, or the kernel's parent-death signal) and when the plug-in throws: a plug-in that
// throws is as faulty here as one that crashes.

#include "display_answers.h"
#include "host_wire.h"
#include "link_io.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_character_set.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_events.h>
#include <pixtera/sdk/display_input.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>
#include <pixtera/sdk/screen_source.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::host;

struct Plugin {
    ComPtr<IUnknown> object;
    ComPtr<IPluginInfo> info;
    ComPtr<IDataProvider> provider;
    ComPtr<IDisplayDriver> display;
    ComPtr<IDataFeed> feed;
    ComPtr<IPluginSettings> settings;
    ComPtr<IDisplayPower> power;
    ComPtr<IDisplayEvents> events;
    ComPtr<IDisplayCharacterSet> characterSet;
    ComPtr<IScreenSource> screens;
    ComPtr<IScreenKeys> screenKeys;
    ComPtr<IDisplayUnicodeFrame> unicode;
    ComPtr<IDisplayInput> input;
    ComPtr<IDisplayLinkState> linkState;
    ComPtr<IDisplayLeds> leds;
    ComPtr<IDisplayTraffic> traffic;
    int eventSocket = -1;
};

// The sink the plug-in gets for its keys: each one a datagram to the wrapper. It never waits: when
// the wrapper is that far behind, the key is dropped, as the service's own queue would drop it.
class KeyForwarder final : public ComObject<KeyForwarder, IKeySink> {
public:
    explicit KeyForwarder(int fd) : fd_(fd) {}

    HRESULT STDMETHODCALLTYPE KeyEvent(LONG key, LONG action) override
    {
        const std::string datagram = EncodeKeyEvent({key, action});
        // One datagram is whole on its own: callers on several threads need no lock.
        if (send(fd_, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL) < 0)
            return errno == EAGAIN ? S_FALSE : E_FAIL;
        return S_OK;
    }

private:
    const int fd_;
};

template <class T>
const T* Argument(const Call& call, std::size_t index)
{
    return index < call.arguments.size() ? std::get_if<T>(&call.arguments[index]) : nullptr;
}

HRESULT CreatePlugin(const std::u16string& progId, Plugin& plugin, Result& result)
{
    CLSID clsid{};
    if (HRESULT hr = CLSIDFromProgID(progId.c_str(), &clsid); FAILED(hr))
        return hr;
    if (HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, plugin.object.OutVoid());
        FAILED(hr))
        return hr;
    plugin.info = plugin.object.As<IPluginInfo>();
    plugin.provider = plugin.object.As<IDataProvider>();
    plugin.display = plugin.object.As<IDisplayDriver>();
    plugin.feed = plugin.object.As<IDataFeed>();
    plugin.settings = plugin.object.As<IPluginSettings>();
    plugin.power = plugin.object.As<IDisplayPower>();
    plugin.events = plugin.object.As<IDisplayEvents>();
    plugin.characterSet = plugin.object.As<IDisplayCharacterSet>();
    plugin.screens = plugin.object.As<IScreenSource>();
    plugin.screenKeys = plugin.object.As<IScreenKeys>();
    plugin.unicode = plugin.object.As<IDisplayUnicodeFrame>();
    plugin.input = plugin.object.As<IDisplayInput>();
    plugin.linkState = plugin.object.As<IDisplayLinkState>();
    plugin.leds = plugin.object.As<IDisplayLeds>();
    plugin.traffic = plugin.object.As<IDisplayTraffic>();
    LONG interfaces = 0;
    for (const ForwardedInterface& forwarded : kForwardedInterfaces) {
        ComPtr<IUnknown> answered;
        if (SUCCEEDED(plugin.object->QueryInterface(*forwarded.iid, answered.OutVoid())))
            interfaces |= forwarded.bit;
    }
    result.values.emplace_back(interfaces);
    return S_OK;
}

// A method that only answers a LONG.
template <class Interface>
HRESULT AnswerLong(Interface* object, HRESULT (STDMETHODCALLTYPE Interface::*method)(LONG*), Result& result)
{
    if (!object)
        return E_NOINTERFACE;
    LONG value = 0;
    const HRESULT hr = (object->*method)(&value);
    result.values.emplace_back(value);
    return hr;
}

HRESULT AnswerText(HRESULT hr, BString& text, Result& result)
{
    result.values.emplace_back(std::u16string(text.view()));
    return hr;
}

// IScreenSource's calls: LONG arguments; texts out.
HRESULT DispatchScreens(const Call& call, IScreenSource* screens, Result& result)
{
    if (!screens)
        return E_NOINTERFACE;
    LONG a[5] = {};
    const std::size_t needed = call.method == Method::AttachDisplay  ? 5
                               : call.method == Method::GetScreens   ? 1
                               : call.method == Method::RenderScreen ? 3
                                                                     : 3;
    for (std::size_t i = 0; i < needed; ++i) {
        const auto* value = Argument<LONG>(call, i);
        if (!value)
            return E_INVALIDARG;
        a[i] = *value;
    }
    switch (call.method) {
    case Method::AttachDisplay: return screens->AttachDisplay(a[0], a[1], a[2], a[3], a[4]);
    case Method::GetScreens: {
        BString list;
        return AnswerText(screens->GetScreens(a[0], list.Out()), list, result);
    }
    case Method::RenderScreen: {
        BString frame;
        BString characters;
        const HRESULT hr = screens->RenderScreen(a[0], a[1], a[2], frame.Out(), characters.Out());
        result.values.emplace_back(std::u16string(frame.view()));
        result.values.emplace_back(std::u16string(characters.view()));
        return hr;
    }
    default: return screens->ScreenShown(a[0], a[1], a[2]);
    }
}

// IDisplayLinkState, IDisplayLeds and IDisplayTraffic: what a display says of its module.
HRESULT DispatchModuleState(const Call& call, Plugin& plugin, Result& result)
{
    const auto* index = Argument<LONG>(call, 0);
    switch (call.method) {
    case Method::GetLinkState: {
        if (!plugin.linkState)
            return E_NOINTERFACE;
        VARIANT_BOOL linked = VARIANT_FALSE;
        LONGLONG since = 0;
        const HRESULT hr = plugin.linkState->GetLinkState(&linked, &since);
        PutLinkState(result, linked != VARIANT_FALSE, since);
        return hr;
    }
    case Method::GetLedCount: return AnswerLong(plugin.leds.get(), &IDisplayLeds::GetLedCount, result);
    case Method::GetLedStates:
    case Method::GetLed: {
        if (!plugin.leds || !index)
            return E_INVALIDARG;
        LONG value = 0;
        const HRESULT hr = call.method == Method::GetLed ? plugin.leds->GetLed(*index, &value)
                                                         : plugin.leds->GetLedStates(*index, &value);
        result.values.emplace_back(value);
        return hr;
    }
    case Method::SetLed: {
        const auto* state = Argument<LONG>(call, 1);
        return plugin.leds && index && state ? plugin.leds->SetLed(*index, *state) : E_INVALIDARG;
    }
    case Method::GetLastFrameTraffic: {
        if (!plugin.traffic)
            return E_NOINTERFACE;
        TrafficAnswer traffic;
        const HRESULT hr = plugin.traffic->GetLastFrameTraffic(&traffic.bytes, &traffic.messages, &traffic.clocks,
                                                               &traffic.microseconds);
        PutTraffic(result, traffic);
        return hr;
    }
    default: return E_NOTIMPL;
    }
}

HRESULT Dispatch(const Call& call, Plugin& plugin, Result& result)
{
    IPluginInfo* info = plugin.info.get();
    IDataProvider* provider = plugin.provider.get();
    IDisplayDriver* display = plugin.display.get();
    const auto* index = Argument<LONG>(call, 0);
    const auto* text = Argument<std::u16string>(call, 0);
    BString out;
    switch (call.method) {
    case Method::Create: return text && !plugin.object ? CreatePlugin(*text, plugin, result) : E_INVALIDARG;
    case Method::EditConfiguration: {
        if (!info)
            return E_NOINTERFACE;
        VARIANT_BOOL accepted = 0;
        const HRESULT hr = info->EditConfiguration(&accepted);
        result.values.emplace_back(static_cast<LONG>(accepted));
        return hr;
    }
    case Method::GetPluginName: return info ? AnswerText(info->GetPluginName(out.Out()), out, result) : E_NOINTERFACE;
    case Method::GetConfiguration:
        return info ? AnswerText(info->GetConfiguration(out.Out()), out, result) : E_NOINTERFACE;
    case Method::Configure: return info && text ? info->Configure(BString(*text).get()) : E_INVALIDARG;
    case Method::Refresh: return provider ? provider->Refresh() : E_NOINTERFACE;
    case Method::GetUpdateMode: return AnswerLong(provider, &IDataProvider::GetUpdateMode, result);
    case Method::GetInterval: return AnswerLong(provider, &IDataProvider::GetInterval, result);
    case Method::GetCount: return AnswerLong(provider, &IDataProvider::GetCount, result);
    case Method::GetName:
        return provider && index ? AnswerText(provider->GetName(*index, out.Out()), out, result) : E_INVALIDARG;
    case Method::GetDescription:
        return provider && index ? AnswerText(provider->GetDescription(*index, out.Out()), out, result) : E_INVALIDARG;
    case Method::GetValue: {
        if (!provider || !index)
            return E_INVALIDARG;
        Variant value;
        const HRESULT hr = provider->GetValue(*index, value.Out());
        result.values.emplace_back(Transportable(value));
        return hr;
    }
    case Method::GetColumns: return AnswerLong(display, &IDisplayDriver::GetColumns, result);
    case Method::GetPixelHeight: return AnswerLong(display, &IDisplayDriver::GetPixelHeight, result);
    case Method::GetPixelWidth: return AnswerLong(display, &IDisplayDriver::GetPixelWidth, result);
    case Method::GetCharHeight: return AnswerLong(display, &IDisplayDriver::GetCharHeight, result);
    case Method::GetCharWidth: return AnswerLong(display, &IDisplayDriver::GetCharWidth, result);
    case Method::GetRows: return AnswerLong(display, &IDisplayDriver::GetRows, result);
    case Method::LoaderQuery: return AnswerLong(display, &IDisplayDriver::LoaderQuery, result);
    case Method::SetBackground: return display && text ? display->SetBackground(BString(*text).get()) : E_INVALIDARG;
    case Method::Reserved: return display ? display->Reserved() : E_NOINTERFACE;
    case Method::Write: return display && text ? display->Write(BString(*text).get()) : E_INVALIDARG;
    case Method::SetCustomChar: {
        BYTE rows[8]{};
        for (std::size_t i = 0; i < 8; ++i) {
            const auto* row = Argument<BYTE>(call, i + 1);
            if (!row)
                return E_INVALIDARG;
            rows[i] = *row;
        }
        return display && index ? display->SetCustomChar(*index, rows[0], rows[1], rows[2], rows[3], rows[4], rows[5],
                                                         rows[6], rows[7])
                                : E_INVALIDARG;
    }
    case Method::SetValue: {
        const auto* value = Argument<Variant>(call, 1);
        return plugin.feed && text && value ? plugin.feed->SetValue(BString(*text).get(), *value) : E_INVALIDARG;
    }
    case Method::GetFeedNames:
        return plugin.feed ? AnswerText(plugin.feed->GetFeedNames(out.Out()), out, result) : E_NOINTERFACE;
    case Method::SetBacklight:
        return plugin.power && index ? plugin.power->SetBacklight(*index ? VARIANT_TRUE : VARIANT_FALSE) : E_INVALIDARG;
    case Method::SetBrightness: return plugin.power && index ? plugin.power->SetBrightness(*index) : E_INVALIDARG;
    case Method::GetPowerCaps: return AnswerLong(plugin.power.get(), &IDisplayPower::GetPowerCaps, result);
    case Method::DeviceAppeared:
        return plugin.events && text ? plugin.events->DeviceAppeared(BString(*text).get()) : E_INVALIDARG;
    case Method::Resumed: return plugin.events ? plugin.events->Resumed() : E_NOINTERFACE;
    case Method::GetRom:
        return plugin.characterSet ? AnswerText(plugin.characterSet->GetRom(out.Out()), out, result) : E_NOINTERFACE;
    case Method::AttachDisplay:
    case Method::GetScreens:
    case Method::RenderScreen:
    case Method::ScreenShown: return DispatchScreens(call, plugin.screens.get(), result);
    case Method::ScreenKey: {
        const auto* on = Argument<LONG>(call, 0);
        const auto* screen = Argument<LONG>(call, 1);
        const auto* key = Argument<LONG>(call, 2);
        if (!plugin.screenKeys)
            return E_NOINTERFACE;
        return on && screen && key ? plugin.screenKeys->ScreenKey(*on, *screen, *key) : E_INVALIDARG;
    }
    case Method::WriteUnicode:
        if (!plugin.unicode)
            return E_NOINTERFACE;
        return text ? plugin.unicode->WriteUnicode(BString(*text).get()) : E_INVALIDARG;
    case Method::GetLinkState:
    case Method::GetLedCount:
    case Method::GetLedStates:
    case Method::GetLed:
    case Method::SetLed:
    case Method::GetLastFrameTraffic: return DispatchModuleState(call, plugin, result);
    case Method::AdviseKeys:
        if (!plugin.input || !index)
            return E_INVALIDARG;
        return plugin.input->Advise(*index ? MakeComObject<KeyForwarder>(plugin.eventSocket).get() : nullptr);
    case Method::GetSettingCount: return AnswerLong(plugin.settings.get(), &IPluginSettings::GetSettingCount, result);
    case Method::GetSetting: {
        if (!plugin.settings || !index)
            return E_INVALIDARG;
        BString name, label, defaultValue, help, choices;
        LONG kind = 0, minimum = 0, maximum = 0;
        const HRESULT hr = plugin.settings->GetSetting(*index, name.Out(), label.Out(), &kind, defaultValue.Out(),
                                                       help.Out(), &minimum, &maximum, choices.Out());
        for (BString* part : {&name, &label})
            result.values.emplace_back(std::u16string(part->view()));
        result.values.emplace_back(kind);
        for (BString* part : {&defaultValue, &help})
            result.values.emplace_back(std::u16string(part->view()));
        result.values.emplace_back(minimum);
        result.values.emplace_back(maximum);
        result.values.emplace_back(std::u16string(choices.view()));
        return hr;
    }
    }
    return E_NOTIMPL;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: pixtera-plugin-host FD PARENT_PID EVENT_FD (started by DispatchWrapper.core)\n");
        return 2;
    }
    // Killed with its parent, even when the plug-in is stuck and never reads the socket again.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != static_cast<pid_t>(std::atol(argv[2])))
        return 1; // the parent died before the line above
    const int fd = std::atoi(argv[1]);
    const int eventFd = std::atoi(argv[3]);
    // Nothing of the service's but the sockets: descriptors it opened without close-on-exec stay
    // out of the plug-in's reach.
    close_range(static_cast<unsigned>(std::max(fd, eventFd)) + 1, ~0u, 0);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Plugin plugin;
    plugin.eventSocket = eventFd;
    while (auto message = ReceiveMessage(fd, std::nullopt)) {
        const auto call = DecodeCall(*message);
        if (!call) {
            std::fprintf(stderr, "a malformed call arrived; ending\n");
            return 3;
        }
        Result result;
        result.number = call->number;
        try {
            result.hr = Dispatch(*call, plugin, result);
        } catch (...) {
            std::fprintf(stderr, "the plug-in threw in call %u; ending\n", static_cast<unsigned>(call->method));
            return 4;
        }
        if (!SendMessage(fd, EncodeResult(result)))
            break;
    }
    return 0; // the wrapper closed the link
}
