// SPDX-License-Identifier: MIT
#include <pixtera/platform/com.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/registry.h>

#include "captured_log.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace {

using namespace pixtera;

constexpr CLSID kUnregistered{0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};
constexpr IID IID_ICounter{0x5B0F4B8C, 0x1C62, 0x4B5C, {0x8E, 0x1A, 0x33, 0x2D, 0x5E, 0x6F, 0x70, 0x81}};

struct ICounter : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(LONG* value) = 0;
};

} // namespace

PIXTERA_DECLARE_INTERFACE(ICounter, IUnknown, IID_ICounter);

namespace {

class Counter final : public ComObject<Counter, ICounter> {
public:
    HRESULT STDMETHODCALLTYPE Next(LONG* value) override
    {
        if (!value)
            return E_POINTER;
        *value = ++count_;
        return S_OK;
    }

private:
    LONG count_ = 0;
};

void RegisterInproc(const CLSID& clsid, const std::string& module)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(clsid) + "\\InprocServer32"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", module), ERROR_SUCCESS);
}

TEST(ComObject, QueryInterfaceFindsListedInterfacesAndClearsOnFailure)
{
    auto counter = MakeComObject<Counter>();
    void* found = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(counter->QueryInterface(IID_IDispatch, &found), E_NOINTERFACE);
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(counter->QueryInterface(IID_ICounter, nullptr), E_POINTER);

    auto unknown = counter.As<IUnknown>();
    ASSERT_TRUE(unknown);
    auto again = unknown.As<ICounter>();
    ASSERT_TRUE(again);
    LONG value = 0;
    ASSERT_EQ(again->Next(&value), S_OK);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(again->AddRef(), 4u) << "counter, unknown, again and this one";
    again->Release();
}

TEST(ComObject, ModuleCountsLiveObjects)
{
    const bool before = ModuleInUse();
    {
        auto counter = MakeComObject<Counter>();
        EXPECT_TRUE(ModuleInUse());
    }
    EXPECT_EQ(ModuleInUse(), before);
}

TEST(ComRuntime, RegisteredClassObjectsComeBeforeTheRegistry)
{
    auto factory = MakeComObject<ClassFactory<Counter>>();
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kUnregistered, factory.get(), CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie),
              S_OK);
    ComPtr<ICounter> counter;
    EXPECT_EQ(CreateInstance(kUnregistered, CLSCTX_INPROC_SERVER, counter), REGDB_E_CLASSNOTREG)
        << "registered for local-server use only";
    ASSERT_EQ(CreateInstance(kUnregistered, CLSCTX_ALL, counter), S_OK);
    ASSERT_TRUE(counter);

    ComPtr<IUnknown> aggregated;
    EXPECT_EQ(CoCreateInstance(kUnregistered, counter.get(), CLSCTX_ALL, IID_IUnknown, aggregated.OutVoid()),
              CLASS_E_NOAGGREGATION);

    ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
    EXPECT_EQ(CreateInstance(kUnregistered, CLSCTX_ALL, counter), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(counter) << "the out-parameter is cleared";
}

TEST(ComRuntime, UnknownProgIdsAndClassesFailClearly)
{
    CLSID clsid = kUnregistered;
    EXPECT_EQ(CLSIDFromProgID(u"Nobody.Here", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(clsid, GUID_NULL);
    EXPECT_EQ(CLSIDFromProgID(u"", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(u"CLSID\\{x}", &clsid), CO_E_CLASSSTRING) << "a ProgID is one key name";
    EXPECT_EQ(CLSIDFromProgID(nullptr, &clsid), E_INVALIDARG);

    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_ALL, IID_IUnknown, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
}

TEST(ComRuntime, ProgIdFollowsCurVer)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "Sample.Thing\\CurVer"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", "Sample.Thing.2"), ERROR_SUCCESS);
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "Sample.Thing.2\\CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", FormatGuid(kUnregistered)), ERROR_SUCCESS);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"Sample.Thing", &clsid), S_OK);
    EXPECT_EQ(clsid, kUnregistered);

    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "Broken.Thing\\CLSID"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", "not a guid"), ERROR_SUCCESS);
    EXPECT_EQ(CLSIDFromProgID(u"Broken.Thing", &clsid), CO_E_CLASSSTRING);
}

