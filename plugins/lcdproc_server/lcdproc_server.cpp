// SPDX-License-Identifier: MIT
// Pixtera.LCDprocServer: a server of LCDd's client protocol, so that LCDd's clients show their
// screens on Pixtera's displays, taking turns with the displays' queues. Configuration:
// listen=127.0.0.1:13666;display=all;utf8=no;clients=32 (all optional).

#include "server_settings.h"
#include "server_state.h"
#include "socket_server.h"
#include "utf8_text.h"

#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/configurable_plugin.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_names.h>
#include <pixtera/sdk/out_parameter.h>
#include <pixtera/sdk/plugin_module.h>
#include <pixtera/sdk/screen_source.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::lcdproc;

// {81AB40D3-DDAB-4E88-A946-29F9D68FEE02}
constexpr CLSID CLSID_LCDprocServer{0x81AB40D3, 0xDDAB, 0x4E88, {0xA9, 0x46, 0x29, 0xF9, 0xD6, 0x8F, 0xEE, 0x02}};
const InprocClass kClass{CLSID_LCDprocServer, "Pixtera.LCDprocServer", "LCDproc server"};

class LCDprocServer final : public ComObject<LCDprocServer, IScreenSource, IScreenKeys,
                                             ConfigurablePlugin<LCDprocServer>, DescribedSettings<LCDprocServer>> {
public:
    static constexpr SettingDescription kSettings[] = {
        {"listen", "Listen on", kSettingText, "127.0.0.1:13666",
         "Address and port clients connect to; only a loopback address keeps other machines out"},
        {"display", "Displays", kSettingText, "all", "The display's number (from 0), or all of them"},
        {"utf8", "UTF-8 texts", kSettingFlag, "no", "Clients send UTF-8 (else Latin-1)", 0, 0, "yes|no"},
        {"clients", "Clients", kSettingInteger, "32", "How many clients may be connected at once", 1, 1024},
    };
    static constexpr const char16_t* kPluginName = u"LCDproc server";

    ~LCDprocServer()
    {
        server_.reset(); // its thread ends before the state goes
    }

    void Configured(const ConfigurationText& fields, const std::string& text)
    {
        std::string problems;
        const ServerSettings settings = ReadServerSettings(fields, problems);
        if (!problems.empty())
            LogWarning("LCDproc server: unusable " + problems + " in \"" + text + "\"; defaults are used for them");
        if (state_) {
            LogWarning("LCDproc server: a new configuration takes effect when the service starts again");
            return;
        }
        settings_ = settings;
        state_ = std::make_unique<ServerState>(settings.utf8);
        state_->OnScreensChanged([this](long display) { Changed(display); });
        server_ = std::make_unique<SocketServer>(*state_, static_cast<std::size_t>(settings.clients));
        std::string why;
        const std::string address = settings.listen.host + ":" + std::to_string(settings.listen.port);
        if (!server_->Start(settings.listen, why)) {
            LogError("LCDproc server: " + why + "; no client can connect");
            server_.reset();
            return;
        }
        LogInformation("LCDproc server: listening on " + settings.listen.host + ":" + std::to_string(server_->port()) +
                       (IsLoopback(settings.listen.host) ? "" : " (reachable from other machines)"));
    }

    // IScreenSource
    HRESULT STDMETHODCALLTYPE AttachDisplay(LONG display, LONG columns, LONG rows, LONG cellWidth,
                                            LONG cellHeight) override
    {
        if (!state_ || (settings_.display && *settings_.display != display))
            return S_FALSE;
        if (columns <= 0 || rows <= 0 || cellWidth <= 0 || cellHeight <= 0)
            return S_FALSE;
        state_->AttachDisplay(display, {static_cast<int>(columns), static_cast<int>(rows), static_cast<int>(cellWidth),
                                        static_cast<int>(cellHeight)});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetScreens(LONG display, BSTR* screens) override
    {
        if (!screens)
            return E_POINTER;
        *screens = BString(std::string_view(state_ ? state_->Screens(display) : std::string())).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RenderScreen(LONG display, LONG screen, LONG timer, BSTR* frame,
                                           BSTR* characters) override
    {
        if (!frame || !characters)
            return E_POINTER;
        *frame = nullptr;
        *characters = nullptr;
        const auto rendered = state_ ? state_->Render(display, screen, timer) : std::nullopt;
        if (!rendered) {
            if (server_)
                server_->Wake(); // a screen that timed out told its client
            return S_FALSE;
        }
        *frame = BString(Utf16Of(rendered->cells)).Detach();
        std::u16string rows;
        for (int glyph = 0; glyph < rendered->glyphsUsed; ++glyph)
            for (unsigned char row : rendered->glyphs[static_cast<std::size_t>(glyph)])
                rows += static_cast<char16_t>(row);
        *characters = BString(rows).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ScreenShown(LONG display, LONG screen, LONG timer) override
    {
        if (!state_)
            return S_OK;
        state_->Shown(display, screen, timer);
        if (server_)
            server_->Wake();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IScreenSink* sink) override
    {
        std::lock_guard lock(sinkMutex_);
        sink_ = ComPtr<IScreenSink>(sink);
        return S_OK;
    }

    // IScreenKeys
    HRESULT STDMETHODCALLTYPE ScreenKey(LONG display, LONG screen, LONG key) override
    {
        // LCDd's clients know the six named keys (and F1-F8 by the same names) only.
        const std::string name = KeyName(key);
        if (!state_ || name.empty() || name.starts_with("Raw:"))
            return S_FALSE;
        const bool taken = state_->DeliverKey(display, screen, name);
        if (taken && server_)
            server_->Wake(); // a "key" or "menuevent" line waits
        return taken ? S_OK : S_FALSE;
    }

private:
    void Changed(long display)
    {
        ComPtr<IScreenSink> sink;
        {
            std::lock_guard lock(sinkMutex_);
            sink = sink_;
        }
        if (sink)
            sink->ScreensChanged(static_cast<LONG>(display));
    }

    // Written by Configure (the service calls it once, before anything else), then read-only.
    ServerSettings settings_;
    std::unique_ptr<ServerState> state_;
    std::unique_ptr<SocketServer> server_;

    std::mutex sinkMutex_; // guards sink_
    ComPtr<IScreenSink> sink_;
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(LCDprocServer, kClass)
