// SPDX-License-Identifier: MIT
#include <pixtera/item_value.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace pixtera;

// Counts every fetch, so tests can tell whether a value was fetched again.
class CountingSource final : public ValueSource {
public:
    explicit CountingSource(Variant value) : value_(std::move(value)) {}
    HRESULT Value(std::u16string_view, VARIANT* out) override
    {
        ++fetches;
        VariantInit(out);
        return failure ? failure : VariantCopy(out, &value_);
    }
    int fetches = 0;
    HRESULT failure = S_OK;

private:
    Variant value_;
};

DisplayItem DataItem(bool convert, LONG from, LONG to, bool format, LONG digits)
{
    DisplayItem item;
    item.name = u"Value";
    item.convert = convert;
    item.fromUnit = from;
    item.toUnit = to;
    item.format = format;
    item.digits = digits;
    return item;
}

class ItemValue : public ::testing::Test {
protected:
    void SetUp() override { setenv("LC_ALL", "C", 1); }
};

struct NumberCase {
    double value;
    DisplayItem item;
    std::string text;
};

TEST_F(ItemValue, ConvertsUnitsAndFormatsDigits)
{
    const NumberCase cases[] = {
        {2, DataItem(true, kMegaBytes, kKiloBytes, false, 0), "2048"},
        {1073741824, DataItem(true, kBytes, kGigaBytes, false, 0), "1"},
        {1536, DataItem(true, kBytes, kKiloBytes, true, 1), "1.5"},
        {1536, DataItem(true, kBytes, kKiloBytes, true, 3), "1.500"},
        {3.14159, DataItem(false, 0, 0, true, 0), "3"},
        {3.14159, DataItem(false, 0, 0, false, 0), "3.14159"},
        {5, DataItem(true, kKiloBytes, kKiloBytes, false, 0), "5"},
        {1, DataItem(true, kTerraBytes, kBytes, false, 0), "1099511627776"},
        {2.5, DataItem(false, 0, 0, true, -4), "2"}, // negative digits count as none (half to even)
        {0.125, DataItem(false, 0, 0, true, 2), "0.12"},
    };
    for (const auto& c : cases) {
        CountingSource source(Variant::FromDouble(c.value));
        EXPECT_EQ(ItemText(c.item, source), c.text) << c.value;
        EXPECT_EQ(source.fetches, 1);
    }
}

TEST_F(ItemValue, HugeDigitsAreBounded)
{
    CountingSource source(Variant::FromDouble(1e300));
    const auto text = ItemText(DataItem(false, 0, 0, true, 100000), source);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), 301 + 1 + static_cast<std::size_t>(kMaxDigits));
}

TEST_F(ItemValue, FormattingAlwaysUsesAPoint)
{
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 is not installed";
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    CountingSource source(Variant::FromDouble(1.5));
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, true, 2), source), "1.50");
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), source), "1,5") << "unformatted follows the locale";
    std::setlocale(LC_NUMERIC, "C");
}

TEST_F(ItemValue, TextValuesUnderConversion)
{
    CountingSource text(Variant::FromUtf8("Half-Life"));
    EXPECT_EQ(ItemText(DataItem(true, kBytes, kKiloBytes, true, 2), text), "Half-Life");
    EXPECT_EQ(text.fetches, 2) << "a value that is not a number is fetched again, unconverted";

    CountingSource same(Variant::FromUtf8("Half-Life"));
    EXPECT_EQ(ItemText(DataItem(true, kBytes, kBytes, false, 0), same), "Half-Life");
    EXPECT_EQ(same.fetches, 1) << "bytes to bytes makes no step and no second fetch";

    CountingSource numeric(Variant::FromUtf8("2048"));
    EXPECT_EQ(ItemText(DataItem(true, kBytes, kKiloBytes, false, 0), numeric), "2") << "text that is a number converts";
}

TEST_F(ItemValue, StaticItemsIgnoreConversionAndFormatting)
{
    DisplayItem item = DataItem(true, kBytes, kKiloBytes, true, 2);
    item.source = kSourceStaticText;
    item.text = "1536";
    CountingSource source(Variant::FromDouble(1));
    EXPECT_EQ(ItemText(item, source), "1536");
    EXPECT_EQ(source.fetches, 0);
    item.text.reset();
    EXPECT_EQ(ItemText(item, source), std::nullopt);
}

TEST_F(ItemValue, FailedLookupsShowError)
{
    CountingSource source(Variant::FromDouble(1));
    source.failure = E_FAIL;
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), source), "Error");
    TableValueSource table;
    DisplayItem unnamed;
    EXPECT_EQ(ItemText(unnamed, table), "Error") << "an empty name is unknown";
}

TEST_F(ItemValue, ValuesWithoutTextShowNothing)
{
    Variant null;
    null.vt = VT_NULL;
    CountingSource source(null);
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), source), "");
}

TEST_F(ItemValue, OtherTypesAndTheDisplayCodePage)
{
    CountingSource integer(Variant::FromShort(-7));
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), integer), "-7");
    CountingSource euro(Variant::FromUtf8("5 €"));
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), euro), "5 €") << "values stay Unicode, in UTF-8";
    CountingSource cyrillic(Variant::FromUtf8("Ёж"));
    EXPECT_EQ(ItemText(DataItem(false, 0, 0, false, 0), cyrillic), "Ёж");
}

} // namespace
