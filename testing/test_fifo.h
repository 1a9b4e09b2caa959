// SPDX-License-Identifier: MIT
#pragma once
// A FIFO in the test's directory, for code that must never wait on one when a user names it: a
// call that opens it the usual way waits for a writer for ever.

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>

namespace pixtera::test {

class TestFifo {
public:
    explicit TestFifo(const std::string& name);
    ~TestFifo();
    TestFifo(const TestFifo&) = delete;
    TestFifo& operator=(const TestFifo&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Runs `call` on a thread of its own; true when it returned within `limit`. The limit only
    // detects a hang: a call still waiting then is let go (the FIFO's other end is opened), so
    // that the test ends and says so.
    bool Returns(const std::function<void()>& call, std::chrono::seconds limit = std::chrono::seconds(30));

private:
    std::filesystem::path path_;
};

} // namespace pixtera::test
