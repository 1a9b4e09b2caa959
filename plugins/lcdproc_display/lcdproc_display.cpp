// SPDX-License-Identifier: MIT
// Pixtera.LCDprocDisplay: drives any display that LCDd (LCDproc's server) supports, through its
// client protocol. Configuration: host=127.0.0.1;port=13666;priority=foreground;columns=20;rows=4
// (all optional; columns and rows answer until LCDd has told its own).

#include "lcd_commands.h"
#include "lcdd_link.h"
#include "lcdd_settings.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/platform/thread.h>
#include <pixtera/sdk/character_grid_driver.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/display_power.h>
#include <pixtera/sdk/plugin_module.h>

#include <pixtera/platform/unique_fd.h>

#include <sys/eventfd.h>

#include <mutex>
#include <thread>

namespace {

using namespace pixtera;
using namespace std::chrono_literals;

// {1E4B7C9D-3A2F-4D68-9B1C-8E7F6A5D4C31}
constexpr CLSID CLSID_LCDprocDisplay{0x1E4B7C9D, 0x3A2F, 0x4D68, {0x9B, 0x1C, 0x8E, 0x7F, 0x6A, 0x5D, 0x4C, 0x31}};
const InprocClass kClass{CLSID_LCDprocDisplay, lcdproc::kLcddDriver.progId, "LCDproc display"};

constexpr auto kRetryPeriod = 1000ms;
constexpr auto kConnectLimit = 1000ms;
constexpr auto kReplyLimit = 2000ms;
// Configure asks LCDd for its size before the service asks for the geometry, briefly.
constexpr auto kProbeConnectLimit = 500ms;
constexpr auto kProbeReplyLimit = 500ms;
// LCDd answers each command at once: more left unanswered is no LCDd to wait for.
constexpr std::size_t kMostAwaited = 256;
// However much LCDd says, the worker reads this many lines before it looks at frames and stop.
constexpr int kMostLinesPerDrain = 64;

std::string SizeText(const lcdproc::Geometry& geometry)
{
    return std::to_string(geometry.columns) + "x" + std::to_string(geometry.rows);
}

std::string Address(const std::string& host, int port) { return host + ":" + std::to_string(port); }

// LCDd's geometry from a short connection; none when it cannot be had quickly.
std::optional<lcdproc::Geometry> ProbeGeometry(const std::string& host, int port, lcdproc::Geometry geometry)
{
    lcdproc::LcddLink link;
    if (!link.Connect(host, port, kProbeConnectLimit) || !link.Send("hello\n"))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() + kProbeReplyLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const auto line = link.ReadLine(left);
        if (!line)
            return std::nullopt;
        if (lcdproc::ParseConnectReply(*line, geometry))
            return geometry;
    }
    return std::nullopt;
}

struct Settings {
    std::string host = "127.0.0.1";
    int port = 13666;
    std::string priority = "foreground";
    lcdproc::Geometry geometry;
};

