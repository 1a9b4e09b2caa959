// SPDX-License-Identifier: MIT
#pragma once
// A trace of the calls at the API entries, for whoever chases "class not registered" or a call
// that goes nowhere: PIXTERA_DEBUG names the channels (comma list of com, registry, bus, plugins,
// or all), and each traced call becomes one log line "debug <channel>: ...". With a channel off a
// trace costs one relaxed load and a branch; its text is never built.

#include <pixtera/platform/export.h>

#include <atomic>
#include <string>
#include <string_view>

namespace pixtera {

enum class TraceChannel : unsigned {
    Com = 1u << 0, // class lookups, ProgIDs, module loads
    Registry = 1u << 1, // keys opened, created, deleted; values written
    Bus = 1u << 2, // calls served and made on the session bus
    Plugins = 1u << 3, // plug-ins created, configured, isolated, dropped
};

namespace detail {
PX_API extern std::atomic<unsigned> traceChannels;
PX_API void WriteTrace(TraceChannel channel, std::string_view text);
} // namespace detail

// The channels a PIXTERA_DEBUG text names; names that are none are listed in `unknown`, quoted.
PX_API unsigned ParseTraceChannels(std::string_view list, std::string* unknown = nullptr);
// Replaces the channels read from PIXTERA_DEBUG at start (tests, a future command-line switch).
PX_API void SetTraceChannels(unsigned channels);

inline bool Tracing(TraceChannel channel)
{
    return (detail::traceChannels.load(std::memory_order_relaxed) & static_cast<unsigned>(channel)) != 0;
}

// `text` is a callable returning the line; it is called only when the channel is on.
template <class Text>
void Trace(TraceChannel channel, Text&& text)
{
    if (Tracing(channel)) [[unlikely]]
        detail::WriteTrace(channel, std::string(text()));
}

} // namespace pixtera
