// SPDX-License-Identifier: MIT
#include "plugin_test.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

class SystemDataPlugin : public test::PluginTest<IDataProvider> {
protected:
    SystemDataPlugin() : PluginTest("SystemData.so", u"Pixtera.SystemData") {}

    ComPtr<IDataProvider>& provider = plugin;
};

TEST_F(SystemDataPlugin, IsPeriodicWithTheConfiguredInterval)
{
    info->Configure(BString(std::string_view("interval=250")).get());
    LONG value = 0;
    provider->GetUpdateMode(&value);
    EXPECT_EQ(value, kUpdatePeriodic);
    provider->GetInterval(&value);
    EXPECT_EQ(value, 250);
    info->Configure(BString(std::string_view("interval=soon")).get());
    provider->GetInterval(&value);
    EXPECT_EQ(value, 1000);
    EXPECT_TRUE(log.Contains("unusable interval"));
}

TEST_F(SystemDataPlugin, OffersTheRealSystemsItems)
{
    info->Configure(BString(std::string_view("")).get());
    ASSERT_EQ(provider->Refresh(), S_OK);
    LONG count = 0;
    provider->GetCount(&count);
    ASSERT_GT(count, 10);
    bool cpu = false;
    for (LONG i = 0; i < count; ++i) {
        BString name;
        ASSERT_EQ(provider->GetName(i, name.Out()), S_OK);
        Variant value;
        ASSERT_EQ(provider->GetValue(i, value.Out()), S_OK);
        if (name.view() == u"CPU.Total") {
            cpu = true;
            EXPECT_EQ(value.vt, VT_R8);
            EXPECT_GE(value.dblVal, 0);
            EXPECT_LE(value.dblVal, 100);
        }
    }
    EXPECT_TRUE(cpu);
    BString name;
    EXPECT_EQ(provider->GetName(count, name.Out()), E_INVALIDARG);
}

} // namespace
