// SPDX-License-Identifier: MIT
#include "plugin_test.h"

#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;

class TerminalDisplayPlugin : public test::PluginTest<IDisplayDriver> {
protected:
    TerminalDisplayPlugin() : PluginTest("TerminalDisplay.so", u"Pixtera.TerminalDisplay") {}

    ComPtr<IDisplayDriver>& display = plugin;
    std::filesystem::path output = test::TestDirectory() / "screen.txt";
};

TEST_F(TerminalDisplayPlugin, BadConfigurationGetsDefaultsAndAMessage)
{
    info->Configure(BString("columns=0;rows=x;colour=purple;tty=" + output.string()).get());
    LONG value = 0;
    display->GetColumns(&value);
    EXPECT_EQ(value, 20);
    display->GetRows(&value);
    EXPECT_EQ(value, 4);
    EXPECT_TRUE(log.Contains("defaults are used")) << log.Text();
}

TEST_F(TerminalDisplayPlugin, WithoutATerminalFramesArePrintedAsText)
{
    info->Configure(BString("columns=3;rows=1;tty=" + output.string()).get());
    display->SetCustomChar(0, 31, 31, 31, 31, 31, 31, 31, 31);
    const char16_t frame[] = {u'a', 8, u'b'};
    BSTR text = SysAllocStringLen(frame, 3);
    display->Write(text);
    SysFreeString(text);
    std::ifstream in(output);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "+---+\n|a\u2588b|\n+---+\n");
}

} // namespace
