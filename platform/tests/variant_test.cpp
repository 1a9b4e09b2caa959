// SPDX-License-Identifier: MIT
#include <pixtera/platform/variant.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace {

using pixtera::Variant;

// Runs the test body under a locale named through the environment, as the service sees it.
class ScopedLocaleEnvironment {
public:
    explicit ScopedLocaleEnvironment(const char* name)
    {
        if (const char* old = std::getenv("LC_ALL"))
            saved_ = old;
        setenv("LC_ALL", name, 1);
    }
    ~ScopedLocaleEnvironment()
    {
        if (saved_.empty())
            unsetenv("LC_ALL");
        else
            setenv("LC_ALL", saved_.c_str(), 1);
    }

private:
    std::string saved_;
};

std::u16string TextOf(const Variant& value)
{
    Variant text;
    EXPECT_EQ(VariantChangeType(&text, &value, 0, VT_BSTR), S_OK);
    return std::u16string(pixtera::BstrView(text.bstrVal));
}

struct ToTextCase {
    Variant value;
    std::u16string text;
};

TEST(VariantChangeType, NumbersBecomeTheirShortestText)
{
    ScopedLocaleEnvironment cLocale("C");
    const ToTextCase cases[] = {
        {Variant::FromDouble(60.0), u"60"},
        {Variant::FromDouble(3.14159), u"3.14159"},
        {Variant::FromDouble(0.1), u"0.1"},
        {Variant::FromDouble(-2.5), u"-2.5"},
        {Variant::FromDouble(1.0 / 3.0), u"0.333333333333333"},
        {Variant::FromDouble(123456789012345678.0), u"1.23456789012346E+17"},
        {Variant::FromDouble(1e-7), u"1E-07"},
        {Variant::FromLong(-1536), u"-1536"},
        {Variant::FromShort(7), u"7"},
        {Variant::FromBool(true), u"-1"},
        {Variant::FromBool(false), u"0"},
        {Variant(), u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextOf(c.value), c.text) << "type " << c.value.vt;
}

TEST(VariantChangeType, BooleansReadAsWordsOnRequest)
{
    Variant value = Variant::FromBool(true);
    Variant text;
    ASSERT_EQ(VariantChangeType(&text, &value, VARIANT_ALPHABOOL, VT_BSTR), S_OK);
    EXPECT_EQ(pixtera::BstrView(text.bstrVal), u"True");
}

struct FromTextCase {
    std::u16string text;
    VARTYPE type;
    HRESULT result;
    double number;
};

TEST(VariantChangeType, TextBecomesANumberOnlyWhenAllOfItReadsAsOne)
{
    ScopedLocaleEnvironment cLocale("C");
    const FromTextCase cases[] = {
        {u"1536", VT_R8, S_OK, 1536.0},
        {u"  -2.25 ", VT_R8, S_OK, -2.25},
        {u"1e3", VT_R8, S_OK, 1000.0},
        {u"+7", VT_I4, S_OK, 7},
        {u"2.5", VT_I4, S_OK, 2}, // rounds half to even
        {u"3.5", VT_I4, S_OK, 4},
        {u"abc", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"12abc", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"inf", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"0x10", VT_I4, DISP_E_TYPEMISMATCH, 0},
        {u"1e", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u".", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"1e999", VT_R8, DISP_E_OVERFLOW, 0},
        {u"40000", VT_I2, DISP_E_OVERFLOW, 0},
        {u"-1", VT_UI4, DISP_E_OVERFLOW, 0},
        {u"4294967295", VT_UI4, S_OK, 4294967295.0},
        {u"true", VT_BOOL, S_OK, -1},
        {u"0", VT_BOOL, S_OK, 0},
    };
    for (const auto& c : cases) {
        Variant source = Variant::FromText(c.text);
        Variant result = Variant::FromLong(99);
        const HRESULT hr = VariantChangeType(&result, &source, 0, c.type);
        EXPECT_EQ(hr, c.result) << std::string(c.text.begin(), c.text.end());
        if (FAILED(hr)) {
            EXPECT_EQ(result.vt, VT_I4) << "a failed conversion leaves the destination alone";
            continue;
        }
        ASSERT_EQ(result.vt, c.type);
        EXPECT_EQ(*result.AsDouble(), c.number) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(VariantChangeType, ConvertsInPlace)
{
    Variant value = Variant::FromText(u"42");
    ASSERT_EQ(VariantChangeType(&value, &value, 0, VT_I4), S_OK);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, 42);
}

TEST(VariantChangeType, ShortAndLongIntegersStayDistinctTypes)
{
    Variant shortOne = Variant::FromShort(1);
    Variant longOne = Variant::FromLong(1);
    EXPECT_EQ(shortOne.vt, VT_I2);
    EXPECT_EQ(longOne.vt, VT_I4);
    Variant copy;
    ASSERT_EQ(VariantCopy(&copy, &shortOne), S_OK);
    EXPECT_EQ(copy.vt, VT_I2) << "copying keeps the type";
    EXPECT_EQ(VariantChangeType(&copy, &longOne, 0, VT_I2), S_OK);
    EXPECT_EQ(copy.iVal, 1);
}

TEST(VariantChangeType, NullConvertsToNothingButEmpty)
{
    Variant null;
    null.vt = VT_NULL;
    Variant result;
    EXPECT_EQ(VariantChangeType(&result, &null, 0, VT_R8), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(VariantChangeType(&result, &null, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
}

TEST(VariantChangeType, UnknownTypesAreRejected)
{
    Variant odd;
    odd.vt = 0x4000 | VT_I4; // VT_BYREF
    Variant result;
    EXPECT_EQ(VariantChangeType(&result, &odd, 0, VT_R8), DISP_E_BADVARTYPE);
    odd.vt = VT_EMPTY;
    EXPECT_EQ(VariantChangeType(&result, &odd, 0, 0x48), DISP_E_BADVARTYPE);
}

TEST(VariantChangeType, UsesTheDecimalCommaOfTheUsersLocale)
{
    const char* name = "de_DE.UTF-8";
    locale_t probe = newlocale(LC_NUMERIC_MASK, name, locale_t{});
    if (!probe)
        GTEST_SKIP() << "locale " << name << " is not installed (locale-gen " << name << ")";
    freelocale(probe);

    ScopedLocaleEnvironment german(name);
    EXPECT_EQ(TextOf(Variant::FromDouble(3.5)), u"3,5");
    Variant text = Variant::FromText(u"1,25");
    Variant number;
    ASSERT_EQ(VariantChangeType(&number, &text, 0, VT_R8), S_OK);
    EXPECT_EQ(number.dblVal, 1.25);
    Variant pointed = Variant::FromText(u"1.25");
    EXPECT_EQ(VariantChangeType(&number, &pointed, 0, VT_R8), DISP_E_TYPEMISMATCH);
}

TEST(Variant, CopiesOwnTheirStrings)
{
    Variant original = Variant::FromText(u"value");
    Variant copy = original;
    ASSERT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, original.bstrVal);
    EXPECT_EQ(pixtera::BstrView(copy.bstrVal), u"value");
    Variant moved = std::move(copy);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(pixtera::BstrView(moved.bstrVal), u"value");
}

} // namespace
