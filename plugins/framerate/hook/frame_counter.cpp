// SPDX-License-Identifier: MIT
#include "frame_counter.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace pixtera::fps {
namespace {

constexpr std::uint64_t kHalfSecondNs = 500'000'000;

// PIXTERA_FPS_NAME, else the name the game was started by (a link's, not its target's).
std::string GameName()
{
    if (const char* name = std::getenv("PIXTERA_FPS_NAME"); name && *name)
        return name;
    return program_invocation_short_name;
}

} // namespace

void FrameCounter::Presented(std::uint64_t nowNs)
{
    const std::uint64_t frames = frames_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (nowNs < nextPublicationNs_.load(std::memory_order_relaxed))
        return;
    if (publishing_.exchange(true, std::memory_order_acquire))
        return; // another thread publishes
    Publish(nowNs, frames);
    publishing_.store(false, std::memory_order_release);
}

void FrameCounter::Publish(std::uint64_t nowNs, std::uint64_t frames)
{
    if (windowStartNs_ == 0) { // the first frame: windows start here
        windowStartNs_ = previousStartNs_ = nowNs;
        windowStartFrames_ = previousStartFrames_ = frames - 1;
    }
    if (nowNs - windowStartNs_ >= kHalfSecondNs) {
        // Frames since the start of the previous window: the last second, or a little more.
        const std::uint64_t elapsed = nowNs - previousStartNs_;
        const std::uint64_t counted = frames - previousStartFrames_;
        const auto rate = static_cast<std::uint32_t>((counted * 1'000'000'000u + elapsed / 2) / elapsed);
        writer_.Publish(rate, nowNs, name_);
        previousStartNs_ = windowStartNs_;
        previousStartFrames_ = windowStartFrames_;
        windowStartNs_ = nowNs;
        windowStartFrames_ = frames;
    }
    nextPublicationNs_.store(windowStartNs_ + kHalfSecondNs, std::memory_order_relaxed);
}

FrameCounter* ProcessCounter()
{
    // Decided once, at the first present: a game cannot turn it on later by accident.
    static FrameCounter* const counter = [] {
        const char* enabled = std::getenv("PIXTERA_FPS");
        static FrameCounter instance(GameName());
        return enabled && std::string_view(enabled) == "1" ? &instance : nullptr;
    }();
    return counter;
}

} // namespace pixtera::fps
