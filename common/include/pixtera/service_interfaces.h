// SPDX-License-Identifier: MIT
#pragma once
// The service's object model, as other programs see it. Every interface is dual: IDispatch's
// four slots, then its own operations from slot 7. Reserved slots keep the layout and do nothing.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/guids.h>

struct IDriverManager;
struct IDataManager;
struct IDataCollection;
struct IDisplayManager;
struct IManagedDisplay;

struct IManager : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetDriverManager(IDriverManager** drivers) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataManager(IDataManager** data) = 0;
    // Always succeeds; *completed is 1 when the load ran to its end, 0 when it was cut short.
    virtual HRESULT STDMETHODCALLTYPE LoadConfiguration(BSTR path, VARIANT_BOOL* completed) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) = 0;
    // The service quits about two seconds later.
    virtual HRESULT STDMETHODCALLTYPE Shutdown() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDisplayManager(IDisplayManager** displays) = 0;
};
PIXTERA_DECLARE_INTERFACE(IManager, IDispatch, IID_IManager);

struct IDriverManager : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE AddDriver(BSTR progId, BSTR configuration, VARIANT_BOOL isolated,
                                                VARIANT_BOOL* created) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved(LONG, LONG) = 0;
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IDispatch** driver) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDriverManager, IDispatch, IID_IDriverManager);

struct IDataManager : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetDataCollection(IDataCollection** collection) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataManager, IDispatch, IID_IDataManager);

// Item ids are 1-based, in the order names were first seen.
struct IDataCollection : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
    // key: an item name (VT_BSTR) or id (VT_I2); anything else is E_FAIL.
    virtual HRESULT STDMETHODCALLTYPE Value(VARIANT key, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Name(LONG id, BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE Description(LONG id, BSTR* description) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDataCollection, IDispatch, IID_IDataCollection);

struct IDisplayManager : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Count(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Item(LONG index, IManagedDisplay** display) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayManager, IDispatch, IID_IDisplayManager);

struct IManagedDisplay : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetDriver(IDisplayDriver** driver) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reserved(LONG) = 0;
    virtual HRESULT STDMETHODCALLTYPE IsRunning(VARIANT_BOOL* running) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartOutput() = 0;
    virtual HRESULT STDMETHODCALLTYPE StopOutput() = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddQueueItem(BSTR fileName, LONG seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueFile(LONG index, BSTR* fileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueueDuration(LONG index, LONG* seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetQueueDuration(LONG index, LONG seconds) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteQueueItem(LONG index) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveQueueItemUp(LONG index) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveQueueItemDown(LONG index) = 0;
};
PIXTERA_DECLARE_INTERFACE(IManagedDisplay, IDispatch, IID_IManagedDisplay);

// A display's output lent to one client (the designer's preview): the service stops the output
// and starts it again when the client returns it or its connection ends, so a client that dies
// never leaves a display dark. Offered by the service's displays to clients on the bus.
struct IDisplayLease : IUnknown {
    // Stops the output and notes the calling client.
    virtual HRESULT STDMETHODCALLTYPE BorrowOutput() = 0;
    // Forgets the client; the output starts again when no other client holds it.
    virtual HRESULT STDMETHODCALLTYPE ReturnOutput() = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayLease, IUnknown, IID_IDisplayLease);
