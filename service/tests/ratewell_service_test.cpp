// SPDX-License-Identifier: MIT
#include "configuration_loader.h"
#include "data_manager.h"
#include "display_manager.h"
#include "driver_manager.h"
#include "game_records.h"
#include "ratewell_ids.h"
#include "test_environment.h"

#include <pixtera/platform/module.h>
#include <pixtera/sdk/plugin_module.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <unistd.h>

namespace {

using namespace pixtera;

using SetFraps = void (*)(std::uint32_t, const char*, bool);

std::filesystem::path RatewellModule() { return test::ProgramDirectory() / "plugins" / "Ratewell.so"; }

HRESULT CallModule(const char* entry)
{
    HMODULE module = LoadLibraryA(RatewellModule().c_str());
    auto function = module ? reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, entry)) : nullptr;
    return function ? function() : E_FAIL;
}

class Ratewell : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("PIXTERA_FPS_DIR", test::TestDirectory().c_str(), 1); // no game of the machine's
        ASSERT_EQ(CallModule("DllRegisterServer"), S_OK);
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(u"Ratewell.DataProv", &clsid), S_OK);
        ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, provider), S_OK);
    }
    void TearDown() override
    {
        if (fraps)
            FreeLibrary(fraps);
    }

    // Loads the fake counter module, as the game process would have it.
    SetFraps LoadFraps()
    {
        fraps = LoadLibraryA((test::TestModuleDirectory() / "fake-fraps.so").c_str());
        EXPECT_NE(fraps, nullptr) << LastModuleError();
        return reinterpret_cast<SetFraps>(GetProcAddress(fraps, "FakeFrapsSet"));
    }

    std::u16string Text(LONG index)
    {
        Variant value;
        EXPECT_EQ(provider->GetValue(index, value.Out()), S_OK);
        return value.vt == VT_BSTR ? std::u16string(BstrView(value.bstrVal)) : u"(not text)";
    }

    ComPtr<IDataProvider> provider;
    HMODULE fraps = nullptr;
};

TEST_F(Ratewell, WithoutFrapsBothItemsSayItIsNotRunning)
{
    LONG value = 0;
    provider->GetCount(&value);
    EXPECT_EQ(value, 2);
    provider->GetUpdateMode(&value);
    EXPECT_EQ(value, 3);
    provider->GetInterval(&value);
    EXPECT_EQ(value, 1000);
    BString text;
    provider->GetName(0, text.Out());
    EXPECT_EQ(text.view(), u"Fraps_FPS");
    provider->GetDescription(1, text.Out());
    EXPECT_EQ(text.view(), u"Fraps\\Game name");
    EXPECT_EQ(Text(0), u"Fraps not running");
    EXPECT_EQ(Text(1), u"Fraps not running");
    EXPECT_EQ(Text(2), u"Fraps not running");
    EXPECT_EQ(GetModuleHandleA("FRAPS.DLL"), nullptr) << "the plug-in never loads the module";
}

TEST_F(Ratewell, WithFrapsItReadsTheFrameRateAndTheGame)
{
    const SetFraps set = LoadFraps();
    ASSERT_NE(set, nullptr);
    set(60, "abc", false);
    Variant fps;
    ASSERT_EQ(provider->GetValue(0, fps.Out()), S_OK);
    EXPECT_EQ(fps.vt, VT_R8);
    EXPECT_EQ(fps.dblVal, 60.0);
    EXPECT_EQ(Text(1), u"abc");
    set(0x80000001u, "Caf\xe9", false);
    ASSERT_EQ(provider->GetValue(0, fps.Out()), S_OK);
    EXPECT_EQ(fps.dblVal, 2147483649.0) << "the top bit does not make it negative";
    EXPECT_EQ(Text(1), u"Caf\u00e9") << "the name is in the display code page";
    Variant other;
    ASSERT_EQ(provider->GetValue(2, other.Out()), S_OK);
    EXPECT_EQ(other.vt, VT_EMPTY);
    set(60, "abc", true);
    EXPECT_EQ(Text(0), u"Fraps not running") << "no record, not connected";
}

TEST_F(Ratewell, WithoutFrapsItShowsTheGameThatPresentedLast)
{
    fps::RecordLayout record{};
    record.magic = fps::kRecordMagic;
    record.version = fps::kRecordVersion;
    record.size = sizeof record;
    record.pid = static_cast<std::uint32_t>(getpid());
    record.framesPerSecond = 144;
    record.lastPresentNs = fps::MonotonicNs();
    std::strcpy(record.name, "Caf\xc3\xa9 Racer"); // names are UTF-8
    const auto path = test::TestDirectory() / ("pixtera-fps-" + std::to_string(getpid()));
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(&record), sizeof record);
    Variant rate;
    ASSERT_EQ(provider->GetValue(0, rate.Out()), S_OK);
    EXPECT_EQ(rate.vt, VT_R8);
    EXPECT_EQ(rate.dblVal, 144.0);
    EXPECT_EQ(Text(1), u"Caf\u00e9 Racer");

    const SetFraps set = LoadFraps();
    ASSERT_NE(set, nullptr);
    set(60, "abc", false);
    EXPECT_EQ(Text(1), u"abc") << "the outside counter, when it is there, comes first";
    std::filesystem::remove(path);
}

