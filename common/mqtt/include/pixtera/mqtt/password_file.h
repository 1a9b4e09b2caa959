// SPDX-License-Identifier: MIT
#pragma once
// A broker password from a file of its own (never from a configuration others may read, never
// from the command line, which `ps` shows): its first line, without the line end. A regular file
// of this user or of root, opened without following a link or waiting on a FIFO.

#include <string>

namespace pixtera::mqtt {

struct PasswordFile {
    std::string password;
    std::string problem; // why there is none: "cannot be opened: ...", "is not a regular file", "is empty"
    bool othersMayRead = false; // group or others have any access: worth a warning
};

PasswordFile ReadPasswordFile(const std::string& path);

} // namespace pixtera::mqtt
