// SPDX-License-Identifier: MIT
// Payloads as values: numbers only when the whole payload is one, JSON objects' fields (read
// strictly, whatever a publisher sends), and numbers written back as the plain text other
// programs read.

#include <pixtera/mqtt/payload_values.h>

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace pixtera::mqtt;
using Verdict = JsonFields::Verdict;
using Fields = std::vector<std::pair<std::string, Value>>;

Value Text(const char* text) { return Value(std::string(text)); }

std::string Repeated(std::string_view part, std::size_t times)
{
    std::string text;
    text.reserve(part.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        text += part;
    return text;
}

// {"f0":0,"f1":1,...}
std::string WideObject(std::size_t fields)
{
    std::string text = "{";
    for (std::size_t i = 0; i < fields; ++i)
        text += (i ? ",\"f" : "\"f") + std::to_string(i) + "\":" + std::to_string(i);
    return text + "}";
}

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
    const auto json = ReadJsonFields(R"({"temperature": 21.5, "state": "ON", "occupied": true, "battery": null,
                                         "color": {"x": 0.3, "name": "a b"}, "list": [1, 2], "off": false})");
    ASSERT_EQ(json.verdict, Verdict::Read);
    const Fields expected{{"temperature", 21.5},
                          {"state", Text("ON")},
                          {"occupied", 1.0},
                          {"battery", Text("")},
                          {"color", Text(R"({"x":0.3,"name":"a b"})")},
                          {"list", Text("[1,2]")},
                          {"off", 0.0}};
    EXPECT_EQ(json.fields, expected) << "in the object's order, nested values without blanks but their texts'";
    EXPECT_EQ(ReadJsonFields(" \r\n{}\t").verdict, Verdict::Read) << "blanks around it";
    for (const char* text : {"[1,2]",
                             "21.5",
                             "\"text\"",
                             "",
                             "  ",
                             "{",
                             "{\"broken\": ",
                             "{\"a\" 1}",
                             "{\"a\":1,}",
                             "{,}",
                             "{\"a\":1}x",
                             "{\"a\":1}{}",
                             "{a:1}",
                             "{'a':1}",
                             "{\"a\":[1,]}",
                             "{\"a\":{\"b\"}}",
                             "{\"a\":[}",
                             "{\"a\":{]}",
                             "{\"a\":[1}]}",
                             "{\"a\":tru}",
                             "{\"a\":nul}",
                             "{\"a\":True}",
                             "{\"a\":1 2}",
                             "{\"a\":\"b\" \"c\"}",
                             "{\"a\":1}]",
                             "{\"a\":1}/*c*/"}) {
        const auto refused = ReadJsonFields(text);
        EXPECT_EQ(refused.verdict, Verdict::NotAnObject) << text;
        EXPECT_TRUE(refused.fields.empty()) << text;
    }
}

TEST(PayloadValues, JsonNumbersFollowTheGrammarAndStayFinite)
{
    const auto json = ReadJsonFields(R"({"a": -0.5e2, "b": 0, "c": 1E+2, "d": 12.25e-1, "e": 1e999, "f": -1e999})");
    ASSERT_EQ(json.verdict, Verdict::Read);
    const Fields expected{{"a", -50.0}, {"b", 0.0},           {"c", 100.0},
                          {"d", 1.225}, {"e", Text("1e999")}, {"f", Text("-1e999")}};
    EXPECT_EQ(json.fields, expected) << "beyond a double: its text, never an infinity";
    for (const char* number :
         {"01", "1.", ".5", "+1", "-", "1e", "1e+", "0x10", "NaN", "Infinity", "-Infinity", "1.e3", "--1"})
        EXPECT_EQ(ReadJsonFields(std::string("{\"n\":") + number + "}").verdict, Verdict::NotAnObject) << number;
}

TEST(PayloadValues, JsonTextsAreUnescapedAndWellFormed)
{
    const auto json =
        ReadJsonFields(R"({"a": "\"\\\/\b\f\n\r\t", "\u00e9t\u00E9": "\u20ac \ud83d\ude00 \u0041", "c": "é€😀"})");
    ASSERT_EQ(json.verdict, Verdict::Read);
    const Fields expected{{"a", Text("\"\\/\b\f\n\r\t")}, {"été", Text("€ 😀 A")}, {"c", Text("é€😀")}};
    EXPECT_EQ(json.fields, expected) << "names too; a surrogate pair is one character";
    EXPECT_EQ(ReadJsonFields(R"({"z": "a\u0000b"})").fields, (Fields{{"z", Value(std::string("a\0b", 3))}}));
    for (const char* text :
         {R"({"a": "\ud83d"})", // a high surrogate alone
          R"({"a": "\ude00"})", // a low one alone
          R"({"a": "\ud83d\u0041"})", // a high one before another character
          R"({"a": "\ud83d\ud83d"})", R"({"a": "\u12"})", R"({"a": "\u12g4"})", R"({"a": "\x41"})", R"({"a": "\)",
          "{\"a\": \"tab\tinside\"}", // control characters must be escaped
          "{\"a\": \"\xff\"}", "{\"a\": \"\xc0\xaf\"}", // not UTF-8, an overlong '/'
          "{\"a\": \"\xed\xa0\x80\"}", // a surrogate in UTF-8
          "{\"a\": \"\xf4\x90\x80\x80\"}", // beyond U+10FFFF
          "{\"a\": \"\xe2\x82\"}", // cut short
          "{\"a\": [\"\xff\"]}", // deep inside too
          "{\"\xff\": 1}", R"({"a": "unended})"})
        EXPECT_EQ(ReadJsonFields(text).verdict, Verdict::NotAnObject) << text;
}

