// SPDX-License-Identifier: MIT
#pragma once
// IDisplayInput: optional, for displays with keys (a module's keypad, a terminal's keyboard). The
// service hands the driver a sink once the display is set up; the driver calls it from a thread of
// its own for every key pressed, repeated or released.
//
// Threading: IKeySink::KeyEvent is thread-safe and quick (it queues and returns; a full queue
// drops), so a driver may call it from its reading thread while holding its own locks. After
// Advise(nullptr) returns the driver calls the old sink no more: keep it under a mutex that the
// call holds too, as KeyInput (key_input.h) does.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

// What happened to a key.
enum KeyAction : LONG {
    kKeyPressed = 0,
    kKeyRepeated = 1, // held down: the module's (or the terminal's) auto-repeat
    kKeyReleased = 2, // only from modules that report it
};

// The keys every menu knows by name; any other the module reports is kKeyRaw | its code
// (0-0xFFFF), named "Raw:0x41".
enum KeyCode : LONG {
    kKeyUp = 1,
    kKeyDown = 2,
    kKeyLeft = 3,
    kKeyRight = 4,
    kKeyEnter = 5,
    kKeyEscape = 6,
    kKeyF1 = 0x11, // to kKeyF8 = 0x18
    kKeyF8 = 0x18,
    kKeyRaw = 0x10000,
};

struct IKeySink : IUnknown {
    // `key` a KeyCode, `action` a KeyAction; E_INVALIDARG for anything else.
    virtual HRESULT STDMETHODCALLTYPE KeyEvent(LONG key, LONG action) = 0;
};
PIXTERA_DECLARE_INTERFACE(IKeySink, IUnknown, IID_IKeySink);

struct IDisplayInput : IUnknown {
    // A sink to call from now on, or null: call nothing any more.
    virtual HRESULT STDMETHODCALLTYPE Advise(IKeySink* sink) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayInput, IUnknown, IID_IDisplayInput);
