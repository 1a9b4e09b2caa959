// SPDX-License-Identifier: MIT
#pragma once
// The input reports of a HID module (its keys), read on a thread of its own that sleeps on the
// module's descriptor and an eventfd, so that a key is handed on as it comes rather than at the
// next poll. The writer thread owns the link; each connection hands the reader a descriptor to
// watch and the reports to read, which replace the last ones. A module that goes away (POLLHUP,
// ENODEV) is let go until the next connection.

#include "usb_transport.h"

#include <pixtera/platform/unique_fd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>

namespace pixtera::lcd {

class HidInputReader {
public:
    // Each input report, its ID first, at most kLargestReport bytes.
    using Handler = std::function<void(std::span<const std::uint8_t> report)>;
    static constexpr std::size_t kLargestReport = 64;

    explicit HidInputReader(Handler handler);
    HidInputReader(const HidInputReader&) = delete;
    HidInputReader& operator=(const HidInputReader&) = delete;
    ~HidInputReader();

    // `watch` is readable when a report waits in `reports`, and hangs up when the module goes.
    void Attach(UniqueFd watch, std::shared_ptr<HidReports> reports);
    // No report is handed on after this returns; later attachments are ignored.
    void Stop();

private:
    struct Source {
        UniqueFd watch;
        std::shared_ptr<HidReports> reports;
    };

    void Run();
    // Reads one report from `source`; false when the module is gone.
    bool ReadOne(Source& source);

    const Handler handler_;
    const UniqueFd wake_; // an eventfd: a new source, or the end
    std::mutex mutex_; // guards handed_ and stopping_, and is held while the handler runs
    std::optional<Source> handed_; // not yet taken by the thread
    bool stopping_ = false;
    std::thread thread_; // last: it uses everything above
};

} // namespace pixtera::lcd
