// SPDX-License-Identifier: MIT
#include "argument_split.h"

#include <array>

namespace pixtera::lcdproc {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsLine(char c) { return c == '\n' || c == '\r' || c == '\0'; }

char Escaped(char c)
{
    switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
    }
}

// What a character means to the splitter, as bits: outside a quote, within "...", within {...}.
constexpr unsigned char kStopsPlain = 1;
constexpr unsigned char kStopsQuote = 2;
constexpr unsigned char kStopsBrace = 4;

constexpr std::array<unsigned char, 256> MakeStops()
{
    std::array<unsigned char, 256> stops{};
    for (unsigned char c : {'\\', '\n', '\r', '\0'})
        stops[c] = kStopsPlain | kStopsQuote | kStopsBrace;
    for (unsigned char c : {' ', '\t', '{'})
        stops[c] |= kStopsPlain;
    stops[static_cast<unsigned char>('"')] |= kStopsPlain | kStopsQuote;
    stops[static_cast<unsigned char>('}')] |= kStopsBrace;
    return stops;
}
constexpr std::array<unsigned char, 256> kStops = MakeStops();

constexpr unsigned char StopsWithin(char closing)
{
    return closing == '"' ? kStopsQuote : closing == '}' ? kStopsBrace : kStopsPlain;
}

// The next argument's storage, cleared; past the limit one that is read and then forgotten.
std::string& Begin(std::vector<std::string>& arguments, std::size_t& count, std::string& dropped)
{
    if (count == kMaxArguments) {
        dropped.clear();
        return dropped;
    }
    if (count == arguments.size())
        arguments.emplace_back();
    std::string& argument = arguments[count++];
    argument.clear();
    return argument;
}

} // namespace

bool SplitArguments(std::string_view line, std::vector<std::string>& arguments, std::size_t& count)
{
    count = 0;
    std::string dropped;
    std::string* current = nullptr; // the argument being read
    char closing = '\0'; // the quote that ends the open one
    unsigned char stops = kStopsPlain;
    const char* at = line.data();
    const char* const end = at + line.size();
    while (at < end) {
        // The characters that mean nothing here, at once.
        const char* run = at;
        while (run < end && !(kStops[static_cast<unsigned char>(*run)] & stops))
            ++run;
        if (run != at) {
            if (!current)
                current = &Begin(arguments, count, dropped);
            current->append(at, run);
            if ((at = run) == end)
                break;
        }
        const char c = *at++;
        if (EndsLine(c))
            break;
        if (c == '\\') {
            if (!current)
                current = &Begin(arguments, count, dropped);
            *current += at < end ? Escaped(*at++) : c; // a backslash at the end stays
        } else if (closing) { // the quote closes: "ab"cd is two arguments
            closing = '\0';
            stops = kStopsPlain;
            current = nullptr;
        } else if (IsBlank(c)) {
            current = nullptr;
        } else { // a quote opens, within an argument or as one
            if (!current)
                current = &Begin(arguments, count, dropped);
            closing = c == '"' ? '"' : '}';
            stops = StopsWithin(closing);
        }
    }
    return !closing;
}

std::optional<std::vector<std::string>> SplitArguments(std::string_view line)
{
    std::vector<std::string> arguments;
    std::size_t count = 0;
    if (!SplitArguments(line, arguments, count))
        return std::nullopt;
    arguments.resize(count);
    return arguments;
}

} // namespace pixtera::lcdproc
