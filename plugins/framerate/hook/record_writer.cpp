// SPDX-License-Identifier: MIT
#include "record_writer.h"

#include "record_directory.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixtera::fps {
namespace {

constexpr int kCreate = O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW;

std::string FileName(std::uint32_t pid) { return kRecordPrefix + std::to_string(pid); }
std::string SharedName(std::uint32_t pid) { return "/" + FileName(pid); }

// A new record in the user's own directory, where no other user can make names: one there
// already was left by a killed process of ours with the same pid, and goes.
int CreatePrivateRecord(int directory, std::uint32_t pid)
{
    const std::string name = FileName(pid);
    int fd = openat(directory, name.c_str(), kCreate, 0600);
    if (fd < 0 && errno == EEXIST && unlinkat(directory, name.c_str(), 0) == 0)
        fd = openat(directory, name.c_str(), kCreate, 0600);
    return fd;
}

// A new record under the shared name, of this user's own. The name may be taken: by a record this
// user left behind, which goes, or by another user's file, which is never written into: then
// nothing is measured, and the game is told once.
int CreateSharedRecord(std::uint32_t pid)
{
    const std::string name = SharedName(pid);
    int fd = shm_open(name.c_str(), kCreate, 0600);
    if (fd < 0 && errno == EEXIST) {
        const int existing = shm_open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0);
        struct stat file {};
        const bool ours =
            existing >= 0 && fstat(existing, &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == geteuid();
        if (existing >= 0)
            close(existing);
        if (ours && shm_unlink(name.c_str()) == 0)
            fd = shm_open(name.c_str(), kCreate, 0600);
        else
            std::fprintf(stderr, "pixtera-fps: /dev/shm%s belongs to someone else; the frame rate is not measured\n",
                         name.c_str());
    }
    return fd;
}

// The record in the user's directory (its path in `path`), else under the shared name (`path`
// empty). The game is told once why its record is not in its own directory.
int CreateRecord(std::uint32_t pid, std::string& path)
{
    std::string why;
    const Descriptor directory = OpenUserRecordDirectory(true, why);
    if (directory) {
        path = UserRecordDirectory() + "/" + FileName(pid);
        return CreatePrivateRecord(directory.get(), pid);
    }
    if (!why.empty())
        std::fprintf(stderr, "pixtera-fps: %s; the record goes to /dev/shm\n", why.c_str());
    path.clear();
    return CreateSharedRecord(pid);
}

} // namespace

RecordWriter::~RecordWriter() { Close(); }

bool RecordWriter::Open()
{
    const auto pid = static_cast<std::uint32_t>(getpid());
    if (record_ && pid_ == pid)
        return true;
    if (record_) { // inherited through fork(): the parent's, not ours to remove
        munmap(record_, sizeof *record_);
        record_ = nullptr;
    }
    if (failed_)
        return false;
    const int fd = CreateRecord(pid, path_);
    if (fd < 0 || ftruncate(fd, sizeof(RecordLayout)) != 0) {
        if (fd >= 0)
            close(fd);
        failed_ = true;
        return false;
    }
    void* mapped = mmap(nullptr, sizeof(RecordLayout), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    if (mapped == MAP_FAILED) {
        failed_ = true;
        return false;
    }
    record_ = static_cast<RecordLayout*>(mapped);
    pid_ = pid;
    record_->magic = kRecordMagic;
    record_->version = kRecordVersion;
    record_->size = sizeof(RecordLayout);
    record_->pid = pid;
    return true;
}

void RecordWriter::Close()
{
    if (!record_)
        return;
    munmap(record_, sizeof *record_);
    record_ = nullptr;
    if (pid_ != static_cast<std::uint32_t>(getpid()))
        return;
    if (path_.empty())
        shm_unlink(SharedName(pid_).c_str());
    else
        unlink(path_.c_str());
}

void RecordWriter::Publish(std::uint32_t framesPerSecond, std::uint64_t nowNs, const std::string& name)
{
    if (!Open())
        return;
    std::atomic_ref<std::uint32_t> sequence(record_->sequence);
    sequence.fetch_add(1, std::memory_order_acq_rel); // odd: being written
    std::atomic_thread_fence(std::memory_order_release);
    record_->framesPerSecond = framesPerSecond;
    record_->lastPresentNs = nowNs;
    const std::size_t length = std::min(name.size(), kNameCapacity - 1);
    std::memcpy(record_->name, name.data(), length);
    std::memset(record_->name + length, 0, kNameCapacity - length);
    std::atomic_thread_fence(std::memory_order_release);
    sequence.fetch_add(1, std::memory_order_release); // even: whole again
}

} // namespace pixtera::fps
