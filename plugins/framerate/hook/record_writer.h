// SPDX-License-Identifier: MIT
#pragma once
// This process's frame-rate record in /dev/shm/pixtera-fps-<pid>: made at the first publication,
// removed when the process exits normally (Ratewell removes the records of killed processes).

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
    // cannot be made (no /dev/shm): the game never notices.
    void Publish(std::uint32_t framesPerSecond, std::uint64_t nowNs, const std::string& name);

private:
    bool Open();
    void Close();

    RecordLayout* record_ = nullptr;
    std::uint32_t pid_ = 0; // the process that made the record: a forked child makes its own
    bool failed_ = false;
};

} // namespace pixtera::fps
