// SPDX-License-Identifier: MIT
#pragma once
// How many columns a UTF-8 terminal gives a code point, whatever the service's own locale.

#include <locale.h>

namespace pixtera {

// The system's C.UTF-8 character classes, loaded once; null where the system has none (said once
// in the log).
locale_t Utf8Locale();

// 2 for East Asian wide letters, 0 for combining marks and format characters, -1 for none, as
// `utf8` counts them. Without a locale, only letters every terminal draws one column wide (Latin,
// Greek, Cyrillic) are 1; anything else is -1, so it is never drawn on a guess.
int TerminalColumns(char32_t c, locale_t utf8);

} // namespace pixtera
