// SPDX-License-Identifier: MIT
// pixtera-mqtt: this machine's Pixtera values and displays on an MQTT broker, for other machines
// and for Home Assistant.

#include "bridge.h"
#include "machine_key.h"

#include <pixtera/platform/event_log.h>

#include <csignal>
#include <iostream>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
    using namespace pixtera;
    char hostname[256] = {};
    gethostname(hostname, sizeof hostname - 1);
    const auto parsed = bridge::ParseBridgeOptions(std::vector<std::string>(argv + 1, argv + argc), hostname);
    if (parsed.help) {
        std::cout << bridge::BridgeHelp();
        return 0;
    }
    if (!parsed.options) {
        std::cerr << "pixtera-mqtt: " << parsed.error << "\n";
        return 2;
    }
    // SIGTERM and SIGINT end the bridge through one thread that waits for them: every other
    // thread starts with them blocked.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    try {
        bridge::BridgeOptions options = *parsed.options;
        options.key = bridge::MachineKey(hostname);
        bridge::Bridge bridge(std::move(options));
        // Run() ends only through Stop(): joined, the waiter is out of Stop() before the bridge goes.
        std::thread waiter([&] {
            int signal = 0;
            sigwait(&stopping, &signal);
            bridge.Stop();
        });
        LogInformation("pixtera-mqtt: publishing as pixtera/" + parsed.options->machine + " on " +
                       parsed.options->broker.host + ":" + std::to_string(parsed.options->broker.port));
        bridge.Run();
        waiter.join();
    } catch (const sdbus::Error& error) {
        std::cerr << "pixtera-mqtt: no session bus: " << error.getMessage() << "\n";
        return 1;
    }
    return 0;
}
