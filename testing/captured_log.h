// SPDX-License-Identifier: MIT
#pragma once
// The log lines written while one of these lives, from any thread, instead of on standard error.

#include <mutex>
#include <string>
#include <vector>

namespace pixtera::test {

class CapturedLog {
public:
    CapturedLog();
    ~CapturedLog();
    CapturedLog(const CapturedLog&) = delete;
    CapturedLog& operator=(const CapturedLog&) = delete;

    // How many lines contain `part`.
    int Count(const std::string& part) const;
    bool Contains(const std::string& part) const { return Count(part) > 0; }
    // Every line so far, each ended by a newline.
    std::string Text() const;
    std::vector<std::string> Lines() const;
    void Clear();

private:
    mutable std::mutex mutex_; // guards lines_
    std::vector<std::string> lines_;
};

} // namespace pixtera::test
