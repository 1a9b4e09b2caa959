// SPDX-License-Identifier: MIT
#include <pixtera/platform/bstr.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(Bstr, KeepsLengthPrefixAndTerminator)
{
    BSTR text = SysAllocString(u"Pixtera");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 7u);
    EXPECT_EQ(SysStringByteLen(text), 14u);
    EXPECT_EQ(text[7], u'\0');
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - 4, 4);
    EXPECT_EQ(prefix, 14u) << "the prefix counts bytes, without the terminator";
    SysFreeString(text);
}

TEST(Bstr, NullIsTheEmptyStringAndFreeingItIsHarmless)
{
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    SysFreeString(nullptr);
    EXPECT_TRUE(pixtera::BstrView(nullptr).empty());
}

TEST(Bstr, HoldsEmbeddedNulsAndUninitialisedLengths)
{
    const char16_t frame[] = {u'A', 0, 8, u'B'};
    BSTR text = SysAllocStringLen(frame, 4);
    EXPECT_EQ(pixtera::BstrView(text), std::u16string_view(frame, 4));
    SysFreeString(text);

    BSTR blank = SysAllocStringLen(nullptr, 3);
    EXPECT_EQ(SysStringLen(blank), 3u);
    EXPECT_EQ(blank[3], u'\0');
    SysFreeString(blank);
}

TEST(Bstr, ReallocationReplacesTheText)
{
    BSTR text = SysAllocString(u"old");
    ASSERT_TRUE(SysReAllocString(&text, u"newer"));
    EXPECT_EQ(pixtera::BstrView(text), u"newer");
    SysFreeString(text);
}

TEST(Bstr, OwnerConvertsAndReleases)
{
    pixtera::BString utf8(std::string_view("Grüße"));
    EXPECT_EQ(utf8.view(), u"Grüße");
    EXPECT_EQ(utf8.utf8(), "Grüße");

    pixtera::BString copy = utf8;
    EXPECT_NE(copy.get(), utf8.get());
    EXPECT_EQ(copy, utf8);

    BSTR detached = copy.Detach();
    EXPECT_EQ(copy.get(), nullptr);
    auto reattached = pixtera::BString::Attach(detached);
    EXPECT_EQ(reattached.view(), u"Grüße");

    *reattached.Out() = SysAllocString(u"x");
    EXPECT_EQ(reattached.view(), u"x");
}

} // namespace
