// SPDX-License-Identifier: MIT
#pragma once
// The keys of a file display: key names, one a line ("Up", "Enter", "F2", "Raw:0x41"), read from
// a FIFO or from a file that is followed as it grows. Anyone who can write the file presses keys,
// so it is opened without blocking or following a link, must be a FIFO or a regular file of this
// user's (or root's), and a line is at most kLongestLine bytes (a longer one is skipped).
//
// A FIFO whose writer went away is opened again for the next one. A file is read from its end
// when the reader starts (keys written before are old) and from its start when it is made anew
// or replaced later; one that shrinks is read again from its start. The reader sleeps on the
// FIFO, inotify and an eventfd: nothing happens while no key comes. Its directory is watched only
// while there is no file to read, so that files written beside it (PATH.frame) never wake it.

#include <pixtera/platform/thread.h>
#include <pixtera/platform/unique_fd.h>

#include <pixtera/platform/com.h>

#include <functional>
#include <set>
#include <string>

namespace pixtera {

class KeysFile {
public:
    static constexpr std::size_t kLongestLine = 64;

    // `pressed` runs on the reader's thread for every key read; `name` prefixes the log lines.
    KeysFile(std::string path, std::string name, std::function<void(LONG key)> pressed);
    KeysFile(const KeysFile&) = delete;
    KeysFile& operator=(const KeysFile&) = delete;
    ~KeysFile();

private:
    void Run();
    // Opens the file if it is there and acceptable; `fromStart` for a file made after the start.
    // Without one, the directory is watched for it.
    void Open(bool fromStart);
    // The file open is no longer the one its name names (replaced, renamed, deleted).
    bool Replaced() const;
    void WatchDirectory(bool watch);
    enum class Read { Drained, More, WriterLeft };
    // Reads a chunk of what is there. A FIFO whose writer left is then opened again.
    Read ReadChunk();
    void TakeBytes(const char* bytes, std::size_t count);
    void TakeLine();
    // Says `what` once for each `kind` of trouble, until the file is opened again.
    void Warn(const std::string& kind, const std::string& what);

    const std::string path_;
    const std::string name_;
    const std::function<void(LONG)> pressed_;
    // The reader thread's alone once it started.
    UniqueFd file_;
    bool fifo_ = false;
    off_t offset_ = 0;
    UniqueFd inotify_;
    const std::string directory_;
    const std::string base_; // the file's name in directory_
    int directoryWatch_ = -1;
    int fileWatch_ = -1;
    std::string line_;
    bool skipping_ = false; // in a line that is too long
    std::set<std::string> warned_; // the kinds of trouble said since the file was opened
    UniqueFd stop_; // an eventfd: the thread's end
    Thread thread_; // last: it uses everything above
};

} // namespace pixtera