TEST(PayloadValues, ANameGivenTwiceKeepsItsPlaceAndItsLastValue)
{
    EXPECT_EQ(ReadJsonFields(R"({"a": 1, "b": 2, "a": "three"})").fields, (Fields{{"a", Text("three")}, {"b", 2.0}}));
    const std::string longList = "[" + Repeated("1,", 200) + "1]";
    EXPECT_EQ(ReadJsonFields(R"({"a": 1, "b": 2, "a": )" + longList + "}").fields, (Fields{{"b", 2.0}}))
        << "a last value left out leaves the name out";
    EXPECT_EQ(ReadJsonFields(R"({"a": )" + longList + R"(, "a": 4})").fields, (Fields{{"a", 4.0}}));
}

TEST(PayloadValues, NestedValuesAreKeptShortAndNeverReadByRecursion)
{
    const JsonLimits limits{.longestNested = 9};
    const auto json =
        ReadJsonFields(R"({"short": [ 1, 2, 3, 4 ], "long": [1,2,3,4,5], "s": "[1,2,3,4,5]", "n": 2})", limits);
    ASSERT_EQ(json.verdict, Verdict::Read);
    EXPECT_EQ(json.fields, (Fields{{"short", Text("[1,2,3,4]")}, {"s", Text("[1,2,3,4,5]")}, {"n", 2.0}}))
        << "up to 9 bytes without blanks; texts are no nested values";
    EXPECT_EQ(json.nestedLeftOut, 1u);

    // Far deeper than any stack would hold with a frame per level.
    const std::size_t depth = 1'000'000;
    const JsonLimits roomy{.longestPayload = 16 * depth};
    const std::string deep = R"({"a": )" + Repeated("[", depth) + Repeated("]", depth) + R"(, "b": {"c": )" +
                             Repeated("{\"d\":", depth) + "1" + Repeated("}", depth) + R"(}, "e": 5})";
    const auto deepJson = ReadJsonFields(deep, roomy);
    EXPECT_EQ(deepJson.verdict, Verdict::Read);
    EXPECT_EQ(deepJson.fields, (Fields{{"e", 5.0}})) << "too long to keep, both";
    EXPECT_EQ(deepJson.nestedLeftOut, 2u);
    for (const std::string& unbalanced :
         {R"({"a": )" + Repeated("[", depth) + "}", R"({"a": )" + Repeated("[", depth) + Repeated("]", depth - 1) + "}",
          R"({"a": )" + Repeated("[{\"b\":", depth)})
        EXPECT_EQ(ReadJsonFields(unbalanced, roomy).verdict, Verdict::NotAnObject);

    const std::string usualDepth = R"({"a": )" + Repeated("[", 100'000) + Repeated("]", 100'000) + "}";
    EXPECT_EQ(ReadJsonFields(usualDepth).verdict, Verdict::Read) << "200 KB, within the usual limits";
}

TEST(PayloadValues, LongAndWideObjectsAreRefusedAsAWhole)
{
    const JsonLimits defaults;
    const auto atLimit = ReadJsonFields(WideObject(defaults.mostFields));
    EXPECT_EQ(atLimit.verdict, Verdict::Read);
    EXPECT_EQ(atLimit.fields.size(), defaults.mostFields);

    for (std::size_t fields : {defaults.mostFields + 1, std::size_t{300'000}}) {
        const auto wide = ReadJsonFields(WideObject(fields), {.longestPayload = 8 << 20});
        EXPECT_EQ(wide.verdict, Verdict::TooManyFields) << fields;
        EXPECT_TRUE(wide.fields.empty());
    }
    EXPECT_EQ(ReadJsonFields(R"({"a":1,"a":2,"a":3})", {.mostFields = 2}).verdict, Verdict::TooManyFields)
        << "a name given again costs the reading as much";

    const std::string longest = R"({"a": ")" + std::string(defaults.longestPayload - 9, 'x') + "\"}";
    ASSERT_EQ(longest.size(), defaults.longestPayload);
    EXPECT_EQ(ReadJsonFields(longest).verdict, Verdict::Read);
    EXPECT_EQ(ReadJsonFields(longest + " ").verdict, Verdict::TooLong) << "a byte more";
    EXPECT_EQ(ReadJsonFields(WideObject(300'000)).verdict, Verdict::TooLong) << "3.5 MB";
    EXPECT_EQ(ReadJsonFields(std::string(defaults.longestPayload + 1, '[')).verdict, Verdict::NotAnObject)
        << "only an object can be too long: anything else is just text";

    // A wide object within raised limits is read whole: the reading is linear, not a refusal only.
    const auto raised = ReadJsonFields(WideObject(300'000), {.longestPayload = 8 << 20, .mostFields = 300'000});
    ASSERT_EQ(raised.verdict, Verdict::Read);
    ASSERT_EQ(raised.fields.size(), 300'000u);
    EXPECT_EQ(raised.fields.back(), (std::pair<std::string, Value>{"f299999", 299999.0}));
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
