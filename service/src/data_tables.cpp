#include "data_tables.h"

namespace pixtera {

void ValueRecord::Store(std::u16string_view newDescription, const VARIANT* newValue)
{
    // Copy outside the lock; only the swap happens under it.
    Variant copy;
    if (newValue)
        VariantCopy(&copy, newValue);
    std::u16string description(newDescription);
    std::lock_guard lock(mutex_);
    description_.swap(description);
    if (newValue)
        std::swap(static_cast<VARIANT&>(value_), static_cast<VARIANT&>(copy));
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
    ValueRecord& record = records_.emplace_back(index, provider);
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

LONG DataTables::Count() const
{
    std::shared_lock lock(mutex_);
    return static_cast<LONG>(ids_.size());
}

} // namespace pixtera
