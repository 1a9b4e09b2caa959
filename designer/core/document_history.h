// SPDX-License-Identifier: MIT
#pragma once
// Undo and redo of every change to the design; the document owns it. Each step keeps the design
// as it was before and after; the document is modified exactly when the history is away from its
// saved state.

#include <pixtera/design_file.h>

#include <QUndoStack>

#include <functional>
#include <optional>

namespace pixtera::designer {

class DesignDocument;

class DocumentHistory {
public:
    explicit DocumentHistory(DesignDocument& document);

    QUndoStack& stack() { return stack_; }

    // Records the design as it is before an edit that takes several steps (a drag).
    void Begin();
    // Ends it: one undo step named `text` when the design changed, none otherwise.
    void Commit(const QString& text);
    // Puts the design back as it was at Begin (Escape during a drag); no step.
    void Cancel();
    bool editing() const { return before_.has_value(); }

    // One edit in one step.
    void Edit(const QString& text, const std::function<void()>& change);

    // A new or opened design starts a new history, unmodified; a saved one is its clean state.
    void Restart();
    void MarkSaved();
    // "No" to the save question: the design counts as unmodified as it is.
    void MarkDiscarded() { MarkSaved(); }
    // The design it was discarded for could not be opened: the kept one is unsaved again.
    void MarkUnsaved();

private:
    DesignDocument& document_;
    QUndoStack stack_;
    std::optional<Design> before_;
    bool modifiedBefore_ = false; // the design's flag when the edit began
};

} // namespace pixtera::designer
