// SPDX-License-Identifier: MIT
#pragma once
// A hosted display's answers about its link, its LEDs and its traffic, as the wrapper takes them:
// every value is checked (its type, its range), and one out of range makes the whole answer none,
// for a host may be a plug-in that went wrong.

#include "host_wire.h"

#include <optional>

namespace pixtera::host {

// More LEDs than any module has: a larger count is a faulty answer.
inline constexpr LONG kMostLeds = 64;

// An outage that began later than this many seconds after the wrapper's clock is a faulty answer.
inline constexpr LONGLONG kClockSlack = 60;

struct LinkAnswer {
    bool linked = false;
    LONGLONG outageSince = 0; // 0 while linked, or when it never was
};

struct TrafficAnswer {
    LONG bytes = 0;
    LONG messages = 0;
    LONGLONG clocks = 0;
    LONGLONG microseconds = 0;
};

// `now`: the wrapper's wall clock, in seconds since the epoch.
std::optional<LinkAnswer> ReadLinkState(const Result& result, LONGLONG now);
std::optional<LONG> ReadLedCount(const Result& result);
// The states one LED can show: some of LedState's bits, and at least one.
std::optional<LONG> ReadLedStates(const Result& result);
// What one LED shows: a LedState.
std::optional<LONG> ReadLedState(const Result& result);
std::optional<TrafficAnswer> ReadTraffic(const Result& result);

// A 64-bit number as the link carries it.
Variant Int64Value(LONGLONG number);

// The call's values the way the host answers them (the host's side of the same shapes).
void PutLinkState(Result& result, bool linked, LONGLONG outageSince);
void PutTraffic(Result& result, const TrafficAnswer& traffic);

} // namespace pixtera::host
