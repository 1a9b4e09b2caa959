// SPDX-License-Identifier: MIT
// The keys' way through the service: every subscriber hears every key, a queue is bounded, and
// what the drivers hand over is checked.

#include "captured_log.h"
#include "key_events.h"
#include "key_sink.h"

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::test;

TEST(KeyEvents, EverySubscriberHearsEveryKeyUntilItLeaves)
{
    auto events = std::make_shared<KeyEvents>();
    int woken = 0;
    auto first = std::make_shared<KeyQueue>("the first", 8, [&] { ++woken; });
    auto second = std::make_shared<KeyQueue>("the second", 8, nullptr);
    auto keepFirst = events->Subscribe(first);
    {
        auto keepSecond = events->Subscribe(second);
        events->Publish({0, kKeyUp, kKeyPressed});
    }
    events->Publish({1, kKeyDown, kKeyPressed});
    EXPECT_EQ(first->Take(), (std::vector<KeyPress>{{0, kKeyUp, kKeyPressed}, {1, kKeyDown, kKeyPressed}}));
    EXPECT_EQ(second->Take(), (std::vector<KeyPress>{{0, kKeyUp, kKeyPressed}}));
    EXPECT_EQ(woken, 2);
    EXPECT_TRUE(first->Take().empty());
}

TEST(KeyEvents, RepeatsOfTheKeyWaitingLastAreMergedAndAFullQueueDropsWhatComesWithOneMessage)
{
    CapturedLog log;
    KeyQueue queue("the bus", 3, nullptr);
    EXPECT_TRUE(queue.Push({0, kKeyUp, kKeyPressed}));
    for (int i = 0; i < 1000; ++i)
        EXPECT_TRUE(queue.Push({0, kKeyUp, kKeyRepeated}));
    EXPECT_TRUE(queue.Push({1, kKeyUp, kKeyRepeated})) << "another display's key";
    EXPECT_TRUE(queue.Push({1, kKeyUp, kKeyRepeated}));
    EXPECT_TRUE(queue.Push({1, kKeyUp, kKeyReleased}));
    EXPECT_FALSE(queue.Push({0, kKeyEnter, kKeyPressed}));
    EXPECT_FALSE(queue.Push({0, kKeyEscape, kKeyPressed}));
    EXPECT_EQ(queue.dropped(), 2u);
    EXPECT_EQ(log.Count("Keys arrive faster than the bus takes them"), 1) << log.Text();
    EXPECT_EQ(queue.Take(),
              (std::vector<KeyPress>{{0, kKeyUp, kKeyPressed}, {1, kKeyUp, kKeyRepeated}, {1, kKeyUp, kKeyReleased}}))
        << "the keys that came first are kept, in order";

    EXPECT_TRUE(queue.Push({0, kKeyUp, kKeyReleased}));
    EXPECT_TRUE(queue.Push({0, kKeyUp, kKeyRepeated})) << "a repeat after a release is news";
    EXPECT_EQ(queue.Take().size(), 2u);
    for (int i = 0; i < 5; ++i)
        queue.Push({0, kKeyF1 + i, kKeyPressed});
    EXPECT_EQ(log.Count("Keys arrive faster than the bus takes them"), 2) << "each overflow is said once";
}

TEST(KeyEvents, TheSinkRefusesWhatIsNoKeyAndOutlivesTheEvents)
{
    auto events = std::make_shared<KeyEvents>();
    auto queue = std::make_shared<KeyQueue>("a test", 8, nullptr);
    auto subscription = events->Subscribe(queue);
    auto sink = MakeComObject<KeySink>(events, 3);
    EXPECT_EQ(sink->KeyEvent(kKeyRaw | 0x41, kKeyRepeated), S_OK);
    EXPECT_EQ(sink->KeyEvent(0x19, kKeyPressed), E_INVALIDARG);
    EXPECT_EQ(sink->KeyEvent(kKeyUp, 3), E_INVALIDARG);
    EXPECT_EQ(sink->KeyEvent(kKeyUp, -1), E_INVALIDARG);
    EXPECT_EQ(queue->Take(), (std::vector<KeyPress>{{3, kKeyRaw | 0x41, kKeyRepeated}}));
    subscription = {};
    events.reset();
    EXPECT_EQ(sink->KeyEvent(kKeyUp, kKeyPressed), S_OK) << "a plug-in calling late";
}

} // namespace
