// SPDX-License-Identifier: MIT
// The PIXTERA_DEBUG trace channels: which names count, what a traced call says, and silence
// when a channel is off.

#include "captured_log.h"
#include "test_environment.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/debug_trace.h>
#include <pixtera/platform/registry.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

constexpr unsigned kCom = static_cast<unsigned>(TraceChannel::Com);
constexpr unsigned kRegistry = static_cast<unsigned>(TraceChannel::Registry);
constexpr unsigned kBus = static_cast<unsigned>(TraceChannel::Bus);
constexpr unsigned kPlugins = static_cast<unsigned>(TraceChannel::Plugins);

class TraceChannels : public ::testing::Test {
protected:
    void TearDown() override { SetTraceChannels(0); }
    test::CapturedLog log;
};

TEST(TraceChannelNames, AListOfNamesWithBlanksAndUnknownOnesSaid)
{
    EXPECT_EQ(ParseTraceChannels(""), 0u);
    EXPECT_EQ(ParseTraceChannels("com"), kCom);
    EXPECT_EQ(ParseTraceChannels("registry, bus ,plugins"), kRegistry | kBus | kPlugins);
    EXPECT_EQ(ParseTraceChannels("all") & (kCom | kRegistry | kBus | kPlugins), kCom | kRegistry | kBus | kPlugins);
    std::string unknown;
    EXPECT_EQ(ParseTraceChannels("COM,bus,,regstry", &unknown), kBus) << "names are exact";
    EXPECT_EQ(unknown, "\"COM\", \"regstry\"");
}

TEST_F(TraceChannels, AClassNotRegisteredIsTracedWithWhereItWasLookedFor)
{
    CLSID clsid{};
    ComPtr<IUnknown> object;
    SetTraceChannels(kCom);
    EXPECT_EQ(CLSIDFromProgID(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
    const CLSID unknownClass{0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(CreateInstance(unknownClass, CLSCTX_INPROC_SERVER, object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(log.Count("debug com: CLSIDFromProgID No.Such.Class -> "), 1) << log.Text();
    EXPECT_EQ(log.Count("debug com: CoGetClassObject {12345678-1234-1234-0102-030405060708} context 1 via no "
                        "registration (HKCR\\CLSID\\{12345678-1234-1234-0102-030405060708})"),
              1)
        << log.Text();
    EXPECT_EQ(log.Count("debug registry:"), 0) << "only the channels asked for";

    log.Clear();
    SetTraceChannels(0);
    EXPECT_EQ(CLSIDFromProgID(u"No.Such.Class", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(log.Text(), "");
}

TEST_F(TraceChannels, RegistryOpensCreatesAndWritesAreTraced)
{
    SetTraceChannels(kRegistry);
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\TraceTest"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword("Answer", 42), ERROR_SUCCESS);
    RegKey missing;
    EXPECT_EQ(missing.Open(HKEY_CURRENT_USER, "Software\\NotThere"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(log.Count("debug registry: create "), 1) << log.Text();
    EXPECT_EQ(log.Count("TraceTest|Answer -> ok (0)"), 1) << log.Text();
    EXPECT_EQ(log.Count("NotThere -> not found (2)"), 1) << log.Text();
}

TEST(TraceEnvironment, PixteraDebugTurnsChannelsOnInAProgramAndNamesAMisspelling)
{
    std::string output;
    const auto reg = (test::ProgramDirectory() / "pixtera-reg").string();
    EXPECT_EQ(test::RunProgram({"/usr/bin/env", "PIXTERA_DEBUG=registry,comm", reg, "query", "HKCU\\Software\\Nothing"},
                               &output),
              1);
    EXPECT_NE(output.find("PIXTERA_DEBUG: no channel \"comm\""), std::string::npos) << output;
    EXPECT_NE(output.find("debug registry: open "), std::string::npos) << output;
    EXPECT_EQ(test::RunProgram({reg, "query", "HKCU\\Software\\Nothing"}, &output), 1);
    EXPECT_EQ(output.find("debug "), std::string::npos) << "off without PIXTERA_DEBUG: " << output;
}

} // namespace
