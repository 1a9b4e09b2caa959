// SPDX-License-Identifier: MIT
// Arbitrary bytes as an MQTT payload: its value, its JSON fields (held against nlohmann's reading
// of the same bytes when they nest shallowly enough for its recursion), and the item table that
// keeps them, within its bounds and saying each refusal once.

#include "topic_values.h"

#include <pixtera/mqtt/payload_values.h>
#include <pixtera/platform/event_log.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

namespace {

using namespace pixtera::mqtt;
using Json = nlohmann::json;

void Check(bool holds)
{
    if (!holds)
        std::abort();
}

// Brackets anywhere, strings included: more than the nesting, never less.
bool Shallow(std::string_view payload)
{
    std::size_t brackets = 0;
    for (char c : payload)
        brackets += c == '[' || c == '{';
    return brackets <= 200;
}

void CheckField(const Value& value, const Json& theirs, const JsonLimits& limits)
{
    const auto* text = std::get_if<std::string>(&value);
    if (theirs.is_number()) {
        const double number = theirs.get<double>();
        // A number a double cannot hold stays text: only an underflow reads as 0 there.
        Check(text ? number == 0 : std::get<double>(value) == number);
    } else if (theirs.is_boolean()) {
        Check(value == Value(theirs.get<bool>() ? 1.0 : 0.0));
    } else if (theirs.is_null()) {
        Check(value == Value(std::string()));
    } else if (theirs.is_string()) {
        Check(text && *text == theirs.get<std::string>());
    } else {
        Check(text && text->size() <= limits.longestNested && Json::parse(*text) == theirs);
    }
}

// The same bytes through nlohmann: what it reads as an object, the reader reads alike.
void CompareWithNlohmann(std::string_view payload, const JsonFields& ours, const JsonLimits& limits)
{
    if (payload.find('\0') != std::string_view::npos) {
        Check(ours.verdict != JsonFields::Verdict::Read); // nowhere in JSON; nlohmann stops reading there
        return;
    }
    if (!Shallow(payload) || payload.starts_with("\xEF\xBB\xBF")) // it skips a byte-order mark
        return;
    Json theirs;
    try {
        theirs = Json::parse(payload.begin(), payload.end());
    } catch (const Json::exception& error) {
        // It refuses a number beyond a double, which the reader keeps as its text.
        Check(ours.verdict != JsonFields::Verdict::Read || std::strstr(error.what(), "number overflow"));
        return;
    }
    if (!theirs.is_object()) {
        Check(ours.verdict == JsonFields::Verdict::NotAnObject);
        return;
    }
    Check(ours.verdict != JsonFields::Verdict::NotAnObject);
    if (ours.verdict != JsonFields::Verdict::Read)
        return;
    for (const auto& [name, value] : ours.fields) {
        Check(theirs.contains(name));
        CheckField(value, theirs.at(name), limits);
    }
    for (const auto& member : theirs.items()) {
        const bool kept = std::any_of(ours.fields.begin(), ours.fields.end(),
                                      [&](const auto& field) { return field.first == member.key(); });
        Check(kept || (member.value().is_structured() && ours.nestedLeftOut > 0));
    }
}

void CheckFields(std::string_view payload, const JsonLimits& limits)
{
    const JsonFields json = ReadJsonFields(payload, limits);
    Check(json.verdict == JsonFields::Verdict::Read || json.fields.empty());
    Check(json.fields.size() <= limits.mostFields);
    Check(json.verdict != JsonFields::Verdict::TooLong || payload.size() > limits.longestPayload);
    std::set<std::string> names;
    for (const auto& [name, value] : json.fields)
        Check(names.insert(name).second);
    CompareWithNlohmann(payload, json, limits);
}

void CheckTable(std::string_view input)
{
    int lines = 0;
    pixtera::SetLogCapture([&](std::string_view) { ++lines; });
    const TopicLimits limits{.mostTopics = 8,
                             .longestName = 24,
                             .longestText = 64,
                             .mostBytes = 600,
                             .json = {.longestPayload = 2048, .mostFields = 16, .longestNested = 16}};
    TopicValues values(limits);
    // The first byte says how long the topic is: long ones too, now and then.
    const std::size_t topicLength = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % 40;
    const std::string topic(input.substr(std::min<std::size_t>(1, input.size()), topicLength));
    const std::string_view payload = input.substr(std::min(input.size(), 1 + topicLength));
    values.Store(topic, payload);
    const int afterFirst = lines;
    values.Store(topic, payload);
    Check(lines == afterFirst); // the same refusal is said once
    for (int i = 0; i < 10; ++i)
        values.Store("t/" + std::to_string(i), payload);
    pixtera::SetLogCapture({});

    std::size_t bytes = 0;
    const auto items = values.Items();
    Check(items.size() <= limits.mostTopics + 1);
    for (const auto& item : items) {
        const auto* text = std::get_if<std::string>(&item.value);
        Check(item.name.size() <= limits.longestName && (!text || text->size() <= limits.longestText));
        bytes += item.name.size() + item.description.size() + (text ? text->size() : 0);
    }
    Check(bytes <= limits.mostBytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    PayloadValue(input);
    CheckFields(input, {});
    CheckFields(input, {.longestPayload = 1 << 20, .mostFields = 4, .longestNested = 8}); // the refusals
    CheckTable(input);
    return 0;
}
