// SPDX-License-Identifier: MIT
#pragma once
// Where a user's games put their frame-rate records: $XDG_RUNTIME_DIR/pixtera-fps, a directory
// only that user can create names in, so no other user can take a record's name first (as anyone
// can in the shared /dev/shm). Written by libpixtera-fps.so, read by Ratewell; depends on nothing
// but the C library, since the hook lives inside games.

#include <string>

namespace pixtera::fps {

inline constexpr const char* kRecordDirectoryName = "pixtera-fps";

// An open descriptor, closed with its owner.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    ~Descriptor();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// $XDG_RUNTIME_DIR/pixtera-fps; empty when XDG_RUNTIME_DIR is not an absolute path.
std::string UserRecordDirectory();

// The user's record directory, made first when `create`, when it is a directory (not a link)
// of this user's with mode 0700; else none, with the reason in `why` (empty when there is no
// XDG_RUNTIME_DIR, or when the directory does not exist and was not to be made).
Descriptor OpenUserRecordDirectory(bool create, std::string& why);

} // namespace pixtera::fps
