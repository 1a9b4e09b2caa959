// SPDX-License-Identifier: MIT
#include "terminal_keys.h"

#include <pixtera/sdk/display_input.h>

#include <array>
#include <utility>

namespace pixtera {
namespace {

constexpr char kEscape = '\x1b';

constexpr std::array<std::pair<std::string_view, LONG>, 24> kSequences{{
    {"[A", kKeyUp},       {"[B", kKeyDown},     {"[C", kKeyRight},    {"[D", kKeyLeft},     {"OA", kKeyUp},
    {"OB", kKeyDown},     {"OC", kKeyRight},    {"OD", kKeyLeft},     {"OP", kKeyF1},       {"OQ", kKeyF1 + 1},
    {"OR", kKeyF1 + 2},   {"OS", kKeyF1 + 3},   {"[[A", kKeyF1},      {"[[B", kKeyF1 + 1},  {"[[C", kKeyF1 + 2},
    {"[[D", kKeyF1 + 3},  {"[11~", kKeyF1},     {"[12~", kKeyF1 + 1}, {"[13~", kKeyF1 + 2}, {"[14~", kKeyF1 + 3},
    {"[15~", kKeyF1 + 4}, {"[17~", kKeyF1 + 5}, {"[18~", kKeyF1 + 6}, {"[19~", kKeyF8},
}};

// A CSI sequence ends with a byte from @ to ~; "[[" (the Linux console's F-keys) takes one more.
bool Complete(std::string_view sequence)
{
    if (sequence.size() < 2)
        return false;
    if (sequence[0] == 'O')
        return true; // SS3: one byte after the O
    if (sequence == "[[")
        return false;
    const char last = sequence.back();
    return last >= '@' && last <= '~' && last != '[';
}

} // namespace

std::vector<LONG> TerminalKeys::Feed(std::string_view bytes)
{
    std::vector<LONG> keys;
    for (char byte : bytes)
        Take(byte, keys);
    return keys;
}

std::vector<LONG> TerminalKeys::Quiet()
{
    std::vector<LONG> keys;
    if (pending_.size() == 1)
        keys.push_back(kKeyEscape);
    pending_.clear();
    skipping_ = false;
    return keys;
}

void TerminalKeys::Take(char byte, std::vector<LONG>& keys)
{
    if (skipping_) {
        skipping_ = byte < '@' || byte > '~';
        return;
    }
    if (pending_.empty()) {
        if (byte == kEscape)
            pending_ = byte;
        else if (byte == '\r' || byte == '\n')
            keys.push_back(kKeyEnter);
        else
            keys.push_back(kKeyRaw | static_cast<unsigned char>(byte));
        return;
    }
    if (pending_.size() == 1) {
        if (byte == '[' || byte == 'O') {
            pending_ += byte;
            return;
        }
        // ESC and something else: Escape, then the rest on its own (Alt+key, or ESC ESC).
        pending_.clear();
        keys.push_back(kKeyEscape);
        Take(byte, keys);
        return;
    }
    pending_ += byte;
    if (Complete(std::string_view(pending_).substr(1)))
        Finish(keys);
    else if (pending_.size() >= kLongestSequence) {
        pending_.clear();
        skipping_ = true;
    }
}

void TerminalKeys::Finish(std::vector<LONG>& keys)
{
    const std::string_view sequence = std::string_view(pending_).substr(1);
    for (const auto& [known, key] : kSequences)
        if (sequence == known)
            keys.push_back(key);
    pending_.clear();
}

} // namespace pixtera
