// SPDX-License-Identifier: MIT
// Messages of arguments of any types, as any program on a bus may send them, read by every reader
// of messages from outside: each returns what it read or nothing, and what it read is used as its
// handler would: players' (session bus) and logind's (system bus). A reader of another message is
// one line in kReaders.

#include "display_signals.h"
#include "fuzzed_bus_message.h"

#include "logind_signals.h"
#include "mpris_messages.h"
#include "now_playing.h"
#include "player_properties.h"

#include <pixtera/bus/handler_guard.h>
#include <pixtera/platform/event_log.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace pixtera;

// What a player's handlers do with properties: apply them and show the result.
void Show(const media::Properties& properties)
{
    media::PlayerState player;
    const auto now = media::Clock::now();
    media::ApplyProperties(player, properties, now);
    media::Describe(&player, now + std::chrono::seconds(90));
}

const bus::HandlerGuard& Guard()
{
    static const bus::HandlerGuard guard("Fuzzing");
    return guard;
}

using Reader = void (*)(sdbus::Message&);
const Reader kReaders[] = {
    [](sdbus::Message& m) { media::ReadSeeked(m); },
    [](sdbus::Message& m) {
        if (const auto change = media::ReadPropertiesChanged(m))
            Show(change->changed);
    },
    [](sdbus::Message& m) {
        if (const auto properties = media::ReadProperties(m))
            Show(*properties);
    },
    [](sdbus::Message& m) { media::ReadNameOwnerChanged(m); },
    [](sdbus::Message& m) { media::ReadTextProperty(m); },
    [](sdbus::Message& m) { media::ReadNames(m); },
    [](sdbus::Message& m) { media::ReadName(m); },
    [](sdbus::Message& m) {
        bool noKey = false;
        bridge::ReadKeyPressed(m, noKey);
    },
    [](sdbus::Message& m) {
        bool noKey = false;
        bridge::ReadMenuEvent(m, noKey);
    },
    // A display's LEDs, as the bridge reads its Leds property and announces them.
    [](sdbus::Message& m) {
        std::vector<bridge::LedEntry> entries;
        try {
            m >> entries;
        } catch (const sdbus::Error&) {
            return;
        }
        for (const auto& led : bridge::ReadLeds(std::move(entries), 16))
            bridge::LedConfig(bridge::Topics("fuzz", std::string(32, '0')), 1, 1, led);
    },
    // The guard's own typed reading, as NameOwnerChanged and ValuesChanged handlers use it.
    [](sdbus::Message& m) {
        Guard().OnSignal("NameOwnerChanged", [](const std::string&, const std::string&, const std::string&) {})(m);
    },
    [](sdbus::Message& m) { Guard().OnSignal("ValuesChanged", [](const std::vector<std::int32_t>&) {})(m); },
    // logind, on the system bus.
    [](sdbus::Message& m) { ReadPrepareForSleep(m); },
    [](sdbus::Message& m) { ReadSessionPropertiesChanged(m); },
    [](sdbus::Message& m) { ReadSessionGetAll(m); },
    [](sdbus::Message& m) { ReadSessionAnnouncement(m); },
    [](sdbus::Message& m) { ReadUserDisplayChanged(m); },
    [](sdbus::Message& m) { ReadDisplaySession(m); },
    [](sdbus::Message& m) { ReadSessionPath(m); },
    [](sdbus::Message& m) { ReadNameOwnerChanged(m); },
    [](sdbus::Message& m) { ReadNameOwner(m); },
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    pixtera::SetLogCapture([](std::string_view) {}); // the guard's lines are no finding
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    auto message = pixtera::fuzz::FuzzedBusMessage({data, size});
    if (!message)
        return 0;
    for (const Reader read : kReaders) {
        read(*message);
        pixtera::fuzz::Rewind(*message);
    }
    return 0;
}
