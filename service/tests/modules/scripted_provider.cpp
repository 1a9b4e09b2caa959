// SPDX-License-Identifier: MIT
// Data providers for tests, scripted through their configuration text:
//   mode=2;interval=50;items=A:1.5,B:hello;failvalue=3;throwon=GetValue@3;shrinkto=1@2;display=yes
// items: name:value pairs (numbers become doubles, the rest text), described as "Test\<name>";
// failvalue=N: GetValue fails from the N-th poll on; throwon=Method@N: that method throws on
// its N-th call; hangon=Method@N with hangms=T: that call takes T ms; shrinkto=K@N: from the
// N-th poll on GetCount answers K.
// Every call is recorded with its thread (ICallLog). PixteraTest.ScriptedProvider also drives a
// 20x4 display; PixteraTest.BareProvider has no IPluginInfo and offers "Bare" = 7.

#include "call_log.h"

#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/plugin_module.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <map>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pixtera;

// {4C1E2F2B-8E0B-4B0A-9A61-0B7B3B2A6C11}
constexpr CLSID CLSID_ScriptedProvider{0x4C1E2F2B, 0x8E0B, 0x4B0A, {0x9A, 0x61, 0x0B, 0x7B, 0x3B, 0x2A, 0x6C, 0x11}};
// {4C1E2F2B-8E0B-4B0A-9A61-0B7B3B2A6C12}
constexpr CLSID CLSID_BareProvider{0x4C1E2F2B, 0x8E0B, 0x4B0A, {0x9A, 0x61, 0x0B, 0x7B, 0x3B, 0x2A, 0x6C, 0x12}};

struct Item {
    std::string name;
    std::string value;
};

class CallRecorder {
public:
    // Counts the call and records it; throws when the script says this call throws.
    void Enter(const std::string& method, const std::string& arguments = {})
    {
        int count = 0;
        {
            std::lock_guard lock(mutex_);
            count = ++counts_[method];
            std::ostringstream line;
            line << method << (arguments.empty() ? "" : " " + arguments) << " @" << std::this_thread::get_id() << '\n';
            calls_ += line.str();
        }
        if (method == hangMethod && count == hangAt)
            std::this_thread::sleep_for(std::chrono::milliseconds(hangMs));
        if (method == throwMethod && count == throwAt)
            throw std::runtime_error("scripted fault in " + method);
    }
    int Count(const std::string& method)
    {
        std::lock_guard lock(mutex_);
        return counts_[method];
    }
    HRESULT Calls(BSTR* lines)
    {
        std::lock_guard lock(mutex_);
        *lines = BString(calls_).Detach();
        return S_OK;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
    }

    std::string throwMethod;
    int throwAt = 0;
    std::string hangMethod;
    int hangAt = 0;
    int hangMs = 0;

private:
    std::mutex mutex_;
    std::map<std::string, int> counts_;
    std::string calls_;
};

class ProviderScript {
public:
    void Parse(const std::string& text)
    {
        std::istringstream fields(text);
        for (std::string field; std::getline(fields, field, ';');) {
            const auto equals = field.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string key = field.substr(0, equals);
            const std::string value = field.substr(equals + 1);
            if (key == "mode")
                mode = std::stoi(value);
            else if (key == "interval")
                interval = std::stoi(value);
            else if (key == "failvalue")
                failValueFrom = std::stoi(value);
            else if (key == "items")
                ParseItems(value);
            else if (key == "throwon") {
                recorder.throwMethod = value.substr(0, value.find('@'));
                recorder.throwAt = std::stoi(value.substr(value.find('@') + 1));
            } else if (key == "hangon") {
                recorder.hangMethod = value.substr(0, value.find('@'));
                recorder.hangAt = std::stoi(value.substr(value.find('@') + 1));
            } else if (key == "hangms") {
                recorder.hangMs = std::stoi(value);
            } else if (key == "leds") {
                leds = std::clamp(std::stoi(value), 0, 8);
            } else if (key == "shrinkto") {
                shrinkTo = std::stoi(value.substr(0, value.find('@')));
                shrinkFrom = std::stoi(value.substr(value.find('@') + 1));
            }
        }
    }

    void ParseItems(const std::string& text)
    {
        items.clear();
        std::istringstream list(text);
        for (std::string entry; std::getline(list, entry, ',');) {
            const auto colon = entry.find(':');
            items.push_back({entry.substr(0, colon), colon == std::string::npos ? "" : entry.substr(colon + 1)});
        }
    }

