// SPDX-License-Identifier: MIT
#include "data_tables.h"

namespace pixtera {

namespace {

bool SameValue(const VARIANT& a, const VARIANT& b)
{
    if (a.vt != b.vt)
        return false;
    switch (a.vt) {
    case VT_EMPTY:
    case VT_NULL: return true;
    case VT_BSTR: return BstrView(a.bstrVal) == BstrView(b.bstrVal);
    case VT_R8: return a.dblVal == b.dblVal;
    case VT_R4: return a.fltVal == b.fltVal;
    case VT_I2: return a.iVal == b.iVal;
    case VT_BOOL: return a.boolVal == b.boolVal;
    case VT_I8: return a.llVal == b.llVal;
    default: return a.lVal == b.lVal;
    }
}

} // namespace

bool ValueRecord::Store(std::u16string_view newDescription, const VARIANT* newValue)
{
    // Copy outside the lock; only the swap happens under it.
    Variant copy;
    if (newValue)
        VariantCopy(&copy, newValue);
    std::u16string description(newDescription);
    std::lock_guard lock(mutex_);
    description_.swap(description);
    if (!newValue)
        return false;
    const bool changed = stored_ && !SameValue(value_, copy);
    std::swap(static_cast<VARIANT&>(value_), static_cast<VARIANT&>(copy));
    stored_ = true;
    return changed;
}

HRESULT ValueRecord::CopyValue(VARIANT* out) const
{
    std::lock_guard lock(mutex_);
    return VariantCopy(out, &value_);
}

std::u16string ValueRecord::Description() const
{
    std::lock_guard lock(mutex_);
    return description_;
}

ValueRecord& DataTables::FindOrAdd(std::u16string_view name, LONG index, DataProviderRecord* provider)
{
    if (ValueRecord* existing = Find(name))
        return *existing;
    std::unique_lock lock(mutex_);
    if (const auto it = names_.find(name); it != names_.end())
        return *it->second; // another provider added it meanwhile
    ValueRecord& record = records_.emplace_back(static_cast<LONG>(records_.size()) + 1, index, provider);
    names_.emplace(std::u16string(name), &record);
    ids_.emplace_back(name);
    return record;
}

ValueRecord* DataTables::Find(std::u16string_view name) const
{
    std::shared_lock lock(mutex_);
    const auto it = names_.find(name);
    return it == names_.end() ? nullptr : it->second;
}

std::u16string DataTables::NameOf(LONG id) const
{
    std::shared_lock lock(mutex_);
    if (id < 1 || static_cast<std::size_t>(id) > ids_.size())
        return {};
    return ids_[static_cast<std::size_t>(id) - 1];
}

void DataTables::MarkChanged(LONG id)
{
    if (id < 1)
        return;
    std::lock_guard lock(changedMutex_);
    if (changed_.size() < static_cast<std::size_t>(id))
        changed_.resize(static_cast<std::size_t>(id), false);
    changed_[static_cast<std::size_t>(id) - 1] = true;
}

std::vector<LONG> DataTables::TakeChanged()
{
    std::lock_guard lock(changedMutex_);
    std::vector<LONG> ids;
    for (std::size_t i = 0; i < changed_.size(); ++i)
        if (changed_[i])
            ids.push_back(static_cast<LONG>(i) + 1);
    changed_.assign(changed_.size(), false);
    return ids;
}

LONG DataTables::Count() const
{
    std::shared_lock lock(mutex_);
    return static_cast<LONG>(ids_.size());
}

} // namespace pixtera
