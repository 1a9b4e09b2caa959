// SPDX-License-Identifier: MIT
#include "keys_file.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/key_names.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace pixtera {
namespace {

constexpr std::uint32_t kDirectoryEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_ONLYDIR;
// The file itself: written to, and its name taken from it (IN_ATTRIB: its links counted down).
constexpr std::uint32_t kSelfEvents = IN_ATTRIB | IN_MOVE_SELF | IN_DELETE_SELF;
// Bytes read in one go: what a FIFO holds, so a writer that floods it is read in turns with
// everything else the thread waits for.
constexpr std::size_t kChunk = 4096;

std::string DirectoryOf(const std::string& path)
{
    const std::filesystem::path file(path);
    return file.has_parent_path() ? file.parent_path().string() : ".";
}

std::string Trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// Key names are ASCII: anything else a line holds is shown as '?', so that whoever writes the
// file cannot put an escape sequence or a byte that is no UTF-8 into the log.
std::string Printable(std::string text)
{
    for (char& c : text)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return text;
}

} // namespace

KeysFile::KeysFile(std::string path, std::string name, std::function<void(LONG key)> pressed)
    : path_(std::move(path)),
      name_(std::move(name)),
      pressed_(std::move(pressed)),
      directory_(DirectoryOf(path_)),
      base_(std::filesystem::path(path_).filename().string())
{
    stop_.reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    inotify_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!stop_ || !inotify_) {
        LogWarning(name_ + ": " + path_ + " cannot be watched (" + std::strerror(errno) + "); no keys are read");
        return;
    }
    Open(false);
    thread_ = Thread(kPluginThreadStack, [this] {
        NameThisThread("px-keys");
        Run();
    });
}

KeysFile::~KeysFile()
{
    if (!thread_.joinable())
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stop_.get(), &one, sizeof one);
    thread_.join();
}

void KeysFile::Warn(const std::string& kind, const std::string& what)
{
    if (warned_.insert(kind).second)
        LogWarning(name_ + ": " + path_ + " " + what);
}

void KeysFile::WatchDirectory(bool watch)
{
    if (watch && directoryWatch_ < 0) {
        directoryWatch_ = inotify_add_watch(inotify_.get(), directory_.c_str(), kDirectoryEvents);
        if (directoryWatch_ < 0)
            Warn("directory",
                 "cannot be waited for: " + directory_ + " cannot be watched (" + std::strerror(errno) + ")");
    } else if (!watch && directoryWatch_ >= 0) {
        inotify_rm_watch(inotify_.get(), directoryWatch_);
        directoryWatch_ = -1;
    }
}

bool KeysFile::Replaced() const
{
    struct stat open {};
    struct stat named {};
    return fstat(file_.get(), &open) != 0 || lstat(path_.c_str(), &named) != 0 || open.st_ino != named.st_ino ||
           open.st_dev != named.st_dev;
}

