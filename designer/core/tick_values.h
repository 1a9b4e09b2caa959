// SPDX-License-Identifier: MIT
#pragma once
// The data values a preview rendering shows: the latest the preview channel read, never a bus call
// of its own, so rendering never waits for the service. It remembers which names the rendering
// asked for, which is what the channel reads next.

#include <pixtera/platform/variant.h>
#include <pixtera/value_source.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace pixtera::designer {

class TickValues final : public ValueSource {
public:
    using ValueMap = std::map<std::u16string, Variant, std::less<>>;

    // Without a service every value reads "Error"; with one, a value not read yet is empty.
    void SetConnected(bool connected) { connected_ = connected; }
    // The values read so far; names not among them keep their last value. `volatiles` are the
    // names whose value can differ at every reading.
    void Update(const ValueMap& values, const std::set<std::u16string, std::less<>>& volatiles);
    void Clear() { values_.clear(); }
    // Starts a rendering: forgets the names asked for.
    void NextTick() { asked_.clear(); }
    const std::vector<std::u16string>& asked() const { return asked_; }

    HRESULT Value(std::u16string_view name, VARIANT* value) override;
    // A value changes only when the service says so, but for the volatile ones.
    Changes HowValueChanges(std::u16string_view name) override;

private:
    bool connected_ = false;
    ValueMap values_;
    std::set<std::u16string, std::less<>> volatiles_;
    std::vector<std::u16string> asked_;
};

} // namespace pixtera::designer