    LONG mode = 2;
    LONG interval = 1000;
    int failValueFrom = 0;
    int shrinkTo = -1;
    int leds = 0; // as a display: the first red and green, the others on or off
    int shrinkFrom = 0;
    std::vector<Item> items = {{"Bare", "7"}};
    CallRecorder recorder;
};

// The IDataProvider side, shared by both classes.
class ProviderCore {
public:
    HRESULT DoRefresh()
    {
        script_.recorder.Enter("Refresh");
        return S_OK;
    }
    HRESULT DoGetUpdateMode(LONG* mode)
    {
        script_.recorder.Enter("GetUpdateMode");
        *mode = script_.mode;
        return S_OK;
    }
    HRESULT DoGetInterval(LONG* interval)
    {
        script_.recorder.Enter("GetInterval");
        *interval = script_.interval;
        return S_OK;
    }
    HRESULT DoGetCount(LONG* count)
    {
        script_.recorder.Enter("GetCount");
        const int poll = script_.recorder.Count("Refresh");
        const bool shrunk = script_.shrinkTo >= 0 && poll >= script_.shrinkFrom;
        *count = static_cast<LONG>(shrunk ? static_cast<std::size_t>(script_.shrinkTo) : script_.items.size());
        return S_OK;
    }
    HRESULT DoGetName(LONG index, BSTR* name)
    {
        script_.recorder.Enter("GetName", std::to_string(index));
        if (index < 0 || static_cast<std::size_t>(index) >= script_.items.size())
            return E_FAIL;
        *name = BString(std::string_view(script_.items[static_cast<std::size_t>(index)].name)).Detach();
        return S_OK;
    }
    HRESULT DoGetDescription(LONG index, BSTR* description)
    {
        script_.recorder.Enter("GetDescription", std::to_string(index));
        if (index < 0 || static_cast<std::size_t>(index) >= script_.items.size())
            return E_FAIL;
        *description = BString("Test\\" + script_.items[static_cast<std::size_t>(index)].name).Detach();
        return S_OK;
    }
    HRESULT DoGetValue(LONG index, VARIANT* value)
    {
        script_.recorder.Enter("GetValue", std::to_string(index));
        VariantInit(value);
        const int poll = script_.recorder.Count("Refresh");
        if (script_.failValueFrom > 0 && poll >= script_.failValueFrom)
            return E_FAIL;
        if (index < 0 || static_cast<std::size_t>(index) >= script_.items.size())
            return E_FAIL;
        // The poll number is appended to texts, so tests see which poll a value came from.
        const std::string& text = script_.items[static_cast<std::size_t>(index)].value;
        double number = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (!text.empty() && ec == std::errc() && end == text.data() + text.size()) {
            value->vt = VT_R8;
            value->dblVal = number;
        } else {
            value->vt = VT_BSTR;
            value->bstrVal = BString(text + "#" + std::to_string(poll)).Detach();
        }
        return S_OK;
    }

protected:
    ProviderScript script_;
};

#define PIXTERA_FORWARD_PROVIDER                                                                                       \
    HRESULT STDMETHODCALLTYPE Refresh() override { return DoRefresh(); }                                               \
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* m) override { return DoGetUpdateMode(m); }                           \
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* i) override { return DoGetInterval(i); }                               \
    HRESULT STDMETHODCALLTYPE GetCount(LONG* c) override { return DoGetCount(c); }                                     \
    HRESULT STDMETHODCALLTYPE GetName(LONG i, BSTR* n) override { return DoGetName(i, n); }                            \
    HRESULT STDMETHODCALLTYPE GetDescription(LONG i, BSTR* d) override { return DoGetDescription(i, d); }              \
    HRESULT STDMETHODCALLTYPE GetValue(LONG i, VARIANT* v) override { return DoGetValue(i, v); }                       \
    HRESULT STDMETHODCALLTYPE GetCalls(BSTR* lines) override { return script_.recorder.Calls(lines); }                 \
    HRESULT STDMETHODCALLTYPE ClearCalls() override                                                                    \
    {                                                                                                                  \
        script_.recorder.Clear();                                                                                      \
        return S_OK;                                                                                                   \
    }

