// SPDX-License-Identifier: MIT
#pragma once
// What one update sends to a module: messages of bytes, each followed by the pause the module
// needs before it takes more (a clear, the steps of the initialisation). On I2C a message is one
// start, address and stop on the bus; on a serial line the messages simply follow each other.

#include <chrono>
#include <string>
#include <vector>

namespace pixtera::lcd {

class LinkBatch {
public:
    struct Segment {
        std::string bytes;
        std::chrono::microseconds pause{0};
        bool untilReady = false; // the pause is the longest; a module that can be read may end it
    };

    void Add(char byte) { Current().bytes.push_back(byte); }
    void Add(std::string_view bytes) { Current().bytes.append(bytes); }
    // The module needs this long after the bytes added so far (at most, `untilReady`: the module
    // can say when it is done).
    void Pause(std::chrono::microseconds pause, bool untilReady = false)
    {
        Current().pause += pause;
        Current().untilReady = untilReady;
        segments_.emplace_back();
    }
    // The bytes added next go in a message of their own.
    void Break()
    {
        if (!segments_.empty() && !segments_.back().bytes.empty())
            segments_.emplace_back();
    }
    bool AtMessageStart() const { return segments_.empty() || segments_.back().bytes.empty(); }

    const std::vector<Segment>& segments() const { return segments_; }
    bool empty() const { return size() == 0; }
    std::size_t size() const
    {
        std::size_t n = 0;
        for (const auto& segment : segments_)
            n += segment.bytes.size();
        return n;
    }

private:
    Segment& Current()
    {
        if (segments_.empty())
            segments_.emplace_back();
        return segments_.back();
    }

    std::vector<Segment> segments_;
};

} // namespace pixtera::lcd
