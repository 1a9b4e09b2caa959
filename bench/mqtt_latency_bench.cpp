// SPDX-License-Identifier: MIT
// MQTT latencies on loopback, against a running service, broker and pixtera-mqtt (started by
// bench/mqtt-latency.sh): from a broker message to the value in the service (Pixtera.MqttData),
// and from a value set in the service to the broker (pixtera-mqtt); then a load of 20 values
// changing every second for the bridge's CPU. Not a test.
//   mqtt-latency-bench PORT MACHINE [load SECONDS]

#include <pixtera/mqtt/mqtt_connection.h>
#include <pixtera/remote/bus_names.h>

#include <sdbus-c++/sdbus-c++.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace pixtera;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.empty() ? 0 : samples[samples.size() / 2];
}

// Waits for `done` under the mutex, notified by the condition.
struct Waiter {
    std::mutex mutex;
    std::condition_variable changed;
    std::string last;

    void Set(std::string value)
    {
        {
            std::lock_guard lock(mutex);
            last = std::move(value);
        }
        changed.notify_all();
    }
    bool WaitFor(const std::string& wanted, std::chrono::milliseconds limit)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return last == wanted; });
    }
};

void BrokerToService(mqtt::Connection& broker, sdbus::IConnection& calls)
{
    auto data = sdbus::createProxy(calls, bus::kServiceName, bus::kDataManagerPath);
    // ValuesChanged is at most four a second: for the latency, the value is read as soon as the
    // service has it, by asking in a tight loop.
    std::vector<double> samples;
    for (int i = 1; i <= 100; ++i) {
        const std::string value = std::to_string(i);
        const auto start = Clock::now();
        broker.Publish("bench/value", value, false);
        while (Clock::now() - start < std::chrono::seconds(2)) {
            sdbus::Variant read;
            data->callMethod("Value")
                .onInterface(bus::kDataCollection)
                .withArguments(sdbus::Variant(std::string("bench/value")))
                .storeResultsTo(read);
            if (read.peekValueType() == "d" && read.get<double>() == i) {
                samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                break;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("broker -> service: median %.2f ms over %zu messages (target < 5 ms)\n", Median(samples),
                samples.size());
}

void ServiceToBroker(Waiter& heard, sdbus::IConnection& calls)
{
    auto feed = sdbus::createProxy(calls, bus::kServiceName, bus::kFeedPath);
    std::vector<double> samples;
    for (int i = 1; i <= 10; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // the bridge's once a second
        const auto start = Clock::now();
        feed->callMethod("SetValue")
            .onInterface(bus::kDataFeed)
            .withArguments(std::string("feed"), sdbus::Variant(1000.0 + i));
        if (heard.WaitFor(std::to_string(1000 + i), std::chrono::seconds(3)))
            samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("service -> broker: median %.1f ms over %zu changes (the service announces changes every 250 ms)\n",
                Median(samples), samples.size());
}

void Load(sdbus::IConnection& calls, int seconds)
{
    auto feed = sdbus::createProxy(calls, bus::kServiceName, bus::kFeedPath);
    for (int s = 0; s < seconds; ++s) {
        for (int v = 1; v <= 20; ++v)
            feed->callMethod("SetValue")
                .onInterface(bus::kDataFeed)
                .withArguments("v" + std::to_string(v), sdbus::Variant(double(s * 100 + v)));
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: mqtt-latency-bench PORT MACHINE [load SECONDS]\n");
        return 2;
    }
    auto calls = sdbus::createSessionBusConnection();
    if (argc == 5) {
        Load(*calls, std::stoi(argv[4]));
        return 0;
    }
    Waiter heard;
    mqtt::ConnectionSettings settings;
    settings.port = std::stoi(argv[1]);
    mqtt::Connection broker(settings, {{}, {}, [&](const mqtt::Message& message) { heard.Set(message.payload); }});
    broker.Subscribe("pixtera/" + std::string(argv[2]) + "/feed");
    while (!broker.connected())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    BrokerToService(broker, *calls);
    ServiceToBroker(heard, *calls);
    return 0;
}
