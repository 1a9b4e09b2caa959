// SPDX-License-Identifier: MIT
#include "command_list.h"

#include <charconv>

namespace pixtera {
namespace {

constexpr int kShortestIntervalMs = 100;
constexpr int kLongestIntervalMs = 24 * 3600 * 1000;

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The next word, taking it off `text`.
std::string_view NextWord(std::string_view& text)
{
    text = Trim(text);
    const auto end = text.find_first_of(" \t");
    const std::string_view word = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end);
    return word;
}

std::vector<std::string> SplitWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    bool quoted = false;
    bool inWord = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

} // namespace

CommandList ParseCommandList(std::string_view text)
{
    CommandList list;
    int number = 0;
    while (!text.empty()) {
        ++number;
        const auto end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty() || line.front() == '#')
            continue;
        auto problem = [&](const std::string& what) {
            list.problems.push_back("line " + std::to_string(number) + ": " + what);
        };
        CommandItem item;
        item.name = std::string(NextWord(line));
        std::string_view word = NextWord(line);
        if (word == "lines=all") {
            item.allLines = true;
            word = NextWord(line);
        }
        const auto [at, ec] = std::from_chars(word.data(), word.data() + word.size(), item.intervalMs);
        if (word.empty() || ec != std::errc() || at != word.data() + word.size() ||
            item.intervalMs < kShortestIntervalMs || item.intervalMs > kLongestIntervalMs) {
            problem("\"" + std::string(word) + "\" is no interval in milliseconds (" +
                    std::to_string(kShortestIntervalMs) + " or more)");
            continue;
        }
        line = Trim(line);
        if (line.rfind("sh -c", 0) == 0 && (line.size() == 5 || line[5] == ' ' || line[5] == '\t'))
            item.argv = {"sh", "-c", std::string(Trim(line.substr(5)))};
        else
            item.argv = SplitWords(line);
        if (item.argv.empty()) {
            problem(item.name + " has no command");
            continue;
        }
        list.items.push_back(std::move(item));
    }
    return list;
}

} // namespace pixtera
