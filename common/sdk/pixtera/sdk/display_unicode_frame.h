// SPDX-License-Identifier: MIT
#pragma once
// IDisplayUnicodeFrame: optional, for drivers that take a frame as Unicode, one code point a
// cell, rather than as Windows-1252 (IDisplayDriver::Write). A driver without it keeps getting
// Windows-1252 frames. pixtera/sdk/unicode_frame.h turns such a frame into a module's codes and
// user characters.

#include <pixtera/platform/com.h>
#include <pixtera/sdk/guids.h>

struct IDisplayUnicodeFrame : IUnknown {
    // The whole frame, row after row, as UTF-16 with one code point a cell (a surrogate pair is
    // one cell). Code points 1-15 are the user characters (SetCustomChar's code & 7), as the
    // codes of Write's frames are.
    virtual HRESULT STDMETHODCALLTYPE WriteUnicode(BSTR frame) = 0;
};
PIXTERA_DECLARE_INTERFACE(IDisplayUnicodeFrame, IUnknown, IID_IDisplayUnicodeFrame);
