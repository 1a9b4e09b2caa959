// SPDX-License-Identifier: MIT
#pragma once
// This process's frame-rate record, pixtera-fps-<pid>: in the user's record directory
// ($XDG_RUNTIME_DIR/pixtera-fps), or under the shared name /dev/shm/pixtera-fps-<pid> when that
// directory cannot be had. Made at the first publication, removed when the process exits normally
// (Ratewell removes the records of killed processes).

#include "fps_record.h"

#include <cstdint>
#include <string>

namespace pixtera::fps {

class RecordWriter {
public:
    RecordWriter() = default;
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;
    ~RecordWriter();

    // Publishes the rate; only one thread at a time may call it. Nothing happens when the record
    // cannot be made: the game never notices.
    void Publish(std::uint32_t framesPerSecond, std::uint64_t nowNs, const std::string& name);

private:
    bool Open();
    void Close();

    RecordLayout* record_ = nullptr;
    std::uint32_t pid_ = 0; // the process that made the record: a forked child makes its own
    std::string path_; // of the record in the user's directory; empty for the shared name
    bool failed_ = false;
};

} // namespace pixtera::fps
