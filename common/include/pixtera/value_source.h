// SPDX-License-Identifier: MIT
#pragma once
// Where display items get their data values: the service's data manager in its own process, the
// service's data collection from the designer, a table in tests and tools.

#include <pixtera/platform/variant.h>
#include <pixtera/value_change_signal.h>

#include <map>
#include <string>
#include <string_view>

namespace pixtera {

class ValueSource {
public:
    // The current value of the named item; an unknown name reads as the text "Error".
    virtual HRESULT Value(std::u16string_view name, VARIANT* value) = 0;

    // Whether the named value changes only when stored (then the change signal tells of it) or
    // may differ at any reading.
    enum class Changes { WhenStored, AnyTime };
    virtual Changes HowValueChanges(std::u16string_view) { return Changes::AnyTime; }
    // The signal of stored changes; none when every value may change at any time.
    virtual ValueChangeSignal* changeSignal() { return nullptr; }

protected:
    ~ValueSource() = default;
};

// A fixed table of values.
class TableValueSource final : public ValueSource {
public:
    void Set(std::u16string name, Variant value)
    {
        values_[std::move(name)] = std::move(value);
        changes_.Notify();
    }
    HRESULT Value(std::u16string_view name, VARIANT* value) override;
    Changes HowValueChanges(std::u16string_view) override { return Changes::WhenStored; }
    ValueChangeSignal* changeSignal() override { return &changes_; }

private:
    ValueChangeSignal changes_;
    std::map<std::u16string, Variant, std::less<>> values_;
};

} // namespace pixtera
