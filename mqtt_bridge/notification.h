// SPDX-License-Identifier: MIT
#pragma once
// A notification for a display, as it comes from the broker: a plain text (info, 10 s), or a JSON
// object {"message": "...", "duration": 1-3600, "priority": "info"|"alert", "expire": 1-86400}.
// The text is read as a message is (UTF-8, control characters as blanks, at most 255 characters).

#include <chrono>
#include <string>
#include <string_view>

namespace pixtera::bridge {

enum class Priority { Info, Alert };

struct Notification {
    std::string text;
    std::chrono::seconds duration{10}; // on the display
    Priority priority = Priority::Info;
    std::chrono::seconds expire{3600}; // after its arrival it is no longer shown
};

struct ReadNotificationResult {
    Notification notification;
    std::string refused; // why there is none
};

ReadNotificationResult ReadNotification(std::string_view payload);

} // namespace pixtera::bridge
