// SPDX-License-Identifier: MIT
// A plug-in module built against the SDK alone, registered, created by ProgID and called
// through a C-style view of its vtable: the slot order is the binary contract.

#include "call_log.h"
#include "test_environment.h"

#include <pixtera/platform/com.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <regex>

namespace {

using namespace pixtera;

// IDisplayDriver as a C caller sees it: slot n is the n-th function pointer, `this` first.
struct DisplayDriverVtbl {
    HRESULT (*QueryInterface)(void*, const IID*, void**);
    ULONG (*AddRef)(void*);
    ULONG (*Release)(void*);
    HRESULT (*GetColumns)(void*, LONG*);
    HRESULT (*GetPixelHeight)(void*, LONG*);
    HRESULT (*GetPixelWidth)(void*, LONG*);
    HRESULT (*GetCharHeight)(void*, LONG*);
    HRESULT (*GetCharWidth)(void*, LONG*);
    HRESULT (*GetRows)(void*, LONG*);
    HRESULT (*SetBackground)(void*, BSTR);
    HRESULT (*Reserved)(void*);
    HRESULT (*SetCustomChar)(void*, LONG, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE, BYTE);
    HRESULT (*Write)(void*, BSTR);
    HRESULT (*LoaderQuery)(void*, LONG*);
};

const DisplayDriverVtbl& VtblOf(IDisplayDriver* driver) { return **reinterpret_cast<DisplayDriverVtbl**>(driver); }

std::string ModulePath() { return (test::TestModuleDirectory() / "test-recording-display.so").string(); }

HRESULT CallModule(const char* entry)
{
    HMODULE module = LoadLibraryA(ModulePath().c_str());
    if (!module)
        return CO_E_DLLNOTFOUND;
    auto function = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, entry));
    return function ? function() : CO_E_ERRORINDLL;
}

// The calls the driver recorded, without the thread suffix.
std::vector<std::string> Calls(IUnknown* object)
{
    ComPtr<ICallLog> log = ComPtr<IUnknown>(object).As<ICallLog>();
    BString text;
    EXPECT_EQ(log->GetCalls(text.Out()), S_OK);
    std::vector<std::string> lines;
    std::istringstream stream(text.utf8());
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line.substr(0, line.rfind(" @")));
    log->ClearCalls();
    return lines;
}

class PluginModule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CallModule("DllRegisterServer"), S_OK); }

    ComPtr<IDisplayDriver> Create()
    {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_RecordingDisplay);
        ComPtr<IDisplayDriver> driver;
        EXPECT_EQ(CreateInstance(clsid, CLSCTX_ALL, driver), S_OK);
        return driver;
    }
};

TEST_F(PluginModule, RegistrationWritesTheModulesAbsolutePath)
{
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(CLSID_RecordingDisplay) + "\\InprocServer32"),
              ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString(""), std::filesystem::canonical(ModulePath()).string());
}

