// SPDX-License-Identifier: MIT
#include "terminal_keys.h"

#include <pixtera/sdk/key_names.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

std::vector<std::string> Names(const std::vector<LONG>& keys)
{
    std::vector<std::string> names;
    for (LONG key : keys)
        names.push_back(KeyName(key));
    return names;
}

TEST(TerminalKeys, ArrowsEnterAndFunctionKeysInEveryDialect)
{
    TerminalKeys keys;
    EXPECT_EQ(Names(keys.Feed("\x1b[A\x1b[B\x1bOC\x1bOD\r\n")),
              (std::vector<std::string>{"Up", "Down", "Right", "Left", "Enter", "Enter"}));
    EXPECT_EQ(Names(keys.Feed("\x1bOP\x1b[[B\x1b[13~\x1b[15~\x1b[19~")),
              (std::vector<std::string>{"F1", "F2", "F3", "F5", "F8"}));
    EXPECT_EQ(Names(keys.Feed("a~")), (std::vector<std::string>{"Raw:0x61", "Raw:0x7E"}));
    EXPECT_FALSE(keys.waiting());
}

TEST(TerminalKeys, ASequenceInPiecesIsOneKey)
{
    TerminalKeys keys;
    EXPECT_TRUE(keys.Feed("\x1b").empty());
    EXPECT_TRUE(keys.waiting());
    EXPECT_TRUE(keys.Feed("[1").empty());
    EXPECT_TRUE(keys.Feed("8").empty());
    EXPECT_EQ(Names(keys.Feed("~")), (std::vector<std::string>{"F7"}));
}

TEST(TerminalKeys, ALoneEscapeIsTheKeyOnlyOnceTheTerminalIsQuiet)
{
    TerminalKeys keys;
    EXPECT_TRUE(keys.Feed("\x1b").empty());
    EXPECT_EQ(Names(keys.Quiet()), (std::vector<std::string>{"Escape"}));
    EXPECT_FALSE(keys.waiting());
    // ESC ESC [ A: the first is the key, the rest an arrow; ESC before a letter is Escape and it.
    EXPECT_EQ(Names(keys.Feed("\x1b\x1b[A\x1bx")), (std::vector<std::string>{"Escape", "Up", "Escape", "Raw:0x78"}));
    // A sequence cut short by the quiet is no key.
    EXPECT_TRUE(keys.Feed("\x1b[1").empty());
    EXPECT_TRUE(keys.Quiet().empty());
    EXPECT_EQ(Names(keys.Feed("5~")), (std::vector<std::string>{"Raw:0x35", "Raw:0x7E"}));
}

TEST(TerminalKeys, UnknownAndEndlessSequencesAreDroppedWhole)
{
    TerminalKeys keys;
    EXPECT_TRUE(keys.Feed("\x1b[1;5A\x1b[200~").empty()) << "a modified arrow, bracketed paste";
    EXPECT_TRUE(keys.Feed("\x1b[" + std::string(100, '1')).empty()) << "none of it is a key";
    EXPECT_TRUE(keys.waiting());
    EXPECT_TRUE(keys.Feed("m").empty()) << "its end";
    EXPECT_EQ(Names(keys.Feed("\x1b[Ab")), (std::vector<std::string>{"Up", "Raw:0x62"}));
    EXPECT_TRUE(keys.Feed("\x1b[" + std::string(100, '2')).empty());
    EXPECT_TRUE(keys.Quiet().empty());
    EXPECT_EQ(Names(keys.Feed("3")), (std::vector<std::string>{"Raw:0x33"})) << "the quiet ends it too";
}

} // namespace