TEST(ComRuntime, ModuleWithoutClassObjectExportIsAnErrorInTheModule)
{
    RegisterInproc(kUnregistered, (test::TestModuleDirectory() / "test-module-without-entry.so").string());
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_ERRORINDLL);
    EXPECT_EQ(object, nullptr);
}

TEST(ComRuntime, AModuleOfAnotherAbiIsRefusedBeforeItIsCalledAndSaysBothVersions)
{
    test::CapturedLog captured;
    RegisterInproc(kUnregistered, (test::TestModuleDirectory() / "test-module-other-abi.so").string());
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_ERRORINDLL);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_ERRORINDLL);
    const auto log = captured.Lines();
    ASSERT_EQ(log.size(), 1u) << "said once";
    EXPECT_NE(log[0].find("built for module ABI version 1; this Pixtera has version 2"), std::string::npos) << log[0];
}

TEST(ComRuntime, MissingModuleFileIsReported)
{
    RegisterInproc(kUnregistered, "/nonexistent/module.so");
    void* object = nullptr;
    EXPECT_EQ(CoCreateInstance(kUnregistered, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, &object), CO_E_DLLNOTFOUND);
}

TEST(ComRuntime, LocalServerClassesGoThroughTheActivator)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\" + FormatGuid(kUnregistered) + "\\LocalServer32"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", "/usr/bin/false"), ERROR_SUCCESS);
    ComPtr<ICounter> counter;
    EXPECT_EQ(CreateInstance(kUnregistered, CLSCTX_ALL, counter), CO_E_SERVER_EXEC_FAILURE);

    SetLocalServerActivator([](REFCLSID, REFIID riid, void** object) {
        return MakeComObject<ClassFactory<Counter>>()->QueryInterface(riid, object);
    });
    EXPECT_EQ(CreateInstance(kUnregistered, CLSCTX_ALL, counter), S_OK);
    EXPECT_EQ(CreateInstance(kUnregistered, CLSCTX_INPROC_SERVER, counter), REGDB_E_CLASSNOTREG);
    SetLocalServerActivator(nullptr);
}

TEST(ComRuntime, ApartmentsCountAndRejectAModeChange)
{
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
}

TEST(Modules, GetModuleHandleNeverLoads)
{
    // A private copy, so that no other test of this process has loaded it.
    const auto path = (test::TestDirectory() / "private-module.so").string();
    std::filesystem::copy_file(test::TestModuleDirectory() / "test-module-without-entry.so", path);
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
    HMODULE loaded = LoadLibraryA(path.c_str());
    ASSERT_NE(loaded, nullptr) << LastModuleError();
    EXPECT_EQ(GetModuleHandleA(path.c_str()), loaded);
    using Answer = int (*)();
    auto answer = reinterpret_cast<Answer>(GetProcAddress(loaded, "PixteraTestModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(GetProcAddress(loaded, "DllGetClassObject"), nullptr);

    char name[512];
    ASSERT_GT(GetModuleFileNameA(loaded, name, sizeof name), 0u);
    EXPECT_EQ(std::string(name), path);
    EXPECT_TRUE(FreeLibrary(loaded));
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "GetModuleHandle took no reference";
}

TEST(Modules, ThisModulesPathIsTheTestProgram)
{
    EXPECT_EQ(PIXTERA_THIS_MODULE_PATH(), ExecutablePath());
    EXPECT_EQ(LoadLibraryA("/nonexistent.so"), nullptr);
    EXPECT_FALSE(LastModuleError().empty());
}

} // namespace
