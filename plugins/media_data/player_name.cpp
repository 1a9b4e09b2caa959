// SPDX-License-Identifier: MIT
#include "player_name.h"

#include <algorithm>

namespace pixtera::media {
namespace {

constexpr std::string_view kInstance = ".instance";

// Bus names are ASCII: folding ASCII letters is all "any case" takes.
char Folded(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool SameLetter(char a, char b) { return Folded(a) == Folded(b); }

bool StartsWith(std::string_view text, std::string_view start)
{
    return text.size() >= start.size() && std::equal(start.begin(), start.end(), text.begin(), SameLetter);
}

// `name` up to its instance suffix.
std::string_view WithoutInstance(std::string_view name)
{
    const auto suffix = std::search(name.begin(), name.end(), kInstance.begin(), kInstance.end(), SameLetter);
    return name.substr(0, static_cast<std::size_t>(suffix - name.begin()));
}

} // namespace

std::string_view PlayerName(std::string_view busName)
{
    if (!StartsWith(busName, kMprisPrefix))
        return {};
    return WithoutInstance(busName.substr(kMprisPrefix.size()));
}

bool NamesPlayer(std::string_view wanted, std::string_view busName)
{
    const std::string_view name = PlayerName(busName);
    const std::string_view want = StartsWith(wanted, kMprisPrefix) ? PlayerName(wanted) : WithoutInstance(wanted);
    return !name.empty() && name.size() == want.size() &&
           std::equal(name.begin(), name.end(), want.begin(), SameLetter);
}

} // namespace pixtera::media
