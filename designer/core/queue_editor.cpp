// SPDX-License-Identifier: MIT
#include "queue_editor.h"

#include "service_objects.h"

#include <algorithm>

namespace pixtera::designer {

IManagedDisplay& QueueEditor::display() const
{
    if (!display_)
        throw ServiceError("Editing a queue without a display", E_FAIL);
    return *display_;
}

std::vector<QueueRow> QueueEditor::Rows() const
{
    std::vector<QueueRow> rows;
    if (!display_)
        return rows;
    LONG count = 0;
    CheckCall(display_->QueueCount(&count), "Reading the queue");
    for (LONG i = 0; i < count; ++i) {
        QueueRow row;
        BString file;
        CheckCall(display_->QueueFile(i, file.Out()), "Reading the queue");
        CheckCall(display_->QueueDuration(i, &row.seconds), "Reading the queue");
        row.file = file.utf8();
        rows.push_back(std::move(row));
    }
    return rows;
}

void QueueEditor::Add(const std::filesystem::path& design)
{
    const BString file(std::string_view(design.string()));
    CheckCall(display().AddQueueItem(file.get(), kNewEntrySeconds), "Adding a design to the queue");
}

LONG QueueEditor::SetRuntime(std::size_t row, LONG seconds)
{
    seconds = std::max<LONG>(seconds, 0);
    CheckCall(display().SetQueueDuration(static_cast<LONG>(row), seconds), "Changing a design's runtime");
    return seconds;
}

std::optional<std::size_t> QueueEditor::Delete(std::size_t row)
{
    CheckCall(display().DeleteQueueItem(static_cast<LONG>(row)), "Deleting a design from the queue");
    LONG count = 0;
    CheckCall(display().QueueCount(&count), "Reading the queue");
    if (count == 0)
        return std::nullopt;
    return std::min(row, static_cast<std::size_t>(count) - 1);
}

void QueueEditor::MoveUp(std::size_t row)
{
    CheckCall(display().MoveQueueItemUp(static_cast<LONG>(row)), "Moving a design up");
}

void QueueEditor::MoveDown(std::size_t row)
{
    CheckCall(display().MoveQueueItemDown(static_cast<LONG>(row)), "Moving a design down");
}

} // namespace pixtera::designer
