#pragma once
// Data values for one preview tick: each name is asked of the service once per tick, however many
// items show it, since every read is a round trip to the service.

#include <pixtera/service_interfaces.h>
#include <pixtera/value_source.h>

#include <map>
#include <string>

namespace pixtera::designer {

class TickValues final : public ValueSource {
public:
    // Without a collection every value reads "Error".
    explicit TickValues(IDataCollection* data = nullptr) : data_(data) {}

    void SetCollection(IDataCollection* data);
    // Forgets the values read so far; the next reads ask the service again.
    void NextTick() { cache_.clear(); }

    // A failed read is the text "Error".
    HRESULT Value(std::u16string_view name, VARIANT* value) override;

private:
    IDataCollection* data_;
    std::map<std::u16string, Variant, std::less<>> cache_;
};

} // namespace pixtera::designer
