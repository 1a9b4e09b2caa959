// SPDX-License-Identifier: MIT
#pragma once
// A fixture for the tests of a shipped plug-in: its module registered the way the service
// registers it, one object created and asked for the interface under test, and the log captured.

#include "captured_log.h"
#include "test_environment.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace pixtera::test {

// Registers the test build's plugins/<module> and creates an object of `progId` answering
// Interface; null (and the test failed) when any step fails.
template <class Interface>
ComPtr<Interface> CreatePlugin(const char* module, const char16_t* progId)
{
    ComPtr<Interface> object;
    CLSID clsid{};
    EXPECT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / module)) << module;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK) << module;
    EXPECT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, object), S_OK) << module;
    return object;
}

template <class Interface>
class PluginTest : public ::testing::Test {
protected:
    // `module` as built into the test build's plugins/ folder, `progId` the class it registers.
    PluginTest(const char* module, const char16_t* progId) : module_(module), progId_(progId) {}

    void SetUp() override
    {
        plugin = CreatePlugin<Interface>(module_, progId_);
        ASSERT_TRUE(plugin);
        info = plugin.template As<IPluginInfo>();
        ASSERT_TRUE(info);
    }
    HRESULT Configure(std::string_view text) { return info->Configure(BString(text).get()); }

    CapturedLog log; // declared first, so it outlives the object and whatever its threads write
    ComPtr<Interface> plugin;
    ComPtr<IPluginInfo> info;

private:
    const char* module_;
    const char16_t* progId_;
};

} // namespace pixtera::test