void KeysFile::Open(bool fromStart)
{
    if (fileWatch_ >= 0)
        inotify_rm_watch(inotify_.get(), fileWatch_);
    fileWatch_ = -1;
    file_.reset(open(path_.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    line_.clear();
    skipping_ = false;
    if (!file_) {
        const std::string problem = errno == ELOOP    ? "is a symbolic link"
                                    : errno != ENOENT ? std::string("cannot be opened (") + std::strerror(errno) + ")"
                                                      : std::string();
        if (problem.empty())
            warned_.clear(); // not there: whatever is made under the name next is news
        else
            Warn(problem, problem + "; no keys are read from it");
        WatchDirectory(true); // for whatever is made under the name
        return;
    }
    struct stat info {};
    std::string problem;
    if (fstat(file_.get(), &info) != 0)
        problem = std::string("cannot be read (") + std::strerror(errno) + ")";
    else if (!S_ISFIFO(info.st_mode) && !S_ISREG(info.st_mode))
        problem = "is neither a FIFO nor a regular file";
    else if (info.st_uid != geteuid() && info.st_uid != 0)
        problem = "belongs to another user";
    if (!problem.empty()) {
        file_.reset();
        Warn(problem, problem + "; no keys are read from it");
        WatchDirectory(true);
        return;
    }
    warned_.clear();
    fifo_ = S_ISFIFO(info.st_mode);
    offset_ = fifo_ || fromStart ? 0 : info.st_size;
    // A FIFO wakes the thread itself; a file says through inotify that it grew.
    fileWatch_ =
        inotify_add_watch(inotify_.get(), path_.c_str(), kSelfEvents | (fifo_ ? 0 : IN_MODIFY) | IN_DONT_FOLLOW);
    if (fileWatch_ < 0 || Replaced()) {
        // Gone or replaced before it was watched: whatever has the name now.
        file_.reset();
        WatchDirectory(true);
        return;
    }
    WatchDirectory(false);
}

void KeysFile::Run()
{
    for (;;) {
        // A file is read whenever the thread wakes (what came while the watch was made, or with
        // the last event); a chunk at a time, so that stopping is never kept waiting.
        const bool more = file_ && !fifo_ && ReadChunk() == Read::More;
        pollfd fds[3] = {{stop_.get(), POLLIN, 0}, {inotify_.get(), POLLIN, 0}, {-1, POLLIN, 0}};
        if (file_ && fifo_)
            fds[2].fd = file_.get();
        if (poll(fds, 3, more ? 0 : -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            return;
        if ((fds[2].revents & (POLLIN | POLLHUP | POLLERR)) && ReadChunk() == Read::WriterLeft)
            Open(true); // a FIFO opened anew waits for its next writer
        if (!(fds[1].revents & POLLIN))
            continue;
        alignas(inotify_event) char events[4096];
        const ssize_t got = read(inotify_.get(), events, sizeof events);
        bool look = false;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->wd == directoryWatch_ && event->len > 0 && base_ == event->name)
                look = true; // made, or something else under the name
            else if (event->wd == fileWatch_ && (event->mask & kSelfEvents))
                look = true; // its name may be gone
        }
        if (look && (!file_ || Replaced()))
            Open(true);
    }
}

KeysFile::Read KeysFile::ReadChunk()
{
    if (!file_)
        return Read::Drained;
    if (!fifo_) {
        struct stat info {};
        if (fstat(file_.get(), &info) == 0 && info.st_size < offset_) {
            offset_ = 0; // cut short: what it holds now is new
            line_.clear();
            skipping_ = false;
        }
    }
    char buffer[kChunk];
    const ssize_t got =
        fifo_ ? read(file_.get(), buffer, sizeof buffer) : pread(file_.get(), buffer, sizeof buffer, offset_);
    if (got < 0)
        return errno == EINTR ? Read::More : errno == EAGAIN || !fifo_ ? Read::Drained : Read::WriterLeft;
    if (got == 0)
        return fifo_ ? Read::WriterLeft : Read::Drained;
    offset_ += got;
    TakeBytes(buffer, static_cast<std::size_t>(got));
    return Read::More;
}

void KeysFile::TakeBytes(const char* bytes, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i] == '\n') {
            if (!skipping_)
                TakeLine();
            line_.clear();
            skipping_ = false;
        } else if (!skipping_) {
            line_ += bytes[i];
            if (line_.size() > kLongestLine) {
                Warn("long",
                     "holds a line longer than " + std::to_string(kLongestLine) + " bytes; such lines are skipped");
                skipping_ = true;
                line_.clear();
            }
        }
    }
}

void KeysFile::TakeLine()
{
    const std::string name = Trimmed(line_);
    if (name.empty())
        return;
    if (const auto key = KeyFromName(name))
        pressed_(*key);
    else
        Warn("name", "names a key there is not: \"" + Printable(name) +
                         "\" (keys are Up, Down, Left, Right, Enter, Escape, F1-F8, Raw:0x41); such lines are skipped");
}

} // namespace pixtera
