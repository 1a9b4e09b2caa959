// SPDX-License-Identifier: MIT
#include "file_watch.h"

#include <pixtera/platform/event_log.h>

#include <linux/magic.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace pixtera {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A file written in place and kept open is read this long after its first write; one its writer
// closes is read at the close.
constexpr auto kSettle = 100ms;
// However fast a file changes, it is read at most this often.
constexpr auto kMinimumGap = 10ms;

// File systems whose files change without the kernel seeing it: inotify tells nothing of them.
bool ChangesUnseen(const std::filesystem::path& directory)
{
    struct statfs info {};
    if (statfs(directory.c_str(), &info) != 0)
        return false;
    switch (static_cast<unsigned long>(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case FUSE_SUPER_MAGIC:
    case V9FS_MAGIC: return true;
    default: return false;
    }
}

int MillisecondsUntil(Clock::time_point deadline, Clock::time_point now)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::clamp<decltype(left)>(left, 0, INT_MAX));
}

} // namespace

// The inotify instance with its two watches: the directory's, for the file's name, and the
// file's, for its content (through any of its links).
class FileWatch::Watching {
public:
    Watching(const std::filesystem::path& file, WatchCalls calls)
        : file_(file),
          directory_(file.has_parent_path() ? file.parent_path() : "."),
          name_(file.filename()),
          calls_(std::move(calls))
    {
        if (!calls_.addWatch)
            calls_.addWatch = inotify_add_watch;
        if (!calls_.read)
            calls_.read = ::read;
    }

    // False, with the reason, when the kernel cannot tell of the file's changes.
    bool Start(std::string* reason)
    {
        Stop();
        if (ChangesUnseen(directory_)) {
            *reason = "is on a file system that does not report changes";
            return false;
        }
        inotify_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!inotify_) {
            *reason = std::string("cannot be watched (") + std::strerror(errno) + ")";
            return false;
        }
        directoryWatch_ = calls_.addWatch(inotify_.get(), directory_.c_str(), kDirectoryEvents);
        if (directoryWatch_ < 0) {
            *reason = errno == ENOENT ? std::string("is in a directory that is not there")
                                      : std::string("cannot be watched (") + std::strerror(errno) + ")";
            Stop();
            return false;
        }
        WatchFile();
        if (!refused_.empty()) {
            *reason = refused_;
            Stop();
            return false;
        }
        return true;
    }
    void Stop()
    {
        inotify_.reset(); // the watches go with it
        directoryWatch_ = fileWatch_ = -1;
        refused_.clear();
    }
    int fd() const { return inotify_.get(); }

    // What the events waiting say, the most urgent; Lost also when the file under the name
    // cannot be watched, as in-place writes would go unseen. A storm is read a few buffers at a
    // time, so that the watch acts (and stops) while it lasts.
    enum class Change { None, Soon, Now, Lost };
    Change Take()
    {
        alignas(inotify_event) char buffer[4096];
        Change most = Change::None;
        for (int reads = 0; reads < kMostReadsPerWake; ++reads) {
            const ssize_t got = calls_.read(inotify_.get(), buffer, sizeof buffer);
            if (got <= 0)
                break;
            for (char* at = buffer; at < buffer + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                most = std::max(most, Classify(*event));
                at += sizeof(inotify_event) + event->len;
            }
        }
        return refused_.empty() ? most : Change::Lost;
    }

