// SPDX-License-Identifier: MIT
// Pixtera.BusData: a value set wakes the service's poll of that item alone, through the sink;
// without a sink it is polled.

#include "counting_sink.h"
#include "plugin_test.h"

#include <pixtera/sdk/data_events.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/data_provider.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

class BusDataPlugin : public test::PluginTest<IDataProvider> {
protected:
    BusDataPlugin() : PluginTest("BusData.so", u"Pixtera.BusData") {}

    void SetUp() override
    {
        PluginTest::SetUp();
        ASSERT_EQ(Configure("names=weather,mail"), S_OK);
        feed = plugin.As<IDataFeed>();
        events = plugin.As<IDataEvents>();
        ASSERT_TRUE(feed && events);
    }
    HRESULT Set(std::string_view name, const Variant& value) { return feed->SetValue(BString(name).get(), value); }
    LONG UpdateMode()
    {
        LONG mode = -1;
        plugin->GetUpdateMode(&mode);
        return mode;
    }

    ComPtr<IDataFeed> feed;
    ComPtr<IDataEvents> events;
    ComPtr<test::CountingSink> sink = MakeComObject<test::CountingSink>();
};

TEST_F(BusDataPlugin, AValueSetTellsTheSinkItsItemAndAsksForNoPoll)
{
    ASSERT_EQ(events->Advise(sink.get()), S_OK);
    EXPECT_EQ(UpdateMode(), kUpdateOnce);
    ASSERT_EQ(Set("mail", Variant::FromText(u"3 new")), S_OK);
    ASSERT_EQ(Set("weather", Variant::FromText(u"sunny")), S_OK);
    EXPECT_EQ(sink->Named(), (std::vector<std::vector<LONG>>{{1}, {0}}));
    Variant value;
    ASSERT_EQ(plugin->GetValue(1, value.Out()), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(BstrView(value.bstrVal), u"3 new");

    EXPECT_EQ(Set("rain", Variant::FromText(u"x")), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(sink->calls, 2) << "nothing set, nothing told";

    ASSERT_EQ(Configure("names=rain"), S_OK);
    EXPECT_EQ(sink->calls, 3) << "new names: everything is read again";
    EXPECT_EQ(sink->Named().size(), 2u) << "told as a whole, not by item";
}

TEST_F(BusDataPlugin, WithoutASinkItIsPolledAndTellsNoOne)
{
    EXPECT_EQ(UpdateMode(), kUpdatePeriodic);
    ASSERT_EQ(events->Advise(sink.get()), S_OK);
    ASSERT_EQ(events->Advise(nullptr), S_OK);
    EXPECT_EQ(UpdateMode(), kUpdatePeriodic);
    ASSERT_EQ(Set("weather", Variant::FromText(u"rain")), S_OK);
    EXPECT_EQ(sink->calls, 0);
}

} // namespace
