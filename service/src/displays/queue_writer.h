// SPDX-License-Identifier: MIT
#pragma once
// Writes a display's queue into the display element of the driver that produced the display.

#include "queue_entry.h"

#include <pixtera/platform/hresult.h>

#include <vector>

namespace pixtera {

// Rewrites the queue's readable queueitem elements to the entries, in order, keeping every other
// node of the file (comments, unknown elements and attributes, entries the loader could not read).
// The driver element is found again by position, clsid and configuration; when that is not
// unambiguous, or the file cannot be read or parsed, it is left untouched (E_FAIL). A file that
// cannot be written is reported with its error code.
HRESULT WriteQueue(const QueueOrigin& origin, const std::vector<QueueEntry>& entries);

} // namespace pixtera
