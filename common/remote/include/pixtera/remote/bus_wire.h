// SPDX-License-Identifier: MIT
#pragma once
// How result codes and values cross the bus: a failing HRESULT is the error
// "org.pixtera.Error.<NAME>" whose message starts with the code ("0x80004005"); a VARIANT is a
// D-Bus variant of the matching type (VT_I2 n, VT_I4 i, VT_UI4 u, VT_I8 x, VT_R8 and VT_R4 d,
// VT_BSTR s, VT_BOOL b, VT_EMPTY an empty byte array ay).

#include <pixtera/platform/variant.h>

#include <sdbus-c++/Error.h>
#include <sdbus-c++/Types.h>

#include <string>
#include <string_view>

namespace pixtera::wire {

sdbus::Error ErrorFor(HRESULT hr);
// The same with a sentence for people after the code: "0x80004005: call StopOutput first".
sdbus::Error ErrorFor(HRESULT hr, std::string_view why);
// The code an error stands for; a server that went away is RPC_E_DISCONNECTED.
HRESULT HresultOf(const sdbus::Error& error);
// The sentence for people that came with the error, without its code; empty when there was none.
std::string ReasonOf(const sdbus::Error& error);

// Throws ErrorFor(hr) when hr fails.
inline void Check(HRESULT hr)
{
    if (FAILED(hr))
        throw ErrorFor(hr);
}

// Throws ErrorFor(hr, why()) when hr fails; `why` is asked only then.
template <class Why>
void Check(HRESULT hr, Why&& why)
{
    if (FAILED(hr))
        throw ErrorFor(hr, why());
}

sdbus::Variant ToBus(const VARIANT& value);
// DISP_E_BADVARTYPE for a variant of a type that has no VARIANT form.
HRESULT FromBus(const sdbus::Variant& value, VARIANT* out);

} // namespace pixtera::wire
