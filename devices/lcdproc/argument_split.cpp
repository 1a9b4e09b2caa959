// SPDX-License-Identifier: MIT
#include "argument_split.h"

namespace pixtera::lcdproc {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char Escaped(char c)
{
    switch (c) {
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;
    }
}

} // namespace

std::optional<std::vector<std::string>> SplitArguments(std::string_view line)
{
    std::vector<std::string> arguments;
    arguments.reserve(12); // a widget_set's, without growing
    std::string current;
    bool inArgument = false;
    char closing = '\0'; // the quote that ends the open one
    auto finish = [&] {
        if (arguments.size() < kMaxArguments)
            arguments.push_back(std::move(current));
        current.clear();
        inArgument = false;
    };
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (c == '\n' || c == '\r' || c == '\0')
            break;
        if (!closing && IsBlank(c)) {
            if (inArgument)
                finish();
            continue;
        }
        inArgument = true;
        if (c == '\\' && at + 1 < line.size())
            current += Escaped(line[++at]);
        else if (!closing && (c == '"' || c == '{'))
            closing = c == '"' ? '"' : '}';
        else if (closing && c == closing) {
            closing = '\0';
            finish(); // a quote ends its argument: "ab"cd is two
        } else
            current += c;
    }
    if (closing)
        return std::nullopt;
    if (inArgument)
        finish();
    return arguments;
}

} // namespace pixtera::lcdproc
