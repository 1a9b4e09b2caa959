// SPDX-License-Identifier: MIT
#include <pixtera/platform/com.h>

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr GUID kSample{0x0123ABCD, 0x4567, 0x89EF, {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}};

TEST(Guid, ParsesWithAndWithoutBracesInAnyCase)
{
    for (const char* text : {"{0123ABCD-4567-89EF-0123-456789ABCDEF}", "0123abcd-4567-89ef-0123-456789abcdef",
                             "{0123abcd-4567-89EF-0123-456789abcdef}"}) {
        const auto parsed = pixtera::ParseGuid(std::string_view(text));
        ASSERT_TRUE(parsed) << text;
        EXPECT_EQ(*parsed, kSample) << text;
    }
}

TEST(Guid, RejectsMalformedText)
{
    for (const char* text : {"", "{}", "0123ABCD-4567-89EF-0123-456789ABCDE", // one digit short
                             "{0123ABCD-4567-89EF-0123-456789ABCDEF", // no closing brace
                             "(0123ABCD-4567-89EF-0123-456789ABCDEF)", // wrong brackets
                             "0123ABCD-4567-89EF-0123-456789ABCDEG", // not hexadecimal
                             "0123ABCD_4567-89EF-0123-456789ABCDEF", // wrong separator
                             "0123ABCD4567-89EF-0123-456789ABCDEF-", " {0123ABCD-4567-89EF-0123-456789ABCDEF}"})
        EXPECT_FALSE(pixtera::ParseGuid(std::string_view(text))) << text;
}

TEST(Guid, FormatsInRegistryForm)
{
    EXPECT_EQ(pixtera::FormatGuid(kSample), "{0123ABCD-4567-89EF-0123-456789ABCDEF}");
    EXPECT_EQ(pixtera::FormatGuid(kSample, false), "0123ABCD-4567-89EF-0123-456789ABCDEF");
    EXPECT_EQ(pixtera::ParseGuid(pixtera::FormatGuid(kSample)), kSample);
}

TEST(Guid, StringFromGuid2NeedsRoomForTheTerminator)
{
    OLECHAR buffer[39];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    EXPECT_EQ(StringFromGUID2(kSample, buffer, 38), 0);
    EXPECT_EQ(buffer[0], u'#');
    ASSERT_EQ(StringFromGUID2(kSample, buffer, 39), 39);
    EXPECT_EQ(std::u16string_view(buffer), u"{0123ABCD-4567-89EF-0123-456789ABCDEF}");
}

TEST(Guid, ClsidFromStringReadsBracedGuidsAndRejectsBadOnes)
{
    CLSID clsid = kSample;
    EXPECT_EQ(CLSIDFromString(u"{0123ABCD-4567-89EF-0123-456789ABCDEF}", &clsid), S_OK);
    EXPECT_EQ(clsid, kSample);

    clsid = kSample;
    EXPECT_EQ(CLSIDFromString(u"{0123ABCD-4567-89EF-0123-456789ABCDEX}", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL) << "the out-parameter is cleared on failure";
    EXPECT_EQ(CLSIDFromString(u"No.Such.ProgId", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromString(u"x", nullptr), E_INVALIDARG);
}

TEST(Guid, CoCreateGuidMakesDistinctVersion4Guids)
{
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i) {
        GUID guid{};
        ASSERT_EQ(CoCreateGuid(&guid), S_OK);
        EXPECT_EQ(guid.Data3 >> 12, 4);
        EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);
        seen.insert(pixtera::FormatGuid(guid));
    }
    EXPECT_EQ(seen.size(), 64u);
}

} // namespace
