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

// Where the run of plain characters from `at` ends: the next one that means something, outside
// a quote (`closing` none) or inside one.
std::size_t PlainRunEnd(std::string_view line, std::size_t at, char closing)
{
    const unsigned char mask = closing == '"' ? kStopsQuote : closing == '}' ? kStopsBrace : kStopsPlain;
    while (at < line.size() && !(kStops[static_cast<unsigned char>(line[at])] & mask))
        ++at;
    return at;
}

} // namespace

bool SplitArguments(std::string_view line, std::vector<std::string>& arguments, std::size_t& count)
{
    count = 0;
    std::string dropped; // an argument past the limit: read, then forgotten
    std::string* current = nullptr; // the argument being read
    char closing = '\0'; // the quote that ends the open one
    auto begin = [&] {
        if (current)
            return;
        if (count == kMaxArguments) {
            dropped.clear();
            current = &dropped;
            return;
        }
        if (count == arguments.size())
            arguments.emplace_back();
        current = &arguments[count++];
        current->clear();
    };
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (EndsLine(c))
            break;
        if (!closing && IsBlank(c)) {
            current = nullptr;
            continue;
        }
        begin();
        if (c == '\\' && at + 1 < line.size()) {
            *current += Escaped(line[++at]);
        } else if (!closing && (c == '"' || c == '{')) {
            closing = c == '"' ? '"' : '}';
        } else if (closing && c == closing) {
            closing = '\0';
            current = nullptr; // a quote ends its argument: "ab"cd is two
        } else {
            // This character and the plain ones after it, at once.
            const std::size_t end = PlainRunEnd(line, at + 1, closing);
            current->append(line.substr(at, end - at));
            at = end - 1;
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
