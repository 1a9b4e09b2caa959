#pragma once
// Where display items get their data values: the service's data manager in its own process, the
// service's data collection from the designer, a table in tests and tools.

#include <pixtera/platform/variant.h>

#include <map>
#include <string>
#include <string_view>

namespace pixtera {

class ValueSource {
public:
    // The current value of the named item; an unknown name reads as the text "Error".
    virtual HRESULT Value(std::u16string_view name, VARIANT* value) = 0;

protected:
    ~ValueSource() = default;
};

// A fixed table of values.
class TableValueSource final : public ValueSource {
public:
    void Set(std::u16string name, Variant value) { values_[std::move(name)] = std::move(value); }
    HRESULT Value(std::u16string_view name, VARIANT* value) override;

private:
    std::map<std::u16string, Variant, std::less<>> values_;
};

} // namespace pixtera
