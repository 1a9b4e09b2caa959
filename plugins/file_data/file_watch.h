// SPDX-License-Identifier: MIT
#pragma once
// Waiting for a file to change instead of looking at it: inotify on the file (its content) and on
// its directory (its name), so that a file replaced by a rename, as editors and careful scripts
// save, or deleted and made again is followed. Where the kernel cannot tell — no inotify left, a
// directory that is not there yet, a file system whose files change without the kernel seeing it
// (/proc, /sys, network and FUSE file systems) — the file is looked at every `fallback` instead.

#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>

namespace pixtera {

// The two inotify calls a watch makes, the kernel's unless a test stands in for them.
struct WatchCalls {
    std::function<int(int inotify, const char* path, std::uint32_t mask)> addWatch;
    std::function<ssize_t(int inotify, void* buffer, std::size_t size)> read;
};

class FileWatch {
public:
    // However long an event storm lasts, the watch reads at most this many buffers of events
    // before it acts on them: what it read becomes one call of `changed`.
    static constexpr int kMostReadsPerWake = 16;

    // `changed(known)` runs on the watch's own thread: `known` when the kernel said the file
    // changed (read it even if its size and time look the same), false for a look at the
    // fallback interval. It may run once more than needed, never while nothing happens.
    FileWatch(std::filesystem::path path, std::chrono::milliseconds fallback, std::function<void(bool known)> changed,
              WatchCalls calls = {});
    FileWatch(const FileWatch&) = delete;
    FileWatch& operator=(const FileWatch&) = delete;
    ~FileWatch();

    // False when the watch could not start (no file descriptor left): nothing will be told.
    bool running() const { return thread_.joinable(); }

private:
    class Watching;
    bool Watch();
    void Run(bool watched);

    const std::filesystem::path path_;
    const std::chrono::milliseconds fallback_;
    const std::function<void(bool)> changed_;
    std::unique_ptr<Watching> watching_; // the thread's once it started
    std::string told_; // the thread's once it started: why the file is only looked at, as logged
    UniqueFd stop_; // an eventfd: the thread's end
    Thread thread_; // last: it uses everything above
};

} // namespace pixtera
