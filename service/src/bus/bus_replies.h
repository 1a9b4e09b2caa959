// SPDX-License-Identifier: MIT
#pragma once
// What the service's bus handlers share: reading a COM result into a bus reply, and calling into
// a plug-in under its fault guard.

#include "plugin_fault.h"

#include <pixtera/platform/types.h>
#include <pixtera/remote/bus_wire.h>

#include <sdbus-c++/sdbus-c++.h>

#include <string>

namespace pixtera::reply {

using wire::Check;

// Failures get a sentence after their code where a client can do something about them.
inline const auto NoSentence = [] { return std::string(); };

template <class Getter, class Why = decltype(NoSentence)>
int32_t Long(Getter getter, Why why = NoSentence)
{
    LONG value = 0;
    const HRESULT hr = getter(&value);
    if (FAILED(hr))
        throw why().empty() ? wire::ErrorFor(hr) : wire::ErrorFor(hr, why());
    return value;
}

template <class Getter, class Why = decltype(NoSentence)>
std::string Text(Getter getter, Why why = NoSentence)
{
    BString text;
    const HRESULT hr = getter(text.Out());
    if (FAILED(hr))
        throw why().empty() ? wire::ErrorFor(hr) : wire::ErrorFor(hr, why());
    return text.utf8();
}

inline std::string IndexFailure(const char* what, int32_t index, LONG count)
{
    return std::string("no ") + what + " " + std::to_string(index) + " (there " + (count == 1 ? "is " : "are ") +
           std::to_string(count) + ", numbered from 0)";
}

// A call into a plug-in made for a bus client, under the plug-in's fault guard: an exception from
// the plug-in (or an earlier fault) reaches the client as RPC_E_SERVERFAULT, never the service.
template <class Call>
auto GuardedCall(PluginFault& fault, Call&& call)
{
    if (fault.failed())
        throw wire::ErrorFor(RPC_E_SERVERFAULT,
                             "the plug-in " + fault.name() + " failed before and is not called again");
    try {
        return call();
    } catch (const sdbus::Error& error) {
        // A failing result code, already on its way to the client; a hosted plug-in whose host
        // failed is a fault as well.
        if (wire::HresultOf(error) == E_PLUGIN_HOST_FAILED)
            fault.Report();
        throw;
    } catch (...) {
        fault.Report();
        throw wire::ErrorFor(RPC_E_SERVERFAULT, "the plug-in " + fault.name() + " threw; it is not called again");
    }
}

} // namespace pixtera::reply
