// SPDX-License-Identifier: MIT
// A display driver for tests: reports the geometry it was configured with
// ("columns=20;rows=4;cellwidth=5;cellheight=8") and records every call it receives. With
// "leds=N" it has N LEDs: the first red and green, the others on or off. With "unicode=1" it takes
// Unicode frames too (IDisplayUnicodeFrame).

#include "call_log.h"

#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_unicode_frame.h>
#include <pixtera/sdk/out_parameter.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/unicode_frame.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

namespace {

using namespace pixtera;

class RecordingDisplay final
    : public ComObject<RecordingDisplay, IDisplayDriver, IDisplayUnicodeFrame, IPluginInfo, ICallLog, IDisplayLeds> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (riid == IID_IDisplayUnicodeFrame && !unicode_) {
            if (object)
                *object = nullptr;
            return E_NOINTERFACE;
        }
        return ComObject::QueryInterface(riid, object);
    }

    // IDisplayDriver
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return Answer("GetColumns", columns_, v); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override
    {
        return Answer("GetPixelHeight", rows_ * cellHeight_, v);
    }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override
    {
        return Answer("GetPixelWidth", columns_ * cellWidth_, v);
    }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override { return Answer("GetCharHeight", cellHeight_, v); }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return Answer("GetCharWidth", cellWidth_, v); }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return Answer("GetRows", rows_, v); }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR file) override
    {
        Record("SetBackground " + Utf16ToUtf8(BstrView(file)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reserved() override
    {
        Record("Reserved");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        std::ostringstream line;
        line << "SetCustomChar " << code;
        for (BYTE row : {r0, r1, r2, r3, r4, r5, r6, r7})
            line << ' ' << int{row};
        Record(line.str());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        // Frames are bytes; control codes are shown as \xNN so lines stay lines.
        std::string text;
        for (char16_t c : BstrView(frame)) {
            if (c < 32 || c == '\\') {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
                text += escaped;
            } else {
                text += Utf16ToUtf8(std::u16string_view(&c, 1));
            }
        }
        Record("Write " + text);
        return S_OK;
    }
    // IDisplayUnicodeFrame: the frame's text in UTF-8, controls as in Write.
    HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) override
    {
        std::string text;
        for (char32_t c : lcd::FrameCells(BstrView(frame), BstrView(frame).size())) {
            if (c < 32 || c == '\\') {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(c));
                text += escaped;
            } else {
                AppendUtf8(text, c);
            }
        }
        Record("WriteUnicode " + text);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* value) override { return Answer("LoaderQuery", 7, value); }

    // IPluginInfo
    HRESULT STDMETHODCALLTYPE EditConfiguration(VARIANT_BOOL* accepted) override
    {
        Record("EditConfiguration");
        if (!accepted)
            return E_POINTER;
        *accepted = VARIANT_TRUE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPluginName(BSTR* name) override
    {
        Record("GetPluginName");
        if (!name)
            return E_POINTER;
        *name = SysAllocString(u"Recording display");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConfiguration(BSTR* configuration) override
    {
        Record("GetConfiguration");
        if (!configuration)
            return E_POINTER;
        *configuration = BString(configuration_).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Configure(BSTR configuration) override
    {
        configuration_ = Utf16ToUtf8(BstrView(configuration));
        Record("Configure " + configuration_);
        ParseConfiguration();
        return S_OK;
    }

    // IDisplayLeds
    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, leds_);
    }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        std::lock_guard lock(mutex_);
        return index < 0 || index >= leds_ ? E_INVALIDARG : Output(states, StatesOf(index));
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        std::lock_guard lock(mutex_);
        return index < 0 || index >= leds_ ? E_INVALIDARG : Output(state, ledStates_[static_cast<std::size_t>(index)]);
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        {
            std::lock_guard lock(mutex_);
            if (index < 0 || index >= leds_ || !LedCanShow(StatesOf(index), state))
                return E_INVALIDARG;
            ledStates_[static_cast<std::size_t>(index)] = state;
        }
        Record("SetLed " + std::to_string(index) + " " + std::string(LedStateName(state)));
        return S_OK;
    }

    // ICallLog
    HRESULT STDMETHODCALLTYPE GetCalls(BSTR* lines) override
    {
        if (!lines)
            return E_POINTER;
        std::lock_guard lock(mutex_);
        *lines = BString(calls_).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ClearCalls() override
    {
        std::lock_guard lock(mutex_);
        calls_.clear();
        return S_OK;
    }

private:
    static LONG StatesOf(LONG index) { return index == 0 ? kLedRedGreen : kLedOnOff; }

    HRESULT Answer(const char* method, LONG value, LONG* out)
    {
        Record(method);
        if (!out)
            return E_POINTER;
        *out = value;
        return S_OK;
    }

    void Record(const std::string& call)
    {
        std::ostringstream line;
        line << call << " @" << std::this_thread::get_id() << '\n';
        std::lock_guard lock(mutex_);
        calls_ += line.str();
    }

    void ParseConfiguration()
    {
        std::istringstream fields(configuration_);
        std::string field;
        while (std::getline(fields, field, ';')) {
            const auto equals = field.find('=');
            if (equals == std::string::npos)
                continue;
            const std::string name = field.substr(0, equals);
            LONG value = 0;
            const auto text = field.substr(equals + 1);
            if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc())
                continue;
            if (name == "columns")
                columns_ = value;
            else if (name == "rows")
                rows_ = value;
            else if (name == "cellwidth")
                cellWidth_ = value;
            else if (name == "cellheight")
                cellHeight_ = value;
            else if (name == "leds") {
                std::lock_guard lock(mutex_);
                leds_ = std::clamp<LONG>(value, 0, static_cast<LONG>(ledStates_.size()));
            } else if (name == "unicode")
                unicode_ = value != 0;
        }
    }

    std::mutex mutex_; // guards calls_, leds_ and ledStates_
    std::string calls_;
    std::string configuration_;
    LONG columns_ = 20;
    LONG rows_ = 4;
    LONG cellWidth_ = 5;
    LONG cellHeight_ = 8;
    LONG leds_ = 0; // guarded by mutex_, with ledStates_
    std::array<LONG, 8> ledStates_{};
    std::atomic<bool> unicode_{false};
};

