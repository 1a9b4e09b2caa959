// SPDX-License-Identifier: MIT
// PixteraTest.Misbehaving: a provider and 20x2 display that fails on purpose, for the tests of
// plug-ins hosted in processes of their own. Configuration:
//   fault=segv|abort|hang|exit|throw|stray;on=METHOD;at=N;once=/marker/file;frames=/file;chars=/file;
//   helper=/pid/file;pause=METHOD;gate=/file;leds=N;answers=faulty
// (stray: in a plug-in host, a made-up answer is written to the host's socket before the real one;
// helper: at Configure a child process is left behind, sharing the host's descriptors, its pid
// written to the file)
// The fault strikes in the N-th call (default 1) of METHOD (GetValue, Refresh, Configure, Write,
// SetCustomChar, GetCharHeight); with `once`, only while the marker file does not exist yet (it is made then):
// a plug-in created again behaves. The provider (periodic, 50 ms) offers "Polls", the number of
// its polls; the display appends every frame it gets to `frames`, and every user character it is
// given to `chars` ("code: row row ... row", rows in hex). With `pause`, a plug-in created after
// the fault struck (the `once` marker exists) waits in METHOD until the file `gate` exists, having
// made GATE.waiting: a host held in the middle of its replay. The display has N red/green LEDs
// (none by default), is always linked and reports a fixed traffic; with answers=faulty each of
// those answers is out of range (1000 LEDs, a LED state 9, an outage in a year, negative bytes).

#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/plugin_module.h>

#include <array>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <unistd.h>

#include <filesystem>

