// SPDX-License-Identifier: MIT
#include "outages.h"

#include <pixtera/platform/event_log.h>

#include <algorithm>
#include <utility>

namespace pixtera::mqtt {
namespace {

std::string Seconds(std::chrono::milliseconds span)
{
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(span).count()) + " s";
}

} // namespace

Outages::Outages(std::string logName, std::chrono::milliseconds firstPause, std::chrono::milliseconds longestPause,
                 std::chrono::milliseconds holdsAfter)
    : logName_(std::move(logName)),
      firstPause_(firstPause),
      longestPause_(std::max(longestPause, firstPause)),
      holdsAfter_(holdsAfter),
      pause_(firstPause)
{
}

void Outages::Failed(const std::string& problem, bool refusal)
{
    if (!reported_.empty() && (!refusal || problem == reported_))
        return;
    LogWarning(logName_ + ": " + problem + (refusal ? "" : "; trying again"));
    reported_ = problem;
}

void Outages::Accepted(const std::string& address)
{
    if (!reported_.empty()) {
        if (!returnSaid_ && !endsSaid_)
            LogInformation(logName_ + ": connected to the broker at " + address + " again");
        returnSaid_ = true;
    } else if (!everConnected_) {
        LogInformation(logName_ + ": connected to the broker at " + address);
    }
    everConnected_ = true;
}

void Outages::Ended(const std::string& address, const std::string& why)
{
    if (reported_.empty())
        return Failed("lost the broker at " + address + ": " + why);
    // Back within an outage and gone again before the connection held.
    if (returnSaid_ && !endsSaid_) {
        LogWarning(logName_ + ": the broker at " + address + " ended the connection again before it held for " +
                   Seconds(holdsAfter_) + " (" + why +
                   "; another client with the same id?); trying again after growing pauses");
        endsSaid_ = true;
    }
}

void Outages::Held(const std::string& address)
{
    pause_ = firstPause_;
    if (endsSaid_)
        LogInformation(logName_ + ": connected to the broker at " + address + " again; the connection holds");
    reported_.clear();
    returnSaid_ = endsSaid_ = false;
}

std::chrono::milliseconds Outages::NextPause() { return std::exchange(pause_, std::min(pause_ * 2, longestPause_)); }

} // namespace pixtera::mqtt
