// SPDX-License-Identifier: MIT
#include "display_answers.h"

#include <pixtera/sdk/display_leds.h>

namespace pixtera::host {
namespace {

constexpr LONG kEveryLedState = (1 << kLedOff) | (1 << kLedOn) | (1 << kLedGreen) | (1 << kLedRed) | (1 << kLedAmber);

std::optional<LONG> LongAt(const Result& result, std::size_t at)
{
    if (at >= result.values.size())
        return std::nullopt;
    if (const auto* value = std::get_if<LONG>(&result.values[at]))
        return *value;
    return std::nullopt;
}

std::optional<LONGLONG> Int64At(const Result& result, std::size_t at)
{
    if (at >= result.values.size())
        return std::nullopt;
    const auto* value = std::get_if<Variant>(&result.values[at]);
    if (!value || value->vt != VT_I8)
        return std::nullopt;
    return value->llVal;
}

// One LONG and nothing else, within [low, high].
std::optional<LONG> OnlyLong(const Result& result, LONG low, LONG high)
{
    const auto value = LongAt(result, 0);
    if (result.values.size() != 1 || !value || *value < low || *value > high)
        return std::nullopt;
    return value;
}

} // namespace

Variant Int64Value(LONGLONG number)
{
    Variant value;
    VARIANT* slot = value.Out();
    slot->vt = VT_I8;
    slot->llVal = number;
    return value;
}

std::optional<LinkAnswer> ReadLinkState(const Result& result, LONGLONG now)
{
    const auto linked = LongAt(result, 0);
    const auto since = Int64At(result, 1);
    if (result.values.size() != 2 || !linked || !since || (*linked != 0 && *linked != 1) || *since < 0 ||
        *since > now + kClockSlack)
        return std::nullopt;
    return LinkAnswer{*linked == 1, *linked == 1 ? 0 : *since};
}

std::optional<LONG> ReadLedCount(const Result& result) { return OnlyLong(result, 0, kMostLeds); }

std::optional<LONG> ReadLedStates(const Result& result) { return OnlyLong(result, 1, kEveryLedState); }

std::optional<LONG> ReadLedState(const Result& result) { return OnlyLong(result, kLedOff, kLedAmber); }

std::optional<TrafficAnswer> ReadTraffic(const Result& result)
{
    const auto bytes = LongAt(result, 0);
    const auto messages = LongAt(result, 1);
    const auto clocks = Int64At(result, 2);
    const auto microseconds = Int64At(result, 3);
    if (result.values.size() != 4 || !bytes || !messages || !clocks || !microseconds || *bytes < 0 || *messages < 0 ||
        *clocks < 0 || *microseconds < 0)
        return std::nullopt;
    return TrafficAnswer{*bytes, *messages, *clocks, *microseconds};
}

void PutLinkState(Result& result, bool linked, LONGLONG outageSince)
{
    result.values.emplace_back(static_cast<LONG>(linked ? 1 : 0));
    result.values.emplace_back(Int64Value(outageSince));
}

void PutTraffic(Result& result, const TrafficAnswer& traffic)
{
    result.values.emplace_back(traffic.bytes);
    result.values.emplace_back(traffic.messages);
    result.values.emplace_back(Int64Value(traffic.clocks));
    result.values.emplace_back(Int64Value(traffic.microseconds));
}

} // namespace pixtera::host
