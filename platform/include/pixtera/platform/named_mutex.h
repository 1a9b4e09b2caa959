// SPDX-License-Identifier: MIT
#pragma once
// Named mutexes as lock files in the user's runtime directory: the first process to create a
// name holds it until it closes it or dies; later creators learn that it already exists.

#include <pixtera/platform/export.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace pixtera {

// $PIXTERA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/pixtera, else /tmp/pixtera-<uid>; created with
// mode 0700 when missing. Throws std::system_error when it cannot be made safely.
PX_API std::filesystem::path RuntimeDirectory();

class PX_API NamedMutex {
public:
    enum class Status { Created, AlreadyExists, Failed };

    explicit NamedMutex(std::string_view name);
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;
    ~NamedMutex();

    Status status() const { return status_; }
    bool alreadyExists() const { return status_ == Status::AlreadyExists; }
    // Why creation failed, for Status::Failed.
    const std::string& error() const { return error_; }

private:
    int fd_ = -1;
    Status status_ = Status::Failed;
    std::string error_;
};

} // namespace pixtera
