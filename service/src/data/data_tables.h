// SPDX-License-Identifier: MIT
#pragma once
// The data manager's tables: one ValueRecord per distinct item name, and item ids (1, 2, 3, ...
// in the order names first appear). Names and ids are only ever added.
//
// Locking: `mutex` (shared) guards the two tables; each record's own mutex guards its value and
// description. No lock is ever held while a plug-in is called, so readers never wait for one.

#include <pixtera/platform/variant.h>
#include <pixtera/value_change_signal.h>

#include <deque>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pixtera {

struct DataProviderRecord;

struct ValueRecord {
    ValueRecord(LONG itemId, LONG index, DataProviderRecord* owner) : id(itemId), itemIndex(index), provider(owner) {}

    const LONG id; // the item id, from 1
    const LONG itemIndex; // the index the owning provider gave the name
    DataProviderRecord* const provider; // the first provider that offered the name

    // True when the value differs from one stored before (the first value is no change).
    bool Store(std::u16string_view newDescription, const VARIANT* newValue);
    HRESULT CopyValue(VARIANT* out) const;
    std::u16string Description() const;

private:
    mutable std::mutex mutex_; // guards value_, description_ and stored_
    Variant value_;
    std::u16string description_;
    bool stored_ = false;
};

class DataTables {
public:
    // The record of `name`, created with (index, provider) if it is new.
    ValueRecord& FindOrAdd(std::u16string_view name, LONG index, DataProviderRecord* provider);
    ValueRecord* Find(std::u16string_view name) const;
    // The name of item `id` (1-based); empty when there is none.
    std::u16string NameOf(LONG id) const;
    LONG Count() const;

    // Ids whose values changed since the last call, in id order.
    void MarkChanged(LONG id);
    std::vector<LONG> TakeChanged();

    // Notified once per poll that stored a changed value, added a name, or found its provider dead.
    ValueChangeSignal& changes() { return changes_; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::u16string_view s) const { return std::hash<std::u16string_view>{}(s); }
    };

    mutable std::shared_mutex mutex_; // guards names_, ids_ and records_
    std::unordered_map<std::u16string, ValueRecord*, Hash, std::equal_to<>> names_;
    std::vector<std::u16string> ids_;
    std::deque<ValueRecord> records_; // stable addresses, never removed

    std::mutex changedMutex_; // guards changed_
    std::vector<bool> changed_; // by id - 1

    ValueChangeSignal changes_; // has its own guard
};

} // namespace pixtera