// Takes the service's arrival sink; a test pokes its own IDataArrivalSink, as a message from
// outside would, and the service's sink is called.
class ScriptedProvider final : public ComObject<ScriptedProvider, IDataProvider, IPluginInfo, ICallLog, IDisplayDriver,
                                                IDataEvents, IItemArrivalSink, IDisplayTraffic, IDisplayLeds>,
                               private ProviderCore {
public:
    PIXTERA_FORWARD_PROVIDER

    HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) override
    {
        script_.recorder.Enter(sink ? "Advise" : "Advise none");
        std::lock_guard lock(sinkMutex_);
        sink_ = ComPtr<IDataArrivalSink>(sink);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ValuesArrived() override
    {
        std::lock_guard lock(sinkMutex_);
        return sink_ ? sink_->ValuesArrived() : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ItemsArrived(LONG count, const LONG* indices) override
    {
        std::lock_guard lock(sinkMutex_);
        const auto items = sink_ ? sink_.As<IItemArrivalSink>() : ComPtr<IItemArrivalSink>();
        return items ? items->ItemsArrived(count, indices) : E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL* ok) override
    {
        *ok = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) override
    {
        *name = SysAllocString(u"Scripted provider");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* text) override
    {
        *text = SysAllocString(u"");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR text) override
    {
        script_.Parse(Utf16ToUtf8(BstrView(text)));
        script_.recorder.Enter("Configure", Utf16ToUtf8(BstrView(text)));
        return S_OK;
    }

    // A 20 x 4 display that only records.
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return Answer(20, v); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override { return Answer(32, v); }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override { return Answer(100, v); }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override { return Answer(8, v); }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return Answer(5, v); }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return Answer(4, v); }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        script_.recorder.Enter("Write");
        std::lock_guard lock(trafficMutex_);
        lastFrameLength_ = static_cast<LONG>(BstrView(frame).size());
        return S_OK;
    }
    // As if measured on a link: a frame of n characters is n bytes in one message, 9n + 20 bus
    // clocks and 10n microseconds.
    HRESULT STDMETHODCALLTYPE GetLastFrameTraffic(LONG* bytes, LONG* messages, LONGLONG* clocks,
                                                  LONGLONG* microseconds) override
    {
        std::lock_guard lock(trafficMutex_);
        *bytes = lastFrameLength_;
        *messages = 1;
        *clocks = 9LL * lastFrameLength_ + 20;
        *microseconds = 10LL * lastFrameLength_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override { return Answer(script_.leds, count); }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        if (index < 0 || index >= script_.leds)
            return E_INVALIDARG;
        return Answer(index == 0 ? kLedRedGreen : kLedOnOff, states);
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        if (index < 0 || index >= script_.leds)
            return E_INVALIDARG;
        std::lock_guard lock(ledMutex_);
        return Answer(ledStates_[static_cast<std::size_t>(index)], state);
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        if (index < 0 || index >= script_.leds || !LedCanShow(index == 0 ? kLedRedGreen : kLedOnOff, state))
            return E_INVALIDARG;
        script_.recorder.Enter("SetLed", std::to_string(index) + " " + std::to_string(state));
        std::lock_guard lock(ledMutex_);
        ledStates_[static_cast<std::size_t>(index)] = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override
    {
        script_.recorder.Enter("LoaderQuery");
        return Answer(0, v);
    }

private:
    static HRESULT Answer(LONG value, LONG* out)
    {
        *out = value;
        return S_OK;
    }

    std::mutex sinkMutex_; // guards sink_
    ComPtr<IDataArrivalSink> sink_;
    std::mutex trafficMutex_; // guards lastFrameLength_
    LONG lastFrameLength_ = 0;
    std::mutex ledMutex_; // guards ledStates_
    std::array<LONG, 8> ledStates_{};
};

class BareProvider final : public ComObject<BareProvider, IDataProvider, ICallLog>, private ProviderCore {
public:
    PIXTERA_FORWARD_PROVIDER
};

RegistrationScript Script()
{
    const std::string scripted = FormatGuid(CLSID_ScriptedProvider);
    const std::string bare = FormatGuid(CLSID_BareProvider);
    return {
        .entries = {{"PixteraTest.ScriptedProvider\\CLSID", "", scripted},
                    {"CLSID\\" + scripted + "\\InprocServer32", "", "%MODULE%"},
                    {"PixteraTest.BareProvider\\CLSID", "", bare},
                    {"CLSID\\" + bare + "\\InprocServer32", "", "%MODULE%"}},
        .recreateKeys = {"CLSID\\" + scripted, "CLSID\\" + bare},
        .sharedParents = {"CLSID"},
    };
}

} // namespace

PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    if (clsid == CLSID_BareProvider)
        return GetClassObjectOf<BareProvider>(CLSID_BareProvider, clsid, riid, object);
    return GetClassObjectOf<ScriptedProvider>(CLSID_ScriptedProvider, clsid, riid, object);
}

PX_MODULE_EXPORT HRESULT DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

PX_MODULE_EXPORT HRESULT DllRegisterServer()
{
    return RegisterScript(Script(), {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()}});
}

PX_MODULE_EXPORT HRESULT DllUnregisterServer()
{
    return UnregisterScript(Script(), {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()}});
}
