// SPDX-License-Identifier: MIT
#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/event_log.h>

#include <cstdlib>

namespace pixtera {
namespace {

struct ChannelName {
    std::string_view name;
    unsigned bits;
};

constexpr ChannelName kChannels[] = {
    {"com", static_cast<unsigned>(TraceChannel::Com)},
    {"registry", static_cast<unsigned>(TraceChannel::Registry)},
    {"bus", static_cast<unsigned>(TraceChannel::Bus)},
    {"plugins", static_cast<unsigned>(TraceChannel::Plugins)},
    {"all", ~0u},
};

std::string_view NameOf(TraceChannel channel)
{
    for (const auto& known : kChannels)
        if (known.bits == static_cast<unsigned>(channel))
            return known.name;
    return "?";
}

unsigned ChannelsFromEnvironment()
{
    const char* list = std::getenv("PIXTERA_DEBUG");
    if (!list)
        return 0;
    std::string unknown;
    const unsigned channels = ParseTraceChannels(list, &unknown);
    if (!unknown.empty())
        LogWarning("PIXTERA_DEBUG: no channel " + unknown + " (there are com, registry, bus, plugins and all)");
    return channels;
}

} // namespace

namespace detail {

std::atomic<unsigned> traceChannels{ChannelsFromEnvironment()};

void WriteTrace(TraceChannel channel, std::string_view text)
{
    LogInformation("debug " + std::string(NameOf(channel)) + ": " + std::string(text));
}

} // namespace detail

unsigned ParseTraceChannels(std::string_view list, std::string* unknown)
{
    unsigned channels = 0;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        std::string_view name = list.substr(0, comma);
        while (!name.empty() && name.front() == ' ')
            name.remove_prefix(1);
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        bool found = name.empty();
        for (const auto& known : kChannels)
            if (known.name == name) {
                channels |= known.bits;
                found = true;
            }
        if (!found && unknown)
            *unknown += (unknown->empty() ? "\"" : ", \"") + std::string(name) + "\"";
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return channels;
}

void SetTraceChannels(unsigned channels) { detail::traceChannels.store(channels, std::memory_order_relaxed); }

} // namespace pixtera
