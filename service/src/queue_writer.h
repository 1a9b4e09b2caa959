#pragma once
// Writes a display's queue into the display element of the driver that produced the display.

#include "managed_display.h"

#include <string>
#include <vector>

namespace pixtera {

struct QueueEntry {
    std::u16string fileName;
    LONG seconds;
};

// Replaces the display element's children with one queue of the entries. A configuration file
// that cannot be read or parsed, or no longer has that driver, is left untouched (E_FAIL); a file
// that cannot be written is reported with its error code.
HRESULT WriteQueue(const QueueOrigin& origin, const std::vector<QueueEntry>& entries);

} // namespace pixtera
