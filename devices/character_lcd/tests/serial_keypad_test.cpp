// SPDX-License-Identifier: MIT
// The keypad's bytes as keys, in each of the module's auto-repeat modes.

#include "pty_port.h"
#include "serial_keypad.h"

#include <pixtera/sdk/key_names.h>

#include <fcntl.h>
#include <sys/file.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::lcd;
using pixtera::lcd::test::PtyPort;
using namespace std::chrono_literals;

KeypadMap DefaultMap()
{
    std::string problem;
    const auto map = ParseKeypadMap(kDefaultKeypadMap, problem);
    EXPECT_TRUE(map) << problem;
    return map.value_or(KeypadMap{});
}

TEST(SerialKeypad, TheMapNamesBytesByLetterOrNumber)
{
    const KeypadMap map = DefaultMap();
    EXPECT_EQ(map['A'], kKeyLeft);
    EXPECT_EQ(map['F'], kKeyEscape);
    EXPECT_EQ(map['G'], 0);
    std::string problem;
    const auto custom = ParseKeypadMap("0x47:F1,1:Enter,Y:Raw:0x10", problem);
    ASSERT_TRUE(custom) << problem;
    EXPECT_EQ((*custom)['G'], kKeyF1);
    EXPECT_EQ((*custom)['1'], kKeyEnter);
    EXPECT_EQ((*custom)['Y'], kKeyRaw | 0x10);
    for (const char* wrong : {"A:Lefty", "A", "AB:Up", ":Up", "0x100:Up", "-:Up"}) {
        EXPECT_FALSE(ParseKeypadMap(wrong, problem)) << wrong;
    }
    EXPECT_TRUE(ParseKeypadMap("", problem)) << "no keys mapped: every byte is raw";
}

std::vector<std::string> Decoded(KeypadDecoder& decoder, std::string_view bytes, std::chrono::milliseconds apart = 0ms)
{
    std::vector<std::string> keys;
    auto at = KeypadDecoder::Clock::time_point{} + 1h;
    const char* const kActions[] = {"", "+repeat", "+release"};
    for (char byte : bytes) {
        const auto event = decoder.Decode(static_cast<std::uint8_t>(byte), at);
        keys.push_back(KeyName(event.key) + kActions[event.action]);
        at += apart;
    }
    return keys;
}

TEST(SerialKeypad, WithoutRepeatEveryByteIsAPress)
{
    KeypadDecoder decoder(DefaultMap(), KeyRepeat::Off);
    EXPECT_EQ(Decoded(decoder, "CCEGc"), (std::vector<std::string>{"Up", "Up", "Enter", "Raw:0x47", "Raw:0x63"}));
}

TEST(SerialKeypad, TypematicBytesSoonAfterTheSameOneAreRepeats)
{
    KeypadDecoder decoder(DefaultMap(), KeyRepeat::Typematic);
    EXPECT_EQ(Decoded(decoder, "DDDCD", 200ms),
              (std::vector<std::string>{"Down", "Down+repeat", "Down+repeat", "Up", "Down"}));
    KeypadDecoder later(DefaultMap(), KeyRepeat::Typematic);
    EXPECT_EQ(Decoded(later, "DD", 2s), (std::vector<std::string>{"Down", "Down"})) << "pressed again later";
}

TEST(SerialKeypad, UpDownLowerCaseIsTheRelease)
{
    KeypadDecoder decoder(DefaultMap(), KeyRepeat::UpDown);
    EXPECT_EQ(Decoded(decoder, "CcGg"), (std::vector<std::string>{"Up", "Up+release", "Raw:0x47", "Raw:0x47+release"}));
    std::string problem;
    KeypadDecoder lower(*ParseKeypadMap("a:Enter", problem), KeyRepeat::UpDown);
    EXPECT_EQ(Decoded(lower, "a"), (std::vector<std::string>{"Enter"})) << "a byte the map names is its key";
}

} // namespace

namespace {

// Whether a new descriptor of `path` gets the exclusive lock the port is held with.
bool Lockable(const std::string& path)
{
    UniqueFd fd(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    return fd && flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
}

TEST(SerialKeypad, ThePortsDuplicateIsGivenUpBeforeThePortIsOpenedAgain)
{
    PtyPort port;
    const std::string& path = port.path();
    SerialKeypad keypad(KeypadDecoder(DefaultMap(), KeyRepeat::Off), [](LONG, LONG) {});
    {
        UniqueFd writers(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
        ASSERT_EQ(flock(writers.get(), LOCK_EX | LOCK_NB), 0);
        keypad.Attach(writers.get());
    } // the writer lost the port and closed it
    EXPECT_FALSE(Lockable(path)) << "the keypad's duplicate holds the lock";
    keypad.Detach();
    EXPECT_TRUE(Lockable(path)) << "the writer can open the port again";
}

} // namespace
