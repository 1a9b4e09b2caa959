// SPDX-License-Identifier: MIT
#include "document_history.h"

#include "design_document.h"

#include <QUndoCommand>

#include <memory>

namespace pixtera::designer {
namespace {

// Rendering raises automatic bar maxima; that is not an edit.
bool SameEdits(Design a, const Design& b)
{
    if (a.items.size() != b.items.size())
        return false;
    for (std::size_t i = 0; i < a.items.size(); ++i)
        if (a.items[i].automaticMaximum && b.items[i].automaticMaximum)
            a.items[i].barMaximum = b.items[i].barMaximum;
    return a == b;
}

class DesignChange final : public QUndoCommand {
public:
    DesignChange(DesignDocument& document, Design before, Design after, const QString& text)
        : QUndoCommand(text), document_(document), before_(std::move(before)), after_(std::move(after))
    {
    }
    void undo() override { document_.design() = before_; }
    void redo() override { document_.design() = after_; }

private:
    DesignDocument& document_;
    const Design before_;
    const Design after_;
};

} // namespace

DocumentHistory::DocumentHistory(DesignDocument& document) : document_(document)
{
    QObject::connect(&stack_, &QUndoStack::cleanChanged, &stack_,
                     [this](bool clean) { document_.SetModified(!clean); });
}

void DocumentHistory::Begin()
{
    before_ = document_.design();
    modifiedBefore_ = document_.modified();
}

void DocumentHistory::Commit(const QString& text)
{
    if (!before_)
        return;
    Design before = std::move(*before_);
    before_.reset();
    if (SameEdits(before, document_.design()))
        return;
    stack_.push(std::make_unique<DesignChange>(document_, std::move(before), document_.design(), text).release());
    document_.SetModified(!stack_.isClean());
}

void DocumentHistory::Cancel()
{
    if (!before_)
        return;
    document_.design() = std::move(*before_);
    before_.reset();
    // The gesture's steps marked the design modified as they went; cancelled, it is as it was.
    document_.SetModified(modifiedBefore_);
}

void DocumentHistory::Edit(const QString& text, const std::function<void()>& change)
{
    Begin();
    change();
    Commit(text);
}

void DocumentHistory::Restart()
{
    before_.reset();
    stack_.clear();
    document_.SetModified(false);
}

void DocumentHistory::MarkUnsaved()
{
    stack_.resetClean();
    document_.SetModified(true);
}

void DocumentHistory::MarkSaved()
{
    stack_.setClean();
    document_.SetModified(false);
}

} // namespace pixtera::designer
