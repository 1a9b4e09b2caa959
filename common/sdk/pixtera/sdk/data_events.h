// SPDX-License-Identifier: MIT
#pragma once
// IDataEvents: optional, for providers whose values arrive rather than being read (a message
// broker, a socket). The service hands the provider a sink before it asks for the update mode;
// the provider calls ValuesArrived whenever it has something new, and the service polls it at
// once. A provider with a sink can say kUpdateOnce and cost nothing while nothing arrives.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDataArrivalSink : IUnknown {
    // Thread-safe and quick: it only wakes the provider's poll.
    virtual HRESULT STDMETHODCALLTYPE ValuesArrived() = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataArrivalSink, IUnknown, IID_IDataArrivalSink);

struct IDataEvents : IUnknown {
    // A sink to call from now on, or null: call nothing any more.
    virtual HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataEvents, IUnknown, IID_IDataEvents);
