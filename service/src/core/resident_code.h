// SPDX-License-Identifier: MIT
#pragma once
// The service runs for days, but most of its code runs once: loading the registry, the
// configuration, the plug-ins and the bus. Once started it hands the pages of its code back, and
// what runs again comes back from the page cache: resident memory is then what the service uses.

namespace pixtera {

// Unmaps the pages of every executable mapping of a file whose pages were never written (a
// mapping with copied-on-write pages, such as a library with text relocations, is left alone);
// the kilobytes handed back.
long ReleaseResidentCode();

} // namespace pixtera
