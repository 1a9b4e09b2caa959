// SPDX-License-Identifier: MIT
#include "captured_log.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>

namespace pixtera::test {

CapturedLog::CapturedLog()
{
    SetLogCapture([this](std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    });
}

CapturedLog::~CapturedLog() { SetLogCapture(nullptr); }

int CapturedLog::Count(const std::string& part) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(
        std::ranges::count_if(lines_, [&](const std::string& line) { return line.find(part) != std::string::npos; }));
}

std::string CapturedLog::Text() const
{
    std::lock_guard lock(mutex_);
    std::string text;
    for (const auto& line : lines_)
        text += line + "\n";
    return text;
}

std::vector<std::string> CapturedLog::Lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

void CapturedLog::Clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace pixtera::test
