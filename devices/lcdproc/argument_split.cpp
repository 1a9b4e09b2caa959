// SPDX-License-Identifier: MIT
#include "argument_split.h"

#include <array>
#include <cstring>

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

} // namespace

bool SplitArguments(std::string_view line, std::string& storage, std::vector<std::string_view>& arguments)
{
    arguments.clear();
    // The arguments are views of one copy of the line. An argument stays where it stands unless
    // it holds an escape or a quote, which is taken out by moving the rest of it back.
    storage.assign(line);
    const char* const text = storage.data();
    char* const out = storage.data();
    const std::size_t size = storage.size();
    std::size_t read = 0;
    std::size_t write = 0; // where the argument being read goes on
    std::size_t begun = std::string_view::npos; // where it starts
    char closing = '\0'; // the quote that ends the open one
    unsigned char stops = kStopsPlain;
    while (read < size) {
        // The characters that mean nothing here, at once; the string's own NUL ends the run.
        std::size_t run = read;
        while (!(kStops[static_cast<unsigned char>(text[run])] & stops))
            ++run;
        if (run != read) {
            if (begun == std::string_view::npos)
                begun = write = read;
            else if (write != read)
                std::memmove(out + write, text + read, run - read);
            write += run - read;
            read = run;
            if (read == size)
                break;
        }
        const char c = text[read++];
        if (EndsLine(c))
            break;
        const bool open = begun != std::string_view::npos;
        if (c == '\\') {
            if (!open)
                begun = write = read - 1;
            out[write++] = read < size ? Escaped(text[read++]) : c; // a backslash at the end stays
        } else if (!closing && !IsBlank(c)) { // a quote opens, within an argument or as one
            if (!open)
                begun = write = read;
            closing = c == '"' ? '"' : '}';
            stops = StopsWithin(closing);
        } else { // a blank, or the quote closing: "ab"cd is two arguments
            if (open && arguments.size() < kMaxArguments)
                arguments.emplace_back(text + begun, write - begun);
            begun = std::string_view::npos;
            closing = '\0';
            stops = kStopsPlain;
        }
    }
    if (begun != std::string_view::npos && arguments.size() < kMaxArguments)
        arguments.emplace_back(text + begun, write - begun);
    return !closing;
}

std::optional<std::vector<std::string>> SplitArguments(std::string_view line)
{
    std::string storage;
    std::vector<std::string_view> views;
    if (!SplitArguments(line, storage, views))
        return std::nullopt;
    return std::vector<std::string>(views.begin(), views.end());
}

} // namespace pixtera::lcdproc
