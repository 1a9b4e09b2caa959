// SPDX-License-Identifier: MIT
// Payloads as values: numbers only when the whole payload is one, JSON objects' fields, and
// numbers written back as the plain text other programs read.

#include <pixtera/mqtt/payload_values.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace pixtera::mqtt;

TEST(PayloadValues, NumbersAreNumbersAndTheRestText)
{
    EXPECT_EQ(PayloadValue("21.5"), Value(21.5));
    EXPECT_EQ(PayloadValue(" -3\n"), Value(-3.0)) << "blanks and a line end around it";
    EXPECT_EQ(PayloadValue("1e3"), Value(1000.0));
    for (const char* text : {"21,5", "21.5 C", "", "nan", "inf", "0x10", "ON"})
        EXPECT_EQ(PayloadValue(text), Value(std::string(text))) << text;
}

TEST(PayloadValues, AJsonObjectSaysItsTopLevelFields)
{
    const auto fields = JsonFields(R"({"temperature": 21.5, "state": "ON", "occupied": true, "battery": null,
                                       "color": {"x": 0.3}, "list": [1, 2]})");
    ASSERT_EQ(fields.size(), 6u);
    EXPECT_EQ(fields[0], (std::pair<std::string, Value>{"temperature", 21.5})) << "in the object's order";
    EXPECT_EQ(fields[1].second, Value(std::string("ON")));
    EXPECT_EQ(fields[2].second, Value(1.0));
    EXPECT_EQ(fields[3].second, Value(std::string()));
    EXPECT_EQ(fields[4].second, Value(std::string(R"({"x":0.3})")));
    EXPECT_EQ(fields[5].second, Value(std::string("[1,2]")));
    for (const char* text : {"[1,2]", "{\"broken\": ", "21.5", "\"text\"", ""})
        EXPECT_TRUE(JsonFields(text).empty()) << text;
}

TEST(PayloadValues, NumbersReadBackTheSame)
{
    EXPECT_EQ(NumberText(21.5), "21.5");
    EXPECT_EQ(NumberText(42), "42");
    EXPECT_EQ(NumberText(-0.001), "-0.001");
    EXPECT_EQ(NumberText(0.1 + 0.2), "0.30000000000000004") << "the exact value, never rounded to a lie";
    EXPECT_EQ(std::get<double>(PayloadValue(NumberText(1.0 / 3))), 1.0 / 3);
}

} // namespace
