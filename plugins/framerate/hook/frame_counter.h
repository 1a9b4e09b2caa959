// SPDX-License-Identifier: MIT
#pragma once
// Counts the frames a game presents and publishes the rate over the last second twice a second.
// The present path takes no lock: a clock read, an atomic increment and, twice a second, one
// thread's publication while the others pass by.

#include "record_writer.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace pixtera::fps {

class FrameCounter {
public:
    explicit FrameCounter(std::string name) : name_(std::move(name)) {}

    void Presented(std::uint64_t nowNs);

private:
    void Publish(std::uint64_t nowNs, std::uint64_t frames);

    const std::string name_;
    std::atomic<std::uint64_t> frames_{0};
    std::atomic<std::uint64_t> nextPublicationNs_{0};
    std::atomic<bool> publishing_{false};

    // The publisher's own (guarded by publishing_): the start of the last two half-second windows.
    std::uint64_t windowStartNs_ = 0;
    std::uint64_t windowStartFrames_ = 0;
    std::uint64_t previousStartNs_ = 0;
    std::uint64_t previousStartFrames_ = 0;
    RecordWriter writer_;
};

// The process's counter when PIXTERA_FPS=1 was set at its start, else none: the hooks are inert.
FrameCounter* ProcessCounter();

} // namespace pixtera::fps
