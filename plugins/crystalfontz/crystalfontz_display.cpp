// SPDX-License-Identifier: MIT
// Pixtera.CrystalFontz: the CrystalFontz packet modules (CFA533, CFA631, CFA633, CFA635) on their
// USB or serial port, with their keys; the fans and temperature sensors of a SCAB are its data
// items. Configuration: device=/dev/ttyUSB0;model=635 (speed=19200 or 115200, the model's own by
// default; backlight=on;brightness=0-100;contrast=0-255; leds=green,off,off,red for the 635's
// LEDs; watchdog=0-255 seconds; fans=1,2;temperatures=1-4; rom=a00 or a02).

#include "crystalfontz_sensor_items.h"
#include "crystalfontz_settings.h"
#include "lcd_display_character_set.h"
#include "lcd_display_events.h"
#include "lcd_display_leds.h"
#include "lcd_display_link_state.h"
#include "lcd_display_power.h"
#include "lcd_display_traffic.h"
#include "lcd_display_unicode_frame.h"

#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/described_settings.h>
#include <pixtera/sdk/key_input.h>
#include <pixtera/sdk/out_parameter.h>
#include <pixtera/sdk/plugin_module.h>

#include <memory>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;

// {3F6C2B18-9A47-4E0D-B5C1-7D2E8F4A6C93}
constexpr CLSID CLSID_CrystalFontz{0x3F6C2B18, 0x9A47, 0x4E0D, {0xB5, 0xC1, 0x7D, 0x2E, 0x8F, 0x4A, 0x6C, 0x93}};
const InprocClass kClass{CLSID_CrystalFontz, kCrystalfontzDriver.progId, "CrystalFontz packet LCD"};

class CrystalFontz final
    : public ComObject<CrystalFontz, LcdDisplayDriver<CrystalFontz>, LcdDisplayEvents<CrystalFontz>,
                       LcdDisplayPower<CrystalFontz>, LcdDisplayCharacterSet<CrystalFontz>,
                       LcdDisplayTraffic<CrystalFontz>, LcdDisplayUnicodeFrame<CrystalFontz>,
                       LcdDisplayLeds<CrystalFontz>, LcdDisplayLinkState<CrystalFontz>, KeyInput, IDataProvider,
                       ConfigurablePlugin<CrystalFontz>, DescribedSettings<CrystalFontz>> {
public:
    static constexpr const auto& kSettings = kCrystalfontzSettings;
    static constexpr LONG kPowerCaps = kPowerBacklight | kPowerBrightness;
    static constexpr const char16_t* kPluginName = u"CrystalFontz packet LCD";

    // The port's reader stops before anything it calls goes; the writer that attaches ports to it
    // may live a moment longer.
    ~CrystalFontz() { ReplacePort(nullptr); }

    // IDataProvider: the SCAB's channels. Fans report twice a second, sensors about once.
    HRESULT STDMETHODCALLTYPE Refresh() override
    {
        sensors_.Publish();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetUpdateMode(LONG* mode) override { return Output(mode, kUpdatePeriodic); }
    HRESULT STDMETHODCALLTYPE GetInterval(LONG* interval) override { return Output(interval, 1000); }
    HRESULT STDMETHODCALLTYPE GetCount(LONG* count) override { return Output(count, sensors_.count()); }
    HRESULT STDMETHODCALLTYPE GetName(LONG index, BSTR* name) override { return sensors_.Name(index, name); }
    HRESULT STDMETHODCALLTYPE GetDescription(LONG index, BSTR* description) override
    {
        return sensors_.Description(index, description);
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG index, VARIANT* value) override { return sensors_.Value(index, value); }

    WriterSetup Describe(const ConfigurationText& fields, std::vector<std::string>& problems)
    {
        const CrystalfontzSettings settings = ReadCrystalfontzSettings(fields, problems);
        const CrystalfontzTraits& traits = TraitsOf(settings.model);
        const std::string name = "CrystalFontz LCD";
        auto port = std::make_shared<PacketPort>([this](const Packet& report) { Reported(report); });
        ReplacePort(port);
        sensors_.Configure(settings.options.sensors);
        LayLeds(LedsOf(settings));
        WriterSetup setup;
        setup.name = name;
        setup.device =
            settings.device + " (" + std::string(traits.name) + " at " + std::to_string(settings.speed) + " baud)";
        setup.open = [device = settings.device, speed = settings.speed, port, name](std::string& error) {
            return OpenPacketDevice(device, speed, port, name, error);
        };
        setup.protocol = std::make_shared<CrystalfontzProtocol>(settings.model, settings.options);
        setup.geometry = traits.geometry;
        setup.rom = settings.options.rom;
        if (const int seconds = settings.options.watchdog; seconds > 0) {
            // Armed by the initialisation; fed on the writer's link while it is open.
            const std::string feed = EncodePacket({PacketKind::Command, cfa::kWatchdog, std::string(1, char(seconds))});
            setup.poll = [feed](DeviceLink& link) { link.WriteMessage(feed); };
            setup.pollEvery =
                std::max<std::chrono::milliseconds>(std::chrono::seconds(seconds) / 3, std::chrono::seconds(1));
            setup.polling = true;
            setup.farewell = [](LinkBatch& batch) { AddCommand(batch, cfa::kWatchdog, std::string(1, '\0')); };
        }
        return setup;
    }

private:
    // The CFA635's four, each red, green or both; none on the other models.
    static LedLayout LedsOf(const CrystalfontzSettings& settings)
    {
        LedLayout layout;
        if (!TraitsOf(settings.model).leds)
            return layout;
        layout.states.assign(cfa::kLeds, kLedRedGreen);
        for (int led = 0; led < cfa::kLeds; ++led)
            layout.initial.push_back(settings.options.leds
                                         ? LedStateOf((*settings.options.leds)[static_cast<std::size_t>(led)])
                                         : LONG{kLedOff});
        return layout;
    }

    // On the port's reader thread. Fan and temperature reports come only for the channels asked
    // for at initialisation.
    void Reported(const Packet& report)
    {
        if (const auto reading = ReadSensorReport(report)) {
            sensors_.Take(*reading);
            return;
        }
        if (report.command != cfa::kKeyReport || report.data.size() != 1)
            return;
        const CrystalfontzKey key = KeyOfReport(static_cast<std::uint8_t>(report.data[0]));
        DeliverKey(key.key, key.action);
    }

    void ReplacePort(std::shared_ptr<PacketPort> port)
    {
        std::lock_guard lock(portMutex_);
        if (port_)
            port_->Stop();
        port_ = std::move(port);
    }

    std::mutex portMutex_; // guards port_
    std::shared_ptr<PacketPort> port_; // the configuration's in force; the writer shares it
    CrystalfontzSensorItems sensors_; // guards itself: the reader thread feeds it, the poll reads it
};

} // namespace

PIXTERA_SINGLE_CLASS_MODULE(CrystalFontz, kClass)
