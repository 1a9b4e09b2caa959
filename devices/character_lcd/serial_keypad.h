// SPDX-License-Identifier: MIT
#pragma once
// The keypad of a serial module with the 0xFE command set: each key arrives as one byte on the
// module's own stream ('A' to 'Y' on the usual 5 x 5 matrix), mapped to the keys of the system by
// a configurable map. How a held key shows depends on the module's auto-repeat mode:
//
//   off:       one byte per press;
//   typematic: the byte again while the key is held (after half a second, five a second), so
//              the same byte within kRepeatWindow of the last is a repeat;
//   updown:    the byte when pressed and the byte + 0x20 ('a' for 'A') when released.
//
// The writer thread owns the port; the keypad reads a duplicate of its descriptor, handed over at
// every connection, on a thread of its own that sleeps on the port and an eventfd. The duplicate
// shares the port's exclusive lock, so it is given up before the writer opens the port again.

#include <pixtera/platform/com.h>
#include <pixtera/platform/unique_fd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pixtera::lcd {

enum class KeyRepeat { Off, Typematic, UpDown };

// Each byte's key (a KeyCode); 0 for none, which makes it Raw:0xNN.
using KeypadMap = std::array<LONG, 256>;

// A:Left,B:Right,C:Up,D:Down,E:Enter,F:Escape: what most keypad modules are wired and labelled as.
inline constexpr const char* kDefaultKeypadMap = "A:Left,B:Right,C:Up,D:Down,E:Enter,F:Escape";

// "A:Left,B:Right,0x47:F1": a byte (a letter or digit, or 0x47) and a key name, separated by
// commas. None when a part is not that, with the part in `problem`.
std::optional<KeypadMap> ParseKeypadMap(const std::string& text, std::string& problem);

struct KeyEventOf {
    LONG key = 0;
    LONG action = 0;
    bool operator==(const KeyEventOf&) const = default;
};

// Bytes to keys, for one repeat mode.
class KeypadDecoder {
public:
    static constexpr std::chrono::milliseconds kRepeatWindow{600};
    using Clock = std::chrono::steady_clock;

    KeypadDecoder(KeypadMap map, KeyRepeat repeat) : map_(map), repeat_(repeat) {}
    KeyEventOf Decode(std::uint8_t byte, Clock::time_point now);

private:
    LONG KeyOf(std::uint8_t byte) const;

    KeypadMap map_;
    KeyRepeat repeat_;
    std::optional<std::uint8_t> last_; // typematic: the last byte and when it came
    Clock::time_point lastAt_{};
};

class SerialKeypad {
public:
    using Pressed = std::function<void(LONG key, LONG action)>;

    SerialKeypad(KeypadDecoder decoder, Pressed pressed);
    SerialKeypad(const SerialKeypad&) = delete;
    SerialKeypad& operator=(const SerialKeypad&) = delete;
    ~SerialKeypad();

    // The port was opened (on the writer's thread): its input is read from now on, through a
    // duplicate of `fd`.
    void Attach(int fd);
    // The port is about to be opened again: the duplicate of the old one is closed when this
    // returns, so that its lock does not keep the port from the writer.
    void Detach();
    // No key is handed on after this returns; later attachments are ignored.
    void Stop();

private:
    void Run();

    const Pressed pressed_;
    const UniqueFd wake_; // an eventfd: a new port, or the end
    std::mutex mutex_; // guards attached_, stopping_, running_ and the detach counts
    std::condition_variable detached_;
    UniqueFd attached_; // handed over, not yet taken by the thread
    bool stopping_ = false;
    bool running_ = true; // the thread has not ended
    std::uint64_t detachAsked_ = 0;
    std::uint64_t detachDone_ = 0;
    // The thread's own.
    KeypadDecoder decoder_;
    UniqueFd port_;
    std::thread thread_; // last: it uses everything above
};

} // namespace pixtera::lcd