TEST_F(PluginModule, EverySlotOfTheDisplayDriverIsWhereTheContractSaysItIs)
{
    auto driver = Create();
    ASSERT_TRUE(driver);
    auto info = driver.As<IPluginInfo>();
    ASSERT_TRUE(info);
    ASSERT_EQ(info->Configure(BString(std::string_view("columns=16;rows=2;cellwidth=6;cellheight=9")).get()), S_OK);
    Calls(driver.get());

    const auto& vtbl = VtblOf(driver.get());
    void* self = driver.get();
    LONG value = -1;
    EXPECT_EQ(vtbl.GetColumns(self, &value), S_OK);
    EXPECT_EQ(value, 16);
    EXPECT_EQ(vtbl.GetPixelHeight(self, &value), S_OK);
    EXPECT_EQ(value, 18);
    EXPECT_EQ(vtbl.GetPixelWidth(self, &value), S_OK);
    EXPECT_EQ(value, 96);
    EXPECT_EQ(vtbl.GetCharHeight(self, &value), S_OK);
    EXPECT_EQ(value, 9);
    EXPECT_EQ(vtbl.GetCharWidth(self, &value), S_OK);
    EXPECT_EQ(value, 6);
    EXPECT_EQ(vtbl.GetRows(self, &value), S_OK);
    EXPECT_EQ(value, 2);
    BString background(std::u16string_view(u"/img/bg.png"));
    EXPECT_EQ(vtbl.SetBackground(self, background.get()), S_OK);
    EXPECT_EQ(vtbl.Reserved(self), S_OK);
    EXPECT_EQ(vtbl.SetCustomChar(self, 3, 63, 63, 63, 63, 0, 0, 0, 0), S_OK);
    const char16_t frame[] = {u'H', u'i', 8, 0};
    BSTR frameText = SysAllocStringLen(frame, 4);
    EXPECT_EQ(vtbl.Write(self, frameText), S_OK);
    SysFreeString(frameText);
    EXPECT_EQ(vtbl.LoaderQuery(self, &value), S_OK);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(vtbl.AddRef(self), 3u) << "the test's two references and this one";
    EXPECT_EQ(vtbl.Release(self), 2u);
    void* same = nullptr;
    EXPECT_EQ(vtbl.QueryInterface(self, &IID_IDisplayDriver, &same), S_OK);
    EXPECT_EQ(same, self);
    vtbl.Release(self);

    EXPECT_EQ(Calls(driver.get()),
              (std::vector<std::string>{"GetColumns", "GetPixelHeight", "GetPixelWidth", "GetCharHeight",
                                        "GetCharWidth", "GetRows", "SetBackground /img/bg.png", "Reserved",
                                        "SetCustomChar 3 63 63 63 63 0 0 0 0", "Write Hi\\x08\\x00", "LoaderQuery"}));
}

TEST_F(PluginModule, StringsAllocatedByThePluginAreFreedByTheHost)
{
    auto info = Create().As<IPluginInfo>();
    ASSERT_TRUE(info);
    BSTR name = reinterpret_cast<BSTR>(0x1); // poisoned: the callee must write it
    ASSERT_EQ(info->GetPluginName(&name), S_OK);
    EXPECT_EQ(BstrView(name), u"Recording display");
    SysFreeString(name); // a mismatched allocator would fault here under AddressSanitizer
    EXPECT_EQ(info->GetPluginName(nullptr), E_POINTER);
}

TEST_F(PluginModule, ModuleReportsWhetherItCanUnload)
{
    HMODULE module = LoadLibraryA(ModulePath().c_str());
    auto canUnload = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    {
        auto driver = Create();
        EXPECT_EQ(canUnload(), S_FALSE);
    }
    EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(PluginModule, UnregistrationRemovesTheClassButKeepsTheParent)
{
    ASSERT_EQ(CallModule("DllUnregisterServer"), S_OK);
    RegKey key;
    EXPECT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    EXPECT_TRUE(key.SubKeys().empty());
    EXPECT_EQ(key.Open(HKEY_CLASSES_ROOT, "PixteraTest.RecordingDisplay"), ERROR_FILE_NOT_FOUND);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), CO_E_CLASSSTRING);
}

TEST_F(PluginModule, RegistrationThroughTheCommandLineTool)
{
    ASSERT_EQ(CallModule("DllUnregisterServer"), S_OK);
    std::string output;
    const auto tool = (test::ProgramDirectory() / "pixtera-reg").string();
    ASSERT_EQ(test::RunProgram({tool, "register", ModulePath()}, &output), 0) << output;
    EXPECT_TRUE(Create());
    ASSERT_EQ(test::RunProgram({tool, "unregister", ModulePath()}, &output), 0) << output;
    RegKey key;
    EXPECT_EQ(key.Open(HKEY_CLASSES_ROOT, "PixteraTest.RecordingDisplay"), ERROR_FILE_NOT_FOUND);
}

} // namespace
