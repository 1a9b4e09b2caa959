// SPDX-License-Identifier: MIT
// The log's memory of the senders it named: each once, and a bounded number of them.

#include <pixtera/bus/once_per_sender.h>

#include <gtest/gtest.h>

namespace {

using pixtera::bus::OncePerSender;
using Verdict = OncePerSender::Verdict;

TEST(OncePerSender, NamesEachSenderOnceAndStopsNamingNewOnesWhenFull)
{
    OncePerSender said(2);
    EXPECT_EQ(said.Note(":1.1"), Verdict::Name);
    EXPECT_EQ(said.Note(":1.1"), Verdict::Silence);
    EXPECT_EQ(said.Note(":1.2"), Verdict::Name);
    EXPECT_EQ(said.Note(":1.3"), Verdict::FullNow) << "the first sender with no room is the last word";
    EXPECT_EQ(said.Note(":1.4"), Verdict::Silence);
    EXPECT_EQ(said.Note(":1.3"), Verdict::Silence);
    EXPECT_EQ(said.Note(":1.2"), Verdict::Silence) << "the named ones stay named";
}

TEST(OncePerSender, OfThousandsOfSendersNamesNoMoreThanItsCapacity)
{
    OncePerSender said(8);
    int named = 0;
    int lastWords = 0;
    for (int i = 0; i < 5000; ++i) {
        const auto verdict = said.Note(":1." + std::to_string(i));
        named += verdict == Verdict::Name;
        lastWords += verdict == Verdict::FullNow;
    }
    EXPECT_EQ(named, 8);
    EXPECT_EQ(lastWords, 1);
}

} // namespace
