// SPDX-License-Identifier: MIT
// The item table under a hostile publisher: long topics and long field names left out, the bytes
// all items hold bounded, refused JSON objects said once per topic, the other values still kept.

#include "topic_values.h"

#include "captured_log.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using namespace pixtera::mqtt;
using pixtera::test::CapturedLog;

std::map<std::string, Value> ByName(const TopicValues& values)
{
    std::map<std::string, Value> byName;
    for (const auto& item : values.Items())
        byName[item.name] = item.value;
    return byName;
}

std::size_t HeldBytes(const TopicValues& values)
{
    std::size_t bytes = 0;
    for (const auto& item : values.Items()) {
        const auto* text = std::get_if<std::string>(&item.value);
        bytes += item.name.size() + item.description.size() + (text ? text->size() : 0);
    }
    return bytes;
}

std::string WideObject(std::size_t fields)
{
    std::string text = "{";
    for (std::size_t i = 0; i < fields; ++i)
        text += (i ? ",\"f" : "\"f") + std::to_string(i) + "\":" + std::to_string(i);
    return text + "}";
}

Value Text(std::size_t length, char c) { return Value(std::string(length, c)); }

TEST(TopicValues, LongTopicsAndFieldNamesAreLeftOutAndSaidOnce)
{
    CapturedLog log;
    TopicValues values;
    const std::string flood = "flood/" + std::string(60'000, 'x');
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(values.Store(flood + std::to_string(i), "1"));
    EXPECT_EQ(values.Items().size(), 1u) << "only mqtt.connected";
    EXPECT_EQ(log.Count("a topic of 60007 bytes is left out (at most 256)"), 1) << log.Text();

    const std::string longest(256, 'y');
    EXPECT_TRUE(values.Store(longest, "1"));
    EXPECT_FALSE(values.Store(longest + "z", "1"));
    EXPECT_EQ(log.Count("a topic of"), 1) << "once in all, not once per topic";

    // An item's name is its topic and the field's name.
    const std::string fieldName(256 - 2, 'f');
    const std::string json = "{\"" + fieldName + "\": 1, \"" + fieldName + "g\": 2, \"h\": 3}";
    values.Store("t", json);
    values.Store("t", json);
    const auto byName = ByName(values);
    EXPECT_TRUE(byName.contains("t." + fieldName));
    EXPECT_FALSE(byName.contains("t." + fieldName + "g"));
    EXPECT_EQ(byName.at("t.h"), Value(3.0));
    EXPECT_EQ(log.Count("1 JSON fields whose item names would be longer than 256 bytes"), 1) << log.Text();
}

TEST(TopicValues, AllItemsTogetherHoldABoundedNumberOfBytes)
{
    {
        CapturedLog log;
        const TopicLimits defaults;
        TopicValues values;
        for (int i = 0; i < 1000; ++i)
            values.Store("big/" + std::to_string(i), std::string(60'000, 't'));
        EXPECT_LE(HeldBytes(values), defaults.mostBytes);
        EXPECT_GT(HeldBytes(values), defaults.mostBytes - defaults.longestText - 100) << "full, not refused early";
        EXPECT_EQ(std::get<std::string>(ByName(values).at("big/0")).size(), defaults.longestText) << "cut";
        EXPECT_EQ(log.Count("the values fill all 1024 KiB there is room for at \"big/"), 1) << log.Text();
    }

    // mqtt.connected holds 28 bytes, each of a, b, c and d its 1-byte name and 6-byte description.
    CapturedLog log;
    TopicValues values({.longestText = 80, .mostBytes = 200});
    EXPECT_TRUE(values.Store("a", std::string(100, 'a')));
    EXPECT_TRUE(values.Store("b", "1"));
    EXPECT_EQ(HeldBytes(values), 28u + 87 + 7);
    EXPECT_FALSE(values.Store("c", std::string(80, 'c'))) << "a new topic beyond the room is left out";
    EXPECT_TRUE(values.Store("b", std::string(80, 'b'))) << "a known topic still changes";
    EXPECT_FALSE(values.Store("d", "1")) << "no room left at all";
    auto byName = ByName(values);
    EXPECT_FALSE(byName.contains("c"));
    EXPECT_FALSE(byName.contains("d"));
    EXPECT_EQ(byName.at("a"), Text(80, 'a'));
    EXPECT_EQ(byName.at("b"), Text(78, 'b')) << "a growing text is cut to the room left";
    EXPECT_EQ(HeldBytes(values), 200u);
    EXPECT_TRUE(values.Store("a", "2")) << "a number frees its text's room";
    EXPECT_TRUE(values.Store("c", std::string(73, 'c')));
    EXPECT_EQ(ByName(values).at("c"), Text(73, 'c'));
    EXPECT_EQ(HeldBytes(values), 200u);
    EXPECT_EQ(log.Count("there is room for"), 1) << log.Text();
}

TEST(TopicValues, RefusedJsonObjectsAreSaidOncePerTopicAndTheirTextKept)
{
    CapturedLog log;
    TopicValues values;
    const std::string wide = WideObject(10'000); // 130 KB
    const std::string wider = WideObject(300'000); // 3.5 MB
    const std::string nested = R"({"list": [)" + std::string(300, ' ') + R"(1], "deep": )" + std::string(10'000, '[') +
                               std::string(10'000, ']') + R"(, "n": 5})";
    for (int i = 0; i < 3; ++i) {
        values.Store("z/wide", wide);
        values.Store("z/other", wide);
        values.Store("z/long", wider);
        values.Store("z/nested", nested);
    }
    EXPECT_TRUE(values.Store("z/ok", R"({"t": 21.5})"));
    EXPECT_EQ(log.Count("\"z/wide\" sent a JSON object of more than 256 fields; its fields are left out"), 1)
        << log.Text();
    EXPECT_EQ(log.Count("\"z/other\" sent a JSON object of more than 256 fields"), 1);
    EXPECT_EQ(log.Count("\"z/long\" sent a JSON object longer than 256 KiB"), 1);
    EXPECT_EQ(log.Count("\"z/nested\" sent 1 JSON objects or arrays longer than 256 bytes"), 1);
    EXPECT_EQ(log.Lines().size(), 4u) << log.Text();

    const auto byName = ByName(values);
    EXPECT_EQ(byName.at("z/wide"), Value(wide.substr(0, 4096))) << "the topic's own text, cut";
    EXPECT_EQ(byName.at("z/long"), Value(wider.substr(0, 4096)));
    EXPECT_FALSE(byName.contains("z/wide.f0"));
    EXPECT_FALSE(byName.contains("z/long.f0"));
    EXPECT_EQ(byName.at("z/nested.list"), Value(std::string("[1]")));
    EXPECT_FALSE(byName.contains("z/nested.deep"));
    EXPECT_EQ(byName.at("z/nested.n"), Value(5.0));
    EXPECT_EQ(byName.at("z/ok.t"), Value(21.5));
}

} // namespace
