// SPDX-License-Identifier: MIT
#include "screen_names.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace pixtera::bridge {
namespace {

// At most `bytes`, never inside a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
    return text;
}

std::string Stem(const std::string& file)
{
    std::string stem = std::filesystem::path(file).stem().string();
    return CutUtf8(stem.empty() ? std::string("design") : std::move(stem), kLongestScreenName);
}

} // namespace

std::vector<std::string> ScreenNames(const std::vector<std::string>& files)
{
    std::vector<std::string> names;
    std::set<std::string> taken;
    for (const std::string& file : files) {
        if (names.size() == kMostScreens)
            break;
        const std::string stem = Stem(file);
        std::string name = stem;
        for (int n = 2; taken.contains(name); ++n) {
            const std::string suffix = " " + std::to_string(n);
            name = CutUtf8(stem, kLongestScreenName - suffix.size()) + suffix;
        }
        taken.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}

std::optional<int> ScreenIndex(const std::vector<std::string>& names, std::string_view name)
{
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end())
        return std::nullopt;
    return static_cast<int>(it - names.begin());
}

} // namespace pixtera::bridge
