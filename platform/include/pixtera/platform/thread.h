// SPDX-License-Identifier: MIT
#pragma once
// Threads with a chosen stack size. Sizes are reservations: Linux commits stack pages lazily.

#include <pixtera/platform/export.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace pixtera {

// Service threads that never run plug-in code.
inline constexpr std::size_t kSmallThreadStack = 32 * 1024;
// Threads that call into plug-ins, which may use libc routines with deep stacks.
inline constexpr std::size_t kPluginThreadStack = 256 * 1024;

// A joinable thread. The destructor joins; a thread meant to run for the life of the process
// is detached explicitly.
class PX_API Thread {
public:
    Thread() = default;
    Thread(std::size_t stackBytes, std::function<void()> body);
    Thread(Thread&& other) noexcept;
    Thread& operator=(Thread&& other) noexcept;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread();

    bool joinable() const { return started_; }
    void join();
    void detach();

private:
    unsigned long handle_ = 0;
    bool started_ = false;
};

// Names the calling thread by its role ("px-bus", "px-refresh/0") for top -H, perf and bug
// reports; the kernel keeps the first 15 bytes.
PX_API void NameThisThread(std::string_view name);

// The stack actually requested for a wanted size: sanitizer builds need far larger frames.
PX_API std::size_t EffectiveStackSize(std::size_t wanted);

} // namespace pixtera
