// SPDX-License-Identifier: MIT
#pragma once
// IDataEvents: optional, for providers whose values arrive rather than being read (a message
// broker, a socket). The service hands the provider a sink before it asks for the update mode;
// the provider calls ValuesArrived whenever it has something new, and the service polls it at
// once. A provider with a sink can say kUpdateOnce and cost nothing while nothing arrives.
// A sink that also answers IItemArrivalSink takes the items that changed, so that only those are
// read again (a broker sends one value of a thousand); without it, everything is read.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDataArrivalSink : IUnknown {
    // Thread-safe and quick: it only wakes the provider's poll.
    virtual HRESULT STDMETHODCALLTYPE ValuesArrived() = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataArrivalSink, IUnknown, IID_IDataArrivalSink);

struct IItemArrivalSink : IDataArrivalSink {
    // These items (by index, as GetName counts them) changed; items past the last count read
    // are new and read anyway. Thread-safe and quick, like ValuesArrived.
    virtual HRESULT STDMETHODCALLTYPE ItemsArrived(LONG count, const LONG* indices) = 0;
};
PIXTERA_DECLARE_INTERFACE(IItemArrivalSink, IDataArrivalSink, IID_IItemArrivalSink);

struct IDataEvents : IUnknown {
    // A sink to call from now on, or null: call nothing any more.
    virtual HRESULT STDMETHODCALLTYPE Advise(IDataArrivalSink* sink) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataEvents, IUnknown, IID_IDataEvents);
