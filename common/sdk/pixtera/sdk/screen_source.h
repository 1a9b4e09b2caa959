// SPDX-License-Identifier: MIT
#pragma once
// IScreenSource: optional, for drivers that bring screens of their own into the displays'
// rotation (a server for other programs' screens). The service offers it each display with its
// geometry; for the displays it serves, it asks for the screens at each turn of the rotation and
// renders the one it shows at the display's pace. The plug-in keeps no display state of the
// service's: it only answers.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

// How a screen ranks in the rotation. Designs of the display's queue rank as kScreenInfo.
enum ScreenPriority : LONG {
    kScreenHidden = 0, // never shown
    kScreenBackground = 1, // only when nothing else is to be shown
    kScreenInfo = 2, // takes turns with the queue
    kScreenForeground = 3, // shown before the queue, interrupting it
    kScreenAlert = 4,
    kScreenInput = 5,
};

// The backlight a screen asks for while it shows. The display's own state (its power policy, the
// user's switch) still comes first: a screen may turn a lit backlight off, never a dark one on.
enum ScreenBacklight : LONG {
    kScreenBacklightOpen = 0, // as the display has it
    kScreenBacklightOff = 1,
    kScreenBacklightOn = 2,
    kScreenBacklightBlink = 3, // on and off, half a second each
    kScreenBacklightFlash = 4, // off for an eighth of a second in every second
};

struct IScreenSink : IUnknown {
    // The screens of this display were added, removed or ranked anew. Thread-safe and quick.
    virtual HRESULT STDMETHODCALLTYPE ScreensChanged(LONG display) = 0;
};
PIXTERA_DECLARE_INTERFACE(IScreenSink, IUnknown, IID_IScreenSink);

struct IScreenSource : IUnknown {
    // Offers the display of this index (as the service counts them) and its geometry: S_OK when
    // the plug-in serves it, S_FALSE when not. Called once per display before its output starts.
    virtual HRESULT STDMETHODCALLTYPE AttachDisplay(LONG display, LONG columns, LONG rows, LONG cellWidth,
                                                    LONG cellHeight) = 0;
    // The screens of the display now, one per line: "<id> <priority> <duration> [<backlight>]",
    // the id a number the plug-in chooses, the priority a ScreenPriority, the duration in eighths
    // of a second (0: the default of 32), the backlight a ScreenBacklight (none: open). In the
    // order they take turns.
    virtual HRESULT STDMETHODCALLTYPE GetScreens(LONG display, BSTR* screens) = 0;
    // The screen as the display shows it at `timer` (eighths of a second, rising): `frame` has
    // columns x rows characters as code points (UTF-16, a pair beyond the first plane; codes 8-15
    // are user characters 0-7), `characters` the user characters it uses, eight rows each, one
    // character per row holding its bits. S_FALSE when the screen is gone.
    virtual HRESULT STDMETHODCALLTYPE RenderScreen(LONG display, LONG screen, LONG timer, BSTR* frame,
                                                   BSTR* characters) = 0;
    // The display shows this screen now, or (-1) none of the plug-in's; `timer` as above.
    virtual HRESULT STDMETHODCALLTYPE ScreenShown(LONG display, LONG screen, LONG timer) = 0;
    // A sink to call from now on, or null: call nothing any more. A plug-in in a process of its
    // own is not advised (E_NOTIMPL): its screens are then asked for every eighth of a second.
    virtual HRESULT STDMETHODCALLTYPE Advise(IScreenSink* sink) = 0;
};
PIXTERA_DECLARE_INTERFACE(IScreenSource, IUnknown, IID_IScreenSource);

// Optional, beside IScreenSource: the keys pressed on the displays a source serves. The service
// hands each key of such a display to its sources, the one whose screen shows first; a source
// that takes the key (for a client that holds it, or for a menu of its own) answers S_OK, and
// the key goes no further; S_FALSE leaves it to the service. Called on a thread of the
// service's, never the display's refresh thread; a plug-in in a process of its own gets it too.
struct IScreenKeys : IUnknown {
    // `key` a KeyCode (key_names.h); `screen` the source's screen that shows now, or -1 when
    // none of its screens does.
    virtual HRESULT STDMETHODCALLTYPE ScreenKey(LONG display, LONG screen, LONG key) = 0;
};
PIXTERA_DECLARE_INTERFACE(IScreenKeys, IUnknown, IID_IScreenKeys);
