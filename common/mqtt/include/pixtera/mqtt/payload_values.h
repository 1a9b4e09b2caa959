// SPDX-License-Identifier: MIT
#pragma once
// What an MQTT payload says: a number when the whole payload is one ("21.5", " 42 "), else its
// text; a JSON object also says each of its top-level fields. And the other way: a number as the
// plain decimal text other programs read.

#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace pixtera::mqtt {

using Value = std::variant<double, std::string>;

Value PayloadValue(std::string_view payload);

// The top-level fields of a JSON object, in the object's order: numbers as numbers, true and
// false as 1 and 0, texts as texts, null as an empty text, objects and arrays as their JSON.
// Nothing for a payload that is not a JSON object.
std::vector<std::pair<std::string, Value>> JsonFields(std::string_view payload);

// "21.5", "42", "-0.001": the shortest text that reads back as the same number.
std::string NumberText(double number);

} // namespace pixtera::mqtt
