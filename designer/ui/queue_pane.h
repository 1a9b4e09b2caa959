// SPDX-License-Identifier: MIT
#pragma once
// The queue manager: the previewed display's designs and their runtimes, the row that adds one,
// and the context menu with Delete, Move up and Move down.

#include "queue_editor.h"

#include <QTableWidget>

#include <filesystem>
#include <functional>
#include <optional>

namespace pixtera::designer {

class QueuePane : public QTableWidget {
    Q_OBJECT
public:
    static constexpr const char* kAddRowText = "<< Click here to add a new item >>";

    // `chooseDesign` asks for the file to add; none adds nothing.
    QueuePane(QueueEditor& editor, std::function<std::optional<std::filesystem::path>()> chooseDesign,
              QWidget* parent = nullptr);

    // Rows shown before the pane is resized: the header and four entries.
    QSize sizeHint() const override;

    // Reads the queue again; the open design's row is highlighted.
    void Reload();
    // The design open in the designer: its row (the first that names it) is the one highlighted,
    // none when the queue does not hold it.
    void ShowOpenDesign(const std::filesystem::path& design);

    // The commands, also reachable without the menu.
    void AddDesign();
    void DeleteSelected();
    void MoveSelected(bool up);

signals:
    // Open this design (behind the save question); none: an empty new design.
    void openRequested(std::optional<std::filesystem::path> design);
    // A service call failed.
    void failed(const QString& message);

private:
    void OnCellClicked(int row, int column);
    void OnCellChanged(int row, int column);
    void Guarded(const std::function<void()>& step);
    int QueueRows() const { return rowCount() - 1; }
    // Highlights the open design's row: `preferred` when that one names it (a design queued
    // twice), else the first that does.
    void Highlight(int preferred = -1);
    // Asks for the design to be opened; whatever came of it, the highlight is the open design's.
    void RequestOpen(std::optional<std::filesystem::path> design, int row);

    QueueEditor& editor_;
    std::function<std::optional<std::filesystem::path>()> chooseDesign_;
    bool loading_ = false;
    std::filesystem::path openDesign_;
};

} // namespace pixtera::designer