namespace {

using namespace pixtera;

// {7E3C1A52-6B4D-4C8E-9F10-2A3B4C5D6E7F}
constexpr CLSID CLSID_Misbehaving{0x7E3C1A52, 0x6B4D, 0x4C8E, {0x9F, 0x10, 0x2A, 0x3B, 0x4C, 0x5D, 0x6E, 0x7F}};
const InprocClass kClass{CLSID_Misbehaving, "PixteraTest.Misbehaving", "Misbehaving test plug-in"};

class Misbehaving final : public ComObject<Misbehaving, IDataProvider, IDisplayDriver, IDisplayLeds, IDisplayLinkState,
                                           IDisplayTraffic, ConfigurablePlugin<Misbehaving>> {
public:
    static constexpr const char16_t* kPluginName = u"Misbehaving";

    void Configured(const ConfigurationText& fields, const std::string&)
    {
        {
            std::lock_guard lock(mutex_);
            fault_ = fields.Text("fault").value_or("");
            method_ = fields.Text("on").value_or("");
            at_ = fields.Number("at", 1, 1000000).value_or(1);
            once_ = fields.Text("once").value_or("");
            frames_ = fields.Text("frames").value_or("");
            chars_ = fields.Text("chars").value_or("");
            pause_ = fields.Text("pause").value_or("");
            gate_ = fields.Text("gate").value_or("");
            ledCount_ = fields.Number("leds", 0, 16).value_or(0);
            faultyAnswers_ = fields.Text("answers").value_or("") == "faulty";
        }
        if (const auto helper = fields.Text("helper"))
            LeaveHelper(*helper);
        Enter("Configure");
    }

    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        Enter("Refresh");
        ++polls_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, 50); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Output(count, 1); }
    HRESULT STDMETHODCALLTYPE GetName(LONG, BSTR* name) override
    {
        *name = BString(std::string_view("Polls")).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG, BSTR* description) override
    {
        *description = BString(std::string_view("Test\\Polls")).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG, VARIANT* value) override
    {
        Enter("GetValue");
        VariantInit(value);
        value->vt = VT_I4;
        value->lVal = polls_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return Output(v, 20); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override { return Output(v, 16); }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override { return Output(v, 100); }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override
    {
        Enter("GetCharHeight");
        return Output(v, 8);
    }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return Output(v, 5); }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return Output(v, 2); }
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG code, BYTE r0, BYTE r1, BYTE r2, BYTE r3, BYTE r4, BYTE r5, BYTE r6,
                                            BYTE r7) override
    {
        Enter("SetCustomChar");
        std::lock_guard lock(mutex_);
        if (chars_.empty())
            return S_OK;
        std::ofstream out(chars_, std::ios::app);
        out << code << ":" << std::hex;
        for (BYTE row : {r0, r1, r2, r3, r4, r5, r6, r7})
            out << " " << static_cast<int>(row);
        out << "\n";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        Enter("Write");
        std::lock_guard lock(mutex_);
        if (!frames_.empty())
            std::ofstream(frames_, std::ios::app) << Utf16ToUtf8(BstrView(frame)) << "\n";
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return Output(v, 0); }

    HRESULT STDMETHODCALLTYPE GetLedCount(LONG* count) override
    {
        std::lock_guard lock(mutex_);
        return Output(count, faultyAnswers_ ? 1000 : ledCount_);
    }
    HRESULT STDMETHODCALLTYPE GetLedStates(LONG index, LONG* states) override
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= ledCount_)
            return E_INVALIDARG;
        return Output(states, faultyAnswers_ ? LONG{1 << 9} : kLedRedGreen);
    }
    HRESULT STDMETHODCALLTYPE GetLed(LONG index, LONG* state) override
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= ledCount_)
            return E_INVALIDARG;
        return Output(state, faultyAnswers_ ? 9 : leds_[static_cast<std::size_t>(index)]);
    }
    HRESULT STDMETHODCALLTYPE SetLed(LONG index, LONG state) override
    {
        std::lock_guard lock(mutex_);
        if (index < 0 || index >= ledCount_ || !LedCanShow(kLedRedGreen, state))
            return E_INVALIDARG;
        leds_[static_cast<std::size_t>(index)] = state;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetLinkState(VARIANT_BOOL* linked, LONGLONG* outageSince) override
    {
        std::lock_guard lock(mutex_);
        *linked = faultyAnswers_ ? VARIANT_FALSE : VARIANT_TRUE;
        *outageSince = faultyAnswers_ ? time(nullptr) + 365 * 86400 : 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetLastFrameTraffic(LONG* bytes, LONG* messages, LONGLONG* clocks,
                                                  LONGLONG* microseconds) override
    {
        std::lock_guard lock(mutex_);
        *bytes = faultyAnswers_ ? -1 : 42;
        *messages = 3;
        *clocks = 6'000'000'000LL;
        *microseconds = 1500;
        return S_OK;
    }

private:
    // Waits at the gate when the script says so.
    void Pause(const std::string& method)
    {
        std::string gate;
        {
            std::lock_guard lock(mutex_);
            std::error_code ec;
            if (method != pause_ || gate_.empty() || once_.empty() || !std::filesystem::exists(once_, ec))
                return;
            gate = gate_;
        }
        std::ofstream(gate + ".waiting") << "waiting\n";
        std::error_code ec;
        for (int wait = 0; wait < 3000 && !std::filesystem::exists(gate, ec); ++wait) // 30 s at most
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    // Counts the call and misbehaves when the script says so.
    void Enter(const std::string& method)
    {
        Pause(method);
        std::string fault;
        {
            std::lock_guard lock(mutex_);
            if (method != method_ || ++counts_[method] != at_)
                return;
            if (!once_.empty()) {
                std::error_code ec;
                if (std::filesystem::exists(once_, ec))
                    return;
                std::ofstream(once_) << "struck\n";
            }
            fault = fault_;
        }
        if (fault == "segv")
            std::raise(SIGSEGV);
        else if (fault == "abort")
            std::abort();
        else if (fault == "exit")
            std::_Exit(7);
        else if (fault == "hang")
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(1));
        else if (fault == "throw")
            throw std::runtime_error("misbehaving on purpose");
        else if (fault == "stray")
            WriteStrayAnswer();
    }

    // A process of the plug-in's that outlives what it was started for, holding everything the
    // plug-in holds open.
    static void LeaveHelper(const std::string& pidFile)
    {
        const pid_t helper = fork();
        if (helper == 0) {
            sleep(60);
            _exit(0);
        }
        std::ofstream(pidFile) << helper;
    }

    // An answer no call asked for, as a host that lost count would send: length 9, a result
    // (kind 2) numbered 0xFFFFFFFF with S_OK and no values, on the host's socket (descriptor 3).
    static void WriteStrayAnswer()
    {
        const unsigned char stray[] = {9, 0, 0, 0, 2, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
        [[maybe_unused]] const auto written = write(3, stray, sizeof stray);
    }

    std::mutex mutex_; // guards the script and the counts
    std::string fault_, method_, once_, frames_, chars_, pause_, gate_;
    long at_ = 1;
    LONG ledCount_ = 0;
    bool faultyAnswers_ = false;
    std::array<LONG, 16> leds_{};
    std::map<std::string, long> counts_;
    std::atomic<LONG> polls_{0};
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(Misbehaving, kClass)
