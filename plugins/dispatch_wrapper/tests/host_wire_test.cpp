// SPDX-License-Identifier: MIT
#include "host_wire.h"

#include <pixtera/sdk/display_input.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::host;

std::span<const std::byte> Body(const std::string& message) { return std::as_bytes(std::span(message)).subspan(4); }

TEST(PluginHostWire, CallsAndResultsKeepEveryValue)
{
    const Call call{
        Method::SetCustomChar, {LONG(-7), BYTE(31), std::u16string(u"caf\u00e9"), Variant::FromDouble(2.5)}, 77};
    const std::string message = EncodeCall(call);
    std::uint32_t length = 0;
    std::memcpy(&length, message.data(), 4);
    EXPECT_EQ(length, message.size() - 4);
    const auto read = DecodeCall(Body(message));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->method, Method::SetCustomChar);
    EXPECT_EQ(read->number, 77u) << "the number the answer must carry";
    ASSERT_EQ(read->arguments.size(), 4u);
    EXPECT_EQ(std::get<LONG>(read->arguments[0]), -7);
    EXPECT_EQ(std::get<BYTE>(read->arguments[1]), 31);
    EXPECT_EQ(std::get<std::u16string>(read->arguments[2]), u"caf\u00e9");
    EXPECT_EQ(std::get<Variant>(read->arguments[3]).dblVal, 2.5);

    for (const Variant& value :
         {Variant::FromText(u"text"), Variant::FromLong(42), Variant::FromBool(true), Variant()}) {
        const auto result = DecodeResult(Body(EncodeResult({E_FAIL, {value}, 0xFFFFFFFFu})));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->hr, E_FAIL);
        EXPECT_EQ(result->number, 0xFFFFFFFFu);
        const VARIANT& back = std::get<Variant>(result->values.at(0));
        EXPECT_EQ(back.vt, value.vt);
        if (value.vt == VT_BSTR) {
            EXPECT_EQ(BstrView(back.bstrVal), u"text");
        }
    }
}

TEST(PluginHostWire, AnythingShortOrStrangeIsNoMessage)
{
    const std::string message = EncodeCall({Method::GetName, {LONG(1), std::u16string(u"abc")}});
    const auto body = Body(message);
    // kind, number and method (7 bytes), the LONG (1 + 4), the text (1 + 4 + 6): a cut between
    // values leaves a shorter call, a cut inside one leaves nothing.
    ASSERT_EQ(body.size(), 23u);
    for (std::size_t cut = 0; cut < body.size(); ++cut)
        EXPECT_EQ(DecodeCall(body.first(cut)).has_value(), cut == 7 || cut == 12) << cut;
    std::string huge = message;
    huge[huge.size() - 10] = '\xFF'; // a text length far beyond the message
    huge[huge.size() - 9] = '\xFF';
    EXPECT_FALSE(DecodeCall(Body(huge)));
    EXPECT_FALSE(DecodeResult(body)) << "a call is no result";
    std::string unknownMethod = message;
    unknownMethod[9] = '\x7F';
    EXPECT_FALSE(DecodeCall(Body(unknownMethod)));
    const std::string badVariant = EncodeResult({S_OK, {Variant::FromLong(1)}});
    std::string strange = badVariant;
    strange[14] = '\x09'; // the VARIANT's type: VT_DISPATCH cannot cross
    EXPECT_FALSE(DecodeResult(Body(strange)));
}

TEST(PluginHostWire, KeyEventsAreWholeDatagramsOrNothing)
{
    const std::string datagram = EncodeKeyEvent({kKeyRaw | 0x41, kKeyRepeated});
    const auto bytes = std::as_bytes(std::span(datagram));
    ASSERT_LE(bytes.size(), kLargestEvent);
    const auto read = DecodeKeyEvent(bytes);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->key, kKeyRaw | 0x41);
    EXPECT_EQ(read->action, kKeyRepeated);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(DecodeKeyEvent(bytes.first(cut))) << cut;
    const std::string longer = datagram + "x";
    EXPECT_FALSE(DecodeKeyEvent(std::as_bytes(std::span(longer)))) << "nothing may follow";
    EXPECT_FALSE(DecodeKeyEvent(Body(EncodeCall({Method::AdviseKeys, {LONG(1)}})))) << "a call is no event";
}

TEST(PluginHostWire, TheKeysCallsAreCallsAndNothingAfterTheLast)
{
    const auto keyCall = DecodeCall(Body(EncodeCall({Method::ScreenKey, {LONG(0), LONG(3), LONG(1)}, 4})));
    ASSERT_TRUE(keyCall);
    EXPECT_EQ(keyCall->method, Method::ScreenKey);
    const std::string message = EncodeCall({Method::AdviseKeys, {LONG(1)}, 5});
    const auto read = DecodeCall(Body(message));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->method, Method::AdviseKeys);
    std::string later = message;
    later[9] = static_cast<char>(static_cast<int>(kLastMethod) + 1);
    EXPECT_FALSE(DecodeCall(Body(later)));
}

TEST(PluginHostWire, OnlyPlainValuesCrossAndTheRestAsText)
{
    VARIANT currency{};
    currency.vt = VT_UI4;
    currency.ulVal = 7;
    EXPECT_EQ(Transportable(currency).vt, VT_UI4);
    VARIANT object{};
    object.vt = VT_UNKNOWN;
    EXPECT_EQ(Transportable(object).vt, VT_EMPTY) << "an object has no text";
}

} // namespace