RegistrationScript Script()
{
    const std::string clsid = FormatGuid(CLSID_RecordingDisplay);
    return {
        .entries = {{"PixteraTest.RecordingDisplay", "", "Recording display"},
                    {"PixteraTest.RecordingDisplay\\CLSID", "", clsid},
                    {"CLSID\\" + clsid, "", "Recording display"},
                    {"CLSID\\" + clsid + "\\ProgID", "", "PixteraTest.RecordingDisplay"},
                    {"CLSID\\" + clsid + "\\InprocServer32", "", "%MODULE%"},
                    {"CLSID\\" + clsid + "\\InprocServer32", "ThreadingModel", "Both"}},
        .recreateKeys = {"CLSID\\" + clsid},
        .sharedParents = {"CLSID"},
    };
}

Substitutions ModuleSubstitutions() { return {{"MODULE", PIXTERA_THIS_MODULE_PATH().string()}}; }

} // namespace

PX_MODULE_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    return GetClassObjectOf<RecordingDisplay>(CLSID_RecordingDisplay, clsid, riid, object);
}

PX_MODULE_EXPORT HRESULT DllCanUnloadNow() { return ModuleInUse() ? S_FALSE : S_OK; }

PX_MODULE_EXPORT HRESULT DllRegisterServer() { return RegisterScript(Script(), ModuleSubstitutions()); }

PX_MODULE_EXPORT HRESULT DllUnregisterServer() { return UnregisterScript(Script(), ModuleSubstitutions()); }