TEST_F(Ratewell, AModuleThatWentAwayIsNotReadThrough)
{
    const SetFraps set = LoadFraps();
    set(75, "gone soon", false);
    ASSERT_EQ(provider->Refresh(), S_OK);
    ASSERT_EQ(Text(1), u"gone soon");
    ASSERT_TRUE(FreeLibrary(fraps));
    fraps = nullptr;
    EXPECT_EQ(GetModuleHandleA("FRAPS.DLL"), nullptr);
    EXPECT_EQ(Text(0), u"Fraps not running");
}

TEST_F(Ratewell, OtherIndicesLeaveTheOutputAlone)
{
    BSTR name = reinterpret_cast<BSTR>(0x1234);
    EXPECT_EQ(provider->GetName(5, &name), S_OK);
    EXPECT_EQ(name, reinterpret_cast<BSTR>(0x1234));
    EXPECT_EQ(provider->GetDescription(-1, &name), S_OK);
    EXPECT_EQ(name, reinterpret_cast<BSTR>(0x1234));
}

TEST_F(Ratewell, AnswersItsInterfacesButNotIDispatch)
{
    EXPECT_TRUE(provider.As<IDataProv>());
    EXPECT_TRUE(provider.As<IPluginInfo>());
    HRESULT hr = S_OK;
    EXPECT_FALSE(provider.As<IDispatch>(&hr));
    EXPECT_EQ(hr, E_NOINTERFACE);
    auto info = provider.As<IPluginInfo>();
    VARIANT_BOOL accepted = 0;
    info->EditConfiguration(&accepted);
    EXPECT_EQ(accepted, VARIANT_TRUE);
    BString text;
    info->GetPluginName(text.Out());
    EXPECT_EQ(text.view(), u"Fraps plugin");
    ASSERT_EQ(info->GetConfiguration(text.Out()), S_OK);
    EXPECT_NE(text.get(), nullptr);
    EXPECT_TRUE(text.empty());
}

std::set<std::string> ClassesRoot() { return test::ClassesRootLines(); }

TEST_F(Ratewell, RegistersExactlyItsKeysOnceAndLeavesTheParents)
{
    const auto once = ClassesRoot();
    ASSERT_EQ(CallModule("DllRegisterServer"), S_OK);
    EXPECT_EQ(ClassesRoot(), once);
    const std::string clsid = "HKCR\\CLSID\\" + FormatGuid(CLSID_DataProv);
    const std::string module = std::filesystem::canonical(RatewellModule()).string();
    for (const std::string& line :
         {"HKCR\\AppID\\" + FormatGuid(APPID_Ratewell) + "|=Ratewell",
          "HKCR\\AppID\\Ratewell.DLL|AppID=" + FormatGuid(APPID_Ratewell),
          std::string("HKCR\\Ratewell.DataProv\\CurVer|=Ratewell.DataProv.1"),
          clsid + "|AppID=" + FormatGuid(APPID_Ratewell), clsid + "\\Programmable",
          clsid + "\\InprocServer32|=" + module, clsid + "\\InprocServer32|ThreadingModel=Apartment",
          clsid + "\\TypeLib|=" + FormatGuid(LIBID_RatewellLib)})
        EXPECT_TRUE(once.count(line)) << line;

    ASSERT_EQ(CallModule("DllUnregisterServer"), S_OK);
    EXPECT_EQ(ClassesRoot(),
              (std::set<std::string>{"HKCR", "HKCR\\AppID", "HKCR\\CLSID", "HKCR\\Interface", "HKCR\\TypeLib"}));
}

TEST_F(Ratewell, TheServicePublishesItsItems)
{
    const auto path = test::TestDirectory() / "pixtera2.xml";
    std::ofstream(path) << R"(<PixteraConfiguration><drivers><driver clsid="Ratewell.DataProv">)"
                           R"(<data active="yes"/></driver></drivers></PixteraConfiguration>)";
    auto drivers = MakeComObject<DriverManager>();
    auto data = MakeComObject<DataManager>(drivers);
    auto displays = MakeComObject<DisplayManager>(DisplayRuntime{*data, SystemClock()});
    ASSERT_TRUE(LoadConfigurationFile(path, *drivers, *data, *displays));
    LONG count = 0;
    data->Count(&count);
    ASSERT_EQ(count, 2);
    BString name;
    data->Name(1, name.Out());
    EXPECT_EQ(name.view(), u"Fraps_FPS");
    data->Description(2, name.Out());
    EXPECT_EQ(name.view(), u"Fraps\\Game name");
    Variant value;
    ASSERT_EQ(data->Value(Variant::FromShort(2), value.Out()), S_OK);
    EXPECT_EQ(BstrView(value.bstrVal), u"Fraps not running") << "read directly, mode 3";
}

} // namespace
