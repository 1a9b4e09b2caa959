// SPDX-License-Identifier: MIT
#include "terminal_columns.h"

#include <pixtera/platform/event_log.h>

#include <cwchar>
#include <memory>
#include <type_traits>

namespace pixtera {
namespace {

struct LocaleFree {
    void operator()(locale_t locale) const { freelocale(locale); }
};

using OwnedLocale = std::unique_ptr<std::remove_pointer_t<locale_t>, LocaleFree>;

OwnedLocale LoadUtf8Locale()
{
    OwnedLocale utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{}));
    if (!utf8)
        LogWarning("Terminal display: no C.UTF-8 locale; letters beyond Latin, Greek and Cyrillic show as '?'");
    return utf8;
}

bool KnownNarrow(char32_t c)
{
    return (c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c < 0x300 && c != 0xAD) || (c >= 0x370 && c < 0x483) ||
           (c >= 0x48A && c < 0x530);
}

} // namespace

locale_t Utf8Locale()
{
    static const OwnedLocale utf8 = LoadUtf8Locale();
    return utf8.get();
}

int TerminalColumns(char32_t c, locale_t utf8)
{
    if (!utf8)
        return KnownNarrow(c) ? 1 : -1;
    const locale_t previous = uselocale(utf8);
    const int columns = wcwidth(static_cast<wchar_t>(c));
    uselocale(previous);
    return columns;
}

} // namespace pixtera
