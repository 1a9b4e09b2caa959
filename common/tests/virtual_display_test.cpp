// SPDX-License-Identifier: MIT
#include <pixtera/virtual_display.h>

#include <gtest/gtest.h>

namespace {

using pixtera::BString;
using pixtera::VirtualDisplay;

std::string Row(const VirtualDisplay& display, LONG row)
{
    return std::string(display.frame().substr(static_cast<std::size_t>(row * display.columns()),
                                              static_cast<std::size_t>(display.columns())));
}

TEST(VirtualDisplay, AnswersFailBeforeInitialize)
{
    VirtualDisplay display;
    LONG value = 42;
    EXPECT_EQ(display.GetColumns(&value), E_FAIL);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(display.GetColumns(nullptr), E_POINTER);
    BSTR text = reinterpret_cast<BSTR>(1);
    EXPECT_EQ(display.GetText(&text), E_FAIL);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(display.Clear(), E_FAIL);
    EXPECT_EQ(display.WriteText(0, 0, BString(std::u16string_view(u"x")).get()), E_FAIL);
}

TEST(VirtualDisplay, InitializeStoresGeometryAndClears)
{
    VirtualDisplay display;
    ASSERT_EQ(display.Initialize(20, 4, 5, 8), S_OK);
    EXPECT_EQ(display.pixelWidth(), 100);
    EXPECT_EQ(display.pixelHeight(), 32);
    EXPECT_EQ(display.frame(), std::string(80, ' '));
    LONG value = 0;
    ASSERT_EQ(display.GetCharWidth(&value), S_OK);
    EXPECT_EQ(value, 5);
    ASSERT_EQ(display.GetRows(&value), S_OK);
    EXPECT_EQ(value, 4);
    ASSERT_EQ(display.Initialize(16, 2, 6, 8), S_OK) << "repeated Initialize replaces the text";
    EXPECT_EQ(display.frame().size(), 32u);
}

TEST(VirtualDisplay, RefusesAbsurdGeometry)
{
    VirtualDisplay display;
    EXPECT_EQ(display.Initialize(-1, 4, 5, 8), E_INVALIDARG);
    EXPECT_EQ(display.Initialize(100000, 100000, 5, 8), E_INVALIDARG);
    LONG columns = -1;
    EXPECT_EQ(display.GetColumns(&columns), E_FAIL) << "still no display";
}

TEST(VirtualDisplay, WriteTextClipsAtBothEdgesAndOutsideRows)
{
    VirtualDisplay display;
    ASSERT_EQ(display.Initialize(10, 2, 5, 8), S_OK);
    display.WriteText(8, 0, BString(std::u16string_view(u"ABCDE")).get());
    display.WriteText(-3, 1, BString(std::u16string_view(u"abcdef")).get());
    display.WriteText(0, 2, BString(std::u16string_view(u"never")).get());
    display.WriteText(0, -1, BString(std::u16string_view(u"never")).get());
    display.WriteText(-10, 0, BString(std::u16string_view(u"gone")).get());
    display.WriteText(12, 0, BString(std::u16string_view(u"gone")).get());
    EXPECT_EQ(Row(display, 0), "        AB");
    EXPECT_EQ(Row(display, 1), "def       ");
}

TEST(VirtualDisplay, TextKeepsItsCodePointsAndHasAWindows1252View)
{
    VirtualDisplay display;
    ASSERT_EQ(display.Initialize(5, 1, 5, 8), S_OK);
    display.WriteText(0, 0, BString(std::u16string_view(u"\u20AC\u00E9\u4E2D\U0001D11E\xD800")).get());
    EXPECT_EQ(display.frame(), "\x80\xE9???") << "one byte a cell, a surrogate pair one cell";
    EXPECT_EQ(display.cells(), U"\u20AC\u00E9\u4E2D\U0001D11E\uFFFD");
    BString text;
    ASSERT_EQ(display.GetText(text.Out()), S_OK);
    EXPECT_EQ(text.view(), u"\u20AC\u00E9\u4E2D\U0001D11E\uFFFD");
    display.WriteAnsi(3, 0, "\x81\x08");
    EXPECT_EQ(display.frame(), "\x80\xE9?\x81\x08") << "bytes written as bytes come back the same";
    EXPECT_EQ(display.cells().substr(3), U"\u0081\u0008");
    display.WriteCells(-1, 0, U"\u0416\u0436\u00FC");
    EXPECT_EQ(display.cells().substr(0, 3), U"\u0436\u00FC\u4E2D") << "clipped at the left as text is";
    ASSERT_EQ(display.Clear(), S_OK);
    EXPECT_EQ(display.cells(), U"     ");
}

TEST(VirtualDisplay, IsEmbeddedReleaseNeverFrees)
{
    VirtualDisplay display;
    void* found = nullptr;
    ASSERT_EQ(display.QueryInterface(IID_IVirtualDisplay, &found), S_OK);
    EXPECT_EQ(found, static_cast<IVirtualDisplay*>(&display));
    EXPECT_EQ(display.Release(), 0u);
    EXPECT_EQ(display.QueryInterface(IID_IDispatch, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
}

} // namespace