private:
    // Names only: the content is the file watch's, so that files written beside it (a log in the
    // same directory) do not wake the watch.
    static constexpr std::uint32_t kDirectoryEvents =
        IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    static constexpr std::uint32_t kFileEvents =
        IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW;

    // The file under the name now; none while there is none. Any other failure (no watch left,
    // no permission) is noted in refused_: only looking at the file sees it change then.
    void WatchFile()
    {
        const int watch = calls_.addWatch(inotify_.get(), file_.c_str(), kFileEvents);
        const int error = errno;
        if (fileWatch_ >= 0 && fileWatch_ != watch)
            inotify_rm_watch(inotify_.get(), fileWatch_);
        fileWatch_ = watch;
        if (watch < 0 && error != ENOENT)
            refused_ = error == ENOSPC ? std::string("cannot be watched (no inotify watch is left)")
                                       : std::string("cannot be watched (") + std::strerror(error) + ")";
    }
    void ForgetFile()
    {
        if (fileWatch_ >= 0)
            inotify_rm_watch(inotify_.get(), fileWatch_);
        fileWatch_ = -1;
    }

    Change Classify(const inotify_event& event)
    {
        const std::uint32_t mask = event.mask;
        if (mask & IN_Q_OVERFLOW) { // events were lost: anything may have happened
            WatchFile();
            return Change::Now;
        }
        if (event.wd == directoryWatch_)
            return DirectoryEvent(mask, event.len ? std::string_view(event.name) : std::string_view());
        if (event.wd != fileWatch_) // a file no longer under the name
            return Change::None;
        if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            ForgetFile();
            return Change::Now;
        }
        if (mask & (IN_CLOSE_WRITE | IN_ATTRIB))
            return Change::Now;
        return mask & IN_MODIFY ? Change::Soon : Change::None;
    }

    Change DirectoryEvent(std::uint32_t mask, std::string_view name)
    {
        if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT))
            return Change::Lost; // the directory went: its path must be watched anew
        if (name != name_.native())
            return Change::None;
        if (mask & (IN_DELETE | IN_MOVED_FROM)) {
            ForgetFile();
            return Change::Now;
        }
        if (mask & IN_MOVED_TO) {
            WatchFile();
            return Change::Now;
        }
        if (mask & IN_CREATE) { // written next, perhaps before its watch is there
            WatchFile();
            return Change::Soon;
        }
        return Change::None;
    }

    const std::filesystem::path file_;
    const std::filesystem::path directory_;
    const std::filesystem::path name_;
    WatchCalls calls_;
    UniqueFd inotify_;
    int directoryWatch_ = -1;
    int fileWatch_ = -1;
    std::string refused_; // why the file itself could not be watched
};

FileWatch::FileWatch(std::filesystem::path path, std::chrono::milliseconds fallback,
                     std::function<void(bool known)> changed, WatchCalls calls)
    : path_(std::move(path)),
      fallback_(std::max(fallback, std::chrono::milliseconds(10))),
      changed_(std::move(changed)),
      watching_(std::make_unique<Watching>(path_, std::move(calls))),
      stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!stop_) {
        LogError("File data: changes to " + path_.string() + " are not followed: " + std::strerror(errno));
        return;
    }
    // Watched before this returns: a change after the caller's first read is never missed.
    const bool watched = Watch();
    thread_ = Thread(kPluginThreadStack, [this, watched] { Run(watched); });
}

FileWatch::~FileWatch()
{
    if (thread_.joinable()) {
        eventfd_write(stop_.get(), 1);
        thread_.join();
    }
}

bool FileWatch::Watch()
{
    std::string reason;
    if (watching_->Start(&reason)) {
        told_.clear();
        return true;
    }
    if (reason != told_)
        LogInformation("File data: " + path_.string() + " " + reason + "; it is looked at every " +
                       std::to_string(fallback_.count()) + " ms");
    told_ = reason;
    return false;
}

void FileWatch::Run(bool watched)
{
    NameThisThread("px-file");
    constexpr auto kNever = Clock::time_point::max();
    Watching& watching = *watching_;
    Clock::time_point due = kNever; // the next call of changed_
    bool dueKnown = false;
    Clock::time_point look = watched ? kNever : Clock::now() + fallback_; // the next look, while not watched
    Clock::time_point last{};
    const auto schedule = [&](Clock::time_point when, bool known) {
        due = std::min(due, std::max(when, last + kMinimumGap));
        dueKnown = dueKnown || known;
    };
    while (true) {
        const auto next = std::min(due, look);
        pollfd waits[2] = {{stop_.get(), POLLIN, 0}, {watching.fd(), POLLIN, 0}};
        const int ready = poll(waits, watched ? 2 : 1, next == kNever ? -1 : MillisecondsUntil(next, Clock::now()));
        if ((ready < 0 && errno != EINTR) || waits[0].revents)
            return;
        const auto woken = Clock::now();
        if (watched && (waits[1].revents & POLLIN)) {
            switch (watching.Take()) {
            case Watching::Change::None: break;
            case Watching::Change::Soon: schedule(woken + kSettle, true); break;
            case Watching::Change::Now: schedule(woken, true); break;
            case Watching::Change::Lost:
                watching.Stop();
                watched = false;
                schedule(woken, true);
                break;
            }
        }
        if (!watched && (woken >= look || look == kNever)) {
            // The directory may be back, or a watch free again.
            watched = Watch();
            look = watched ? kNever : woken + fallback_;
            schedule(woken, false); // what changed while it was not watched
        }
        if (woken >= due) {
            due = kNever;
            last = woken;
            changed_(std::exchange(dueKnown, false));
        }
    }
}

} // namespace pixtera