class LCDprocDisplay final : public ComObject<LCDprocDisplay, CharacterGridDriver, IDisplayPower,
                                              ConfigurablePlugin<LCDprocDisplay>, DescribedSettings<LCDprocDisplay>> {
public:
    static constexpr const auto& kSettings = lcdproc::kLcddSettings;

    static constexpr const char16_t* kPluginName = u"LCDproc display";

    ~LCDprocDisplay()
    {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        Wake();
        if (worker_.joinable())
            worker_.join();
    }

    // LCDd clients cannot define characters; the bar and the others get stand-ins.
    HRESULT STDMETHODCALLTYPE SetCustomChar(LONG, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE) override
    {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(BSTR frame) override
    {
        std::string bytes = Utf16ToAnsi(BstrView(frame));
        {
            std::lock_guard lock(mutex_);
            frame_ = std::move(bytes);
            frameChanged_ = true;
        }
        Wake(); // the worker sends it; the caller never waits for the network
        return S_OK;
    }

    // IDisplayPower: the screen's backlight, which LCDd switches while the screen is shown.
    HRESULT STDMETHODCALLTYPE SetBacklight(VARIANT_BOOL on) override
    {
        {
            std::lock_guard lock(mutex_);
            backlight_ = on != 0;
            backlightChanged_ = true;
        }
        Wake();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBrightness(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetPowerCaps(LONG* caps) override { return Output(caps, kPowerBacklight); }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        bool invalid = false;
        Settings settings;
        settings.host = fields.Text("host").value_or(settings.host);
        settings.port = fields.Number("port", 1, 65535, &invalid).value_or(13666);
        settings.priority = fields.Text("priority").value_or(settings.priority);
        const CharacterGrid grid = ReadCharacterGrid(fields, 256, &invalid, false);
        settings.geometry.columns = grid.columns;
        settings.geometry.rows = grid.rows;
        if (invalid)
            LogWarning("LCDproc display: unusable values in \"" + text + "\"; defaults are used for them");
        // The service asks for the geometry once, right after this: learn LCDd's size now.
        if (const auto actual = ProbeGeometry(settings.host, settings.port, settings.geometry)) {
            if (actual->columns != settings.geometry.columns || actual->rows != settings.geometry.rows)
                LogWarning("LCDproc display: LCDd's display is " + SizeText(*actual) + ", the configuration says " +
                           SizeText(settings.geometry) + "; using " + SizeText(*actual) + " (set columns=" +
                           std::to_string(actual->columns) + ";rows=" + std::to_string(actual->rows) + " to match)");
            settings.geometry = *actual;
        }
        Publish(settings.geometry);
        {
            std::lock_guard lock(mutex_);
            settings_ = settings;
            settingsChanged_ = true;
        }
        Wake();
        if (!worker_.joinable())
            worker_ = std::thread([this] {
                NameThisThread("px-lcdd");
                Work();
            });
    }

private:
    void Publish(const lcdproc::Geometry& geometry)
    {
        SetGrid({geometry.columns, geometry.rows, geometry.cellWidth, geometry.cellHeight});
    }

    // The worker: connects (again and again while LCDd is away), sets the screen up and sends
    // the newest frame's changed rows. It sleeps on LCDd's socket and the wake-up, with no
    // deadline while connected and the next attempt's while not.
    void Work()
    {
        lcdproc::LcddLink link;
        std::optional<lcdproc::FrameCommands> commands;
        Settings settings;
        std::optional<bool> backlight; // none: as LCDd has it
        bool backlightSent = false;
        bool pause = false; // a link we dropped is tried again after the usual pause
        while (true) {
            std::string frame;
            {
                std::lock_guard lock(mutex_);
                if (stopping_)
                    return;
                if (settingsChanged_) {
                    settings = settings_;
                    settingsChanged_ = false;
                    link.Close();
                }
                frame = frame_;
                frameChanged_ = false;
                backlight = backlight_;
                if (std::exchange(backlightChanged_, false))
                    backlightSent = false;
            }
            if (!link.connected()) {
                if (wasConnected_) { // lost it: said once, until it is back
                    LogWarning("LCDproc display: LCDd at " + Address(settings.host, settings.port) +
                               " closed the connection; trying again every second");
                    wasConnected_ = false;
                    outageReported_ = true;
                }
                if (std::exchange(pause, false)) {
                    WaitToRetry(link);
                    continue;
                }
                if (!Connect(link, settings, commands)) {
                    if (!Interrupted())
                        WaitToRetry(link);
                    continue;
                }
                frame = CurrentFrame(); // resend what is shown now
                backlightSent = false;
            }
            DrainReplies(link, *commands, 0ms);
            if (pendingRows_.size() >= kMostAwaited) {
                Unanswered(link, *commands, settings);
                pause = true;
                continue;
            }
            if (!frame.empty())
                Send(link, *commands, frame);
            if (backlight && !backlightSent) {
                pendingRows_.push_back(-1);
                backlightSent = link.Send(std::string("screen_set ") + lcdproc::kScreen + " -backlight " +
                                          (*backlight ? "on" : "off") + "\n");
            }
            if (link.connected() && link.Wait(wake_.get(), std::nullopt) == lcdproc::LcddLink::Woken::Wake)
                TakeWake();
        }
    }

    void Wake() { eventfd_write(wake_.get(), 1); }
    void TakeWake()
    {
        eventfd_t count = 0;
        eventfd_read(wake_.get(), &count);
    }

    // Until the next attempt to connect; sooner only to stop or for new settings (frames wait).
    void WaitToRetry(const lcdproc::LcddLink& link)
    {
        const auto until = std::chrono::steady_clock::now() + kRetryPeriod;
        for (auto now = std::chrono::steady_clock::now(); now < until; now = std::chrono::steady_clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now);
            if (link.Wait(wake_.get(), left) != lcdproc::LcddLink::Woken::Wake)
                return;
            TakeWake();
            std::lock_guard lock(mutex_);
            if (stopping_ || settingsChanged_)
                return;
        }
    }

    std::string CurrentFrame()
    {
        std::lock_guard lock(mutex_);
        frameChanged_ = false;
        return frame_;
    }

    // Reports the first failure of an outage, with its reason.
    bool ConnectFailed(const Settings& settings, const std::string& reason)
    {
        if (!outageReported_)
            LogWarning("LCDproc display: cannot reach LCDd at " + Address(settings.host, settings.port) + ": " +
                       reason + "; trying again every second");
        outageReported_ = true;
        return false;
    }

    // LCDd's answer to hello, within kReplyLimit however many other lines come first; given up at
    // once to stop or for new settings. A frame or backlight meanwhile wakes the worker again after.
    enum class Greeting { Answered, Missing, Interrupted };
    Greeting AwaitGreeting(lcdproc::LcddLink& link, lcdproc::Geometry& geometry)
    {
        bool woken = false;
        const Greeting greeting = ReadGreeting(link, geometry, woken);
        if (woken)
            Wake();
        return greeting;
    }
    Greeting ReadGreeting(lcdproc::LcddLink& link, lcdproc::Geometry& geometry, bool& woken)
    {
        const auto deadline = std::chrono::steady_clock::now() + kReplyLimit;
        for (auto now = deadline - kReplyLimit; now < deadline; now = std::chrono::steady_clock::now()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            if (link.Wait(wake_.get(), left) == lcdproc::LcddLink::Woken::Wake) {
                TakeWake();
                if (Interrupted())
                    return Greeting::Interrupted;
                woken = true;
                continue;
            }
            const auto line = link.ReadLine(0ms);
            if (!link.connected())
                return Greeting::Missing;
            if (line && lcdproc::ParseConnectReply(*line, geometry))
                return Greeting::Answered;
        }
        return Greeting::Missing;
    }
    bool Interrupted()
    {
        std::lock_guard lock(mutex_);
        return stopping_ || settingsChanged_;
    }
    bool Connect(lcdproc::LcddLink& link, const Settings& settings, std::optional<lcdproc::FrameCommands>& commands)
    {
        std::string reason;
        if (!link.Connect(settings.host, settings.port, kConnectLimit, &reason))
            return ConnectFailed(settings, reason);
        if (!link.Send("hello\n"))
            return ConnectFailed(settings, "the connection closed at once");
        lcdproc::Geometry geometry = settings.geometry;
        switch (AwaitGreeting(link, geometry)) {
        case Greeting::Answered: break;
        case Greeting::Interrupted: link.Close(); return false;
        case Greeting::Missing: link.Close(); return ConnectFailed(settings, "it did not answer the greeting");
        }
        if (const CharacterGrid made = Grid(); geometry.columns != made.columns || geometry.rows != made.rows) {
            LogWarning("LCDproc display: LCDd's display is " + SizeText(geometry) + " but the frames are made for " +
                       std::to_string(made.columns) + "x" + std::to_string(made.rows) +
                       ": set columns=" + std::to_string(geometry.columns) + ";rows=" + std::to_string(geometry.rows) +
                       " in the configuration of Pixtera.LCDprocDisplay and restart the service");
        }
        Publish(geometry);
        commands.emplace(geometry);
        const auto setupCommands = commands->Setup(settings.priority);
        std::string setup;
        for (const auto& command : setupCommands)
            setup += command + "\n";
        pendingRows_.assign(setupCommands.size(), -1);
        if (!link.Send(setup)) {
            return false;
        }
        LogInformation(std::string("LCDproc display: ") + (outageReported_ ? "connected again" : "connected") +
                       " to LCDd at " + Address(settings.host, settings.port));
        outageReported_ = false;
        wasConnected_ = true;
        return true;
    }

    void Send(lcdproc::LcddLink& link, lcdproc::FrameCommands& commands, const std::string& frame)
    {
        std::vector<int> rows;
        const auto update = commands.Update(frame, rows);
        if (update.empty())
            return;
        std::string batch;
        for (const auto& command : update)
            batch += command + "\n";
        pendingRows_.insert(pendingRows_.end(), rows.begin(), rows.end());
        if (!link.Send(batch)) // all rows go again after the reconnect
            commands.ForgetAll();
    }

    // Ends a link on which LCDd left too many commands unanswered, said once for each.
    void Unanswered(lcdproc::LcddLink& link, lcdproc::FrameCommands& commands, const Settings& settings)
    {
        LogWarning("LCDproc display: LCDd at " + Address(settings.host, settings.port) + " left " +
                   std::to_string(pendingRows_.size()) + " commands unanswered; connecting again in a second");
        link.Close();
        commands.ForgetAll();
        pendingRows_.clear();
        wasConnected_ = false;
        outageReported_ = true;
    }

    // Replies come in the order of the commands; LCDd's own notices ("listen", "ignore") do not
    // answer any command. What is left after kMostLinesPerDrain waits for the next turn.
    void DrainReplies(lcdproc::LcddLink& link, lcdproc::FrameCommands& commands, std::chrono::milliseconds limit)
    {
        for (int lines = 0; lines < kMostLinesPerDrain; ++lines) {
            const auto line = link.ReadLine(limit);
            if (!line)
                break;
            const bool success = *line == "success";
            const bool refused = line->rfind("huh?", 0) == 0;
            if (!success && !refused)
                continue;
            const int row = pendingRows_.empty() ? -1 : pendingRows_.front();
            if (!pendingRows_.empty())
                pendingRows_.erase(pendingRows_.begin());
            if (refused) {
                LogWarning("LCDproc display: LCDd answered \"" + *line + "\"");
                commands.Forget(row);
            }
        }
        if (!link.connected()) {
            commands.ForgetAll();
            pendingRows_.clear();
        }
    }

    std::mutex mutex_; // guards the fields down to backlightChanged_
    bool stopping_ = false;
    Settings settings_;
    bool settingsChanged_ = false;
    std::string frame_;
    bool frameChanged_ = false;
    std::optional<bool> backlight_;
    bool backlightChanged_ = false;
    // Written after any of the fields above changed; the worker sleeps on it beside LCDd's socket.
    const UniqueFd wake_{eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};

    // worker only: the row of each command awaiting its reply, at most kMostAwaited and a frame's
    std::vector<int> pendingRows_;
    bool wasConnected_ = false; // worker only
    bool outageReported_ = false; // worker only: the current outage has been logged
    std::thread worker_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(LCDprocDisplay, kClass)
