// SPDX-License-Identifier: MIT
#pragma once
// The keys in what a terminal sends: arrows (ESC [ A, and ESC O A in application mode), Enter
// (CR or LF), Escape (ESC alone, once the terminal has been quiet for kEscapeQuiet), F1-F4 (ESC O
// P..S, ESC [ [ A..D on the Linux console) and F1-F8 (ESC [ 11~ .. 19~). Any other byte is a raw
// key (Raw:0x61 for "a"); sequences it does not know are dropped whole. Bytes arrive in any
// pieces; a sequence is at most kLongestSequence bytes, and one that runs longer is dropped up to
// its final byte (or the next quiet).

#include <pixtera/platform/com.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace pixtera {

class TerminalKeys {
public:
    static constexpr std::size_t kLongestSequence = 16;
    // How long an ESC waits for the rest of a sequence before it is the Escape key.
    static constexpr std::chrono::milliseconds kEscapeQuiet{50};

    // The keys the bytes complete (KeyCode values).
    std::vector<LONG> Feed(std::string_view bytes);
    // The terminal was quiet for kEscapeQuiet: an ESC still waiting is the Escape key, and a
    // sequence cut short is dropped.
    std::vector<LONG> Quiet();
    // An ESC or a sequence waits for more: the reader should call Quiet when none comes.
    bool waiting() const { return !pending_.empty() || skipping_; }

private:
    void Take(char byte, std::vector<LONG>& keys);
    // The pending sequence is complete: its key, if it is one.
    void Finish(std::vector<LONG>& keys);

    std::string pending_; // from ESC on
    bool skipping_ = false; // in a sequence too long to be a key
};

} // namespace pixtera
