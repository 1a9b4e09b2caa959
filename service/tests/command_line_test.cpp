// SPDX-License-Identifier: MIT
#include "command_line.h"

#include <gtest/gtest.h>

namespace {

using pixtera::ScanCommandLine;
using pixtera::ServiceSwitch;

struct ScanCase {
    const char* line;
    ServiceSwitch expected;
};

TEST(CommandLine, SwitchesCountOnlyWhenNothingFollowsThem)
{
    const ScanCase cases[] = {
        {"/opt/pixtera/pixtera2 -RegServer", ServiceSwitch::RegServer},
        {"/opt/pixtera/pixtera2 /regserver", ServiceSwitch::RegServer},
        {"/opt/pixtera/pixtera2 -UNREGSERVER", ServiceSwitch::UnregServer},
        {"/opt/pixtera/pixtera2 /Service", ServiceSwitch::Service},
        {"/opt/pixtera/pixtera2 --Service", ServiceSwitch::Service}, // the second '-' starts the token
        {"/opt/pixtera/pixtera2 -RegServer -Service", ServiceSwitch::Service},
        {"/opt/pixtera/pixtera2 -Service -RegServer", ServiceSwitch::RegServer},
        {"/opt/pixtera/pixtera2 -RegServer extra", ServiceSwitch::None},
        {"/opt/pixtera/pixtera2 -RegServer ", ServiceSwitch::None},
        {"/opt/pixtera/pixtera2 RegServer", ServiceSwitch::None},
        {"/opt/pixtera/pixtera2", ServiceSwitch::None},
        {"/opt/pix-tera/pixtera2", ServiceSwitch::None}, // a '-' in the path is a token that matches nothing
        {"/home/x/-Service/pixtera2", ServiceSwitch::None},
        {"/home/x/Service", ServiceSwitch::Service}, // the path's last '/' is followed by exactly Service
        {"", ServiceSwitch::None},
        {"-", ServiceSwitch::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScanCommandLine(c.line), c.expected) << c.line;
}

TEST(CommandLine, ArgumentsAreJoinedBySingleBlanks)
{
    const char* argv[] = {"/bin/pixtera2", "-Reg", "Server"};
    EXPECT_EQ(pixtera::JoinCommandLine(3, argv), "/bin/pixtera2 -Reg Server");
    EXPECT_EQ(ScanCommandLine(pixtera::JoinCommandLine(3, argv)), ServiceSwitch::None);
}

} // namespace
