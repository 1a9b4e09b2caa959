// SPDX-License-Identifier: MIT
#pragma once
// The previewed display's queue of designs, edited in the service: the designer keeps nothing of
// its own, so every row it shows is read back from the display.

#include <pixtera/platform/com.h>
#include <pixtera/service_interfaces.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace pixtera::designer {

struct QueueRow {
    std::string file;
    LONG seconds = 0;
};

inline constexpr LONG kNewEntrySeconds = 5;

// Every operation throws ServiceError naming what failed.
class QueueEditor {
public:
    void Show(ComPtr<IManagedDisplay> display) { display_ = std::move(display); }
    bool shown() const { return static_cast<bool>(display_); }

    std::vector<QueueRow> Rows() const;
    // Appends the design for kNewEntrySeconds.
    void Add(const std::filesystem::path& design);
    // A negative time becomes 0; returns the seconds stored.
    LONG SetRuntime(std::size_t row, LONG seconds);
    // The row to select afterwards: the same position, the one before when the last went, none
    // when the queue is empty.
    std::optional<std::size_t> Delete(std::size_t row);
    void MoveUp(std::size_t row);
    void MoveDown(std::size_t row);

private:
    IManagedDisplay& display() const;
    ComPtr<IManagedDisplay> display_;
};

} // namespace pixtera::designer
