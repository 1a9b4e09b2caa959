// SPDX-License-Identifier: MIT
#include "notification.h"

#include "message_text.h"

#include <pixtera/mqtt/payload_values.h>

#include <cmath>

namespace pixtera::bridge {
namespace {

constexpr long kLongestDuration = 3600;
constexpr long kLongestExpiry = 24 * 3600;

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A whole number of seconds from 1 to `most`.
bool Seconds(const mqtt::Value& value, long most, std::chrono::seconds& seconds)
{
    const double* number = std::get_if<double>(&value);
    if (!number || *number < 1 || *number > static_cast<double>(most) || std::floor(*number) != *number)
        return false;
    seconds = std::chrono::seconds(static_cast<long>(*number));
    return true;
}

std::string ReadField(const std::string& name, const mqtt::Value& value, Notification& notification, bool& message)
{
    if (name == "message") {
        const std::string* text = std::get_if<std::string>(&value);
        if (!text)
            return "\"message\" is not a text";
        notification.text = *text;
        message = true;
    } else if (name == "duration") {
        if (!Seconds(value, kLongestDuration, notification.duration))
            return "\"duration\" is not a whole number of seconds from 1 to " + std::to_string(kLongestDuration);
    } else if (name == "expire") {
        if (!Seconds(value, kLongestExpiry, notification.expire))
            return "\"expire\" is not a whole number of seconds from 1 to " + std::to_string(kLongestExpiry);
    } else if (name == "priority") {
        const std::string* text = std::get_if<std::string>(&value);
        if (!text || (*text != "info" && *text != "alert"))
            return "\"priority\" is neither info nor alert";
        notification.priority = *text == "alert" ? Priority::Alert : Priority::Info;
    }
    return {}; // other fields are for other readers
}

} // namespace

ReadNotificationResult ReadNotification(std::string_view payload)
{
    ReadNotificationResult result;
    std::size_t first = 0;
    while (first < payload.size() && Blank(payload[first]))
        ++first;
    if (first < payload.size() && payload[first] == '{') {
        const mqtt::JsonFields json = mqtt::ReadJsonFields(payload, {4096, 16, 64});
        if (json.verdict != mqtt::JsonFields::Verdict::Read)
            return {{}, "a notification that starts with { is a JSON object of at most 16 fields"};
        bool message = false;
        for (const auto& [name, value] : json.fields)
            if (std::string why = ReadField(name, value, result.notification, message); !why.empty())
                return {{}, why};
        if (!message)
            return {{}, "the JSON object has no \"message\""};
    } else {
        result.notification.text = payload;
    }
    MessageText text = ReadMessageText(result.notification.text);
    if (!text.refused.empty())
        return {{}, text.refused};
    if (text.text.find_first_not_of(' ') == std::string::npos)
        return {{}, "the message is empty"};
    result.notification.text = std::move(text.text);
    return result;
}

} // namespace pixtera::bridge
