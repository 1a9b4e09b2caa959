#include "record_writer.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace pixtera::fps {
namespace {

std::string RecordName(std::uint32_t pid) { return "/" + std::string(kRecordPrefix) + std::to_string(pid); }

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
    const int fd = shm_open(RecordName(pid).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
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
    if (pid_ == static_cast<std::uint32_t>(getpid()))
        shm_unlink(RecordName(pid_).c_str());
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
