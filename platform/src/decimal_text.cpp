// SPDX-License-Identifier: MIT
#include "decimal_text.h"

#include <pixtera/platform/codepage.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace pixtera {
namespace {

std::string NumericLocaleName()
{
    for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"})
        if (const char* value = std::getenv(variable); value && *value)
            return value;
    return "C";
}

char16_t LookUpDecimalSeparator(const std::string& localeName)
{
    locale_t locale = newlocale(LC_NUMERIC_MASK, localeName.c_str(), locale_t{});
    if (!locale)
        return u'.';
    const char* radix = nl_langinfo_l(RADIXCHAR, locale);
    const std::u16string text = radix ? Utf8ToUtf16(radix) : std::u16string();
    freelocale(locale);
    return text.size() == 1 ? text[0] : u'.';
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

} // namespace

char16_t UserDecimalSeparator()
{
    // Values are converted on hot paths; the locale is looked up again only when the
    // environment names another one.
    thread_local std::string cachedName;
    thread_local char16_t cachedSeparator = 0;
    std::string name = NumericLocaleName();
    if (cachedSeparator == 0 || name != cachedName) {
        cachedSeparator = LookUpDecimalSeparator(name);
        cachedName = std::move(name);
    }
    return cachedSeparator;
}

std::u16string FormatReal(double value, int significantDigits, char16_t separator)
{
    if (std::isnan(value))
        return u"NaN";
    if (std::isinf(value))
        return value < 0 ? u"-Infinity" : u"Infinity";
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, significantDigits);
    std::u16string text;
    text.reserve(static_cast<std::size_t>(result.ptr - buffer));
    for (const char* p = buffer; p != result.ptr; ++p) {
        if (*p == '.')
            text += separator;
        else if (*p == 'e')
            text += u'E';
        else
            text += static_cast<char16_t>(*p);
    }
    return text;
}

std::u16string FormatInteger(LONGLONG value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::u16string(buffer, result.ptr);
}

ParsedNumber ParseNumber(std::u16string_view text, char16_t separator)
{
    ParsedNumber parsed;
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);

    // Check the form first: from_chars alone would accept "inf", "nan" and hexadecimal.
    std::string ascii;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        ascii += static_cast<char>(text[i++]);
    std::size_t digits = 0;
    bool fraction = false;
    bool exponent = false;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits)
        ascii += static_cast<char>(text[i]);
    if (i < text.size() && text[i] == separator) {
        fraction = true;
        ascii += '.';
        for (++i; i < text.size() && IsDigit(text[i]); ++i, ++digits)
            ascii += static_cast<char>(text[i]);
    }
    if (digits == 0)
        return parsed;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        exponent = true;
        ascii += 'e';
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            ascii += static_cast<char>(text[i++]);
        std::size_t exponentDigits = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits)
            ascii += static_cast<char>(text[i]);
        if (exponentDigits == 0)
            return parsed;
    }
    if (i != text.size())
        return parsed;

    const char* begin = ascii.data() + (ascii.front() == '+' ? 1 : 0);
    const char* end = ascii.data() + ascii.size();
    if (!fraction && !exponent) {
        if (auto [ptr, ec] = std::from_chars(begin, end, parsed.integer); ec == std::errc() && ptr == end) {
            parsed.integral = true;
            parsed.real = static_cast<double>(parsed.integer);
            parsed.status = ParseStatus::Ok;
            return parsed;
        }
    }
    auto [ptr, ec] = std::from_chars(begin, end, parsed.real);
    if (ec == std::errc::result_out_of_range) {
        parsed.status = ParseStatus::Overflow;
        return parsed;
    }
    parsed.status = ec == std::errc() && ptr == end ? ParseStatus::Ok : ParseStatus::NotANumber;
    return parsed;
}

} // namespace pixtera
