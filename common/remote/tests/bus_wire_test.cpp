// SPDX-License-Identifier: MIT
// How a failure crosses the bus: its text always UTF-8, or the bus would send no answer at all.

#include <pixtera/platform/codepage.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/bus_wire.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

TEST(BusWire, AFailuresTextIsUtf8WhateverItWasMadeOf)
{
    const sdbus::Error cut = wire::ErrorFor(E_INVALIDARG, "caf\xC3 and \xFF\xFEna\xC3\xAFve");
    EXPECT_EQ(cut.getName(), std::string(bus::kErrorPrefix) + "E_INVALIDARG");
    EXPECT_EQ(FindInvalidUtf8(cut.getMessage()), std::string_view::npos) << cut.getMessage();
    EXPECT_EQ(wire::ReasonOf(cut), "caf? and ??na\xC3\xAFve") << "each stray byte one mark, letters kept";
    EXPECT_EQ(wire::HresultOf(cut), E_INVALIDARG);

    const sdbus::Error fine = wire::ErrorFor(E_FAIL, "caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(wire::ReasonOf(fine), "caf\xC3\xA9 \xE2\x82\xAC");
}

} // namespace
