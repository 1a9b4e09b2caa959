// SPDX-License-Identifier: MIT
#include "power_policy.h"

#include <pixtera/platform/event_log.h>

#include <ctime>

namespace pixtera {
namespace {

std::uint64_t MonotonicMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000ull + static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

int LocalSecondOfDay()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec;
}

} // namespace

PowerPolicy::PowerPolicy(DisplayManager& displays, PowerSettings settings)
    : displays_(displays), settings_(std::move(settings)), thread_(kPluginThreadStack, [this] { Run(); })
{
}

PowerPolicy::~PowerPolicy()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void PowerPolicy::SessionChanged(const std::optional<SessionHints>& session)
{
    {
        std::lock_guard lock(mutex_);
        state_.session = session;
        dirty_ = true;
    }
    changed_.notify_all();
}

void PowerPolicy::Sleeping(bool sleeping)
{
    {
        std::lock_guard lock(mutex_);
        state_.sleeping = sleeping;
        dirty_ = true;
    }
    changed_.notify_all();
}

void PowerPolicy::Reload(PowerSettings settings)
{
    {
        std::lock_guard lock(mutex_);
        settings_ = std::move(settings);
        dirty_ = true;
    }
    changed_.notify_all();
}

bool PowerPolicy::blanked() const
{
    std::lock_guard lock(mutex_);
    return blanked_;
}

void PowerPolicy::Run()
{
    NameThisThread("px-power");
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        dirty_ = false;
        const PowerDecision decision = DecidePower(settings_, state_, MonotonicMicroseconds(), LocalSecondOfDay());
        const bool keepRendering = settings_.keepRenderingWhenBlank;
        const bool change = decision.blank != blanked_;
        blanked_ = decision.blank;
        lock.unlock();
        if (change)
            LogInformation(decision.blank ? "The displays are dark (" + decision.why + ")"
                                          : "The displays are lit again");
        for (const auto& display : displays_.Displays())
            display->SetBlanked(decision.blank, keepRendering);
        lock.lock();
        const auto woken = [&] { return stopping_ || dirty_; };
        if (decision.recheck)
            changed_.wait_for(lock, *decision.recheck, woken);
        else
            changed_.wait(lock, woken);
    }
}

} // namespace pixtera
