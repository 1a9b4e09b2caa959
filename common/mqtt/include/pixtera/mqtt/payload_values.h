// SPDX-License-Identifier: MIT
#pragma once
// What an MQTT payload says: a number when the whole payload is one ("21.5", " 42 "), else its
// text; a JSON object also says each of its top-level fields. And the other way: a number as the
// plain decimal text other programs read.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pixtera::mqtt {

using Value = std::variant<double, std::string>;

Value PayloadValue(std::string_view payload);

// Any publisher may send anything: what a JSON object may be before its fields are read.
struct JsonLimits {
    std::size_t longestPayload = 256 * 1024;
    std::size_t mostFields = 256; // duplicates count: they cost the reading as much
    std::size_t longestNested = 256; // an object or array field's text, without blanks
};

struct JsonFields {
    enum class Verdict {
        Read, // `fields` holds the object's fields
        NotAnObject, // not a JSON object, or not well-formed JSON (invalid UTF-8 included)
        TooLong, // an object longer than longestPayload: not read
        TooManyFields, // an object of more than mostFields fields: refused as a whole
    };
    Verdict verdict = Verdict::NotAnObject;
    std::vector<std::pair<std::string, Value>> fields;
    std::size_t nestedLeftOut = 0; // objects and arrays longer than longestNested
};

// The top-level fields of a JSON object, in the order each name first appears (a name given twice
// keeps its last value): numbers as numbers (one a double cannot hold as its text), true and
// false as 1 and 0, texts as texts, null as an empty text, objects and arrays as their JSON text
// without blanks. Linear in the payload's length and never recursive, whatever its depth.
JsonFields ReadJsonFields(std::string_view payload, const JsonLimits& limits = {});

// "21.5", "42", "-0.001": the shortest text that reads back as the same number.
std::string NumberText(double number);

} // namespace pixtera::mqtt
