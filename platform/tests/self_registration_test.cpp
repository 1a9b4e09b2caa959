// SPDX-License-Identifier: MIT
#include <pixtera/platform/self_registration.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;

RegistrationScript SampleScript()
{
    return {
        .entries = {{"AppID\\{APP}", "", "Sample"},
                    {"AppID\\Sample.DLL", "AppID", "{APP}"},
                    {"Sample.Class.1", "", "Sample Class"},
                    {"Sample.Class.1\\CLSID", "", "{CLS}"},
                    {"CLSID\\{CLS}", "", "Sample Class"},
                    {"CLSID\\{CLS}\\Programmable", "", "", true},
                    {"CLSID\\{CLS}\\InprocServer32", "", "%MODULE%"},
                    {"CLSID\\{CLS}\\InprocServer32", "ThreadingModel", "Apartment"}},
        .recreateKeys = {"CLSID\\{CLS}"},
        .sharedParents = {"AppID", "CLSID"},
    };
}

const Substitutions kModule{{"MODULE", "/opt/sample.so"}};

TEST(SelfRegistration, WritesEveryEntryWithSubstitutions)
{
    ASSERT_EQ(RegisterScript(SampleScript(), kModule), S_OK);
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID\\{CLS}\\InprocServer32"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString(""), "/opt/sample.so");
    EXPECT_EQ(key.QueryString("ThreadingModel"), "Apartment");
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID\\{CLS}\\Programmable"), ERROR_SUCCESS);
    EXPECT_TRUE(key.Values().empty()) << "an empty key has no value";
}

TEST(SelfRegistration, RecreatedKeysLoseOldContent)
{
    RegKey stale;
    ASSERT_EQ(stale.Create(HKEY_CLASSES_ROOT, "CLSID\\{CLS}\\Stale"), ERROR_SUCCESS);
    ASSERT_EQ(RegisterScript(SampleScript(), kModule), S_OK);
    ASSERT_EQ(RegisterScript(SampleScript(), kModule), S_OK);
    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID\\{CLS}"), ERROR_SUCCESS);
    EXPECT_EQ(key.SubKeys(), (std::vector<std::string>{"InprocServer32", "Programmable"}));
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Sample.Class.1"), ERROR_SUCCESS);
    EXPECT_EQ(key.Values().size(), 1u);
}

TEST(SelfRegistration, UnregistrationKeepsSharedParentsAndOtherEntries)
{
    RegKey other;
    ASSERT_EQ(other.Create(HKEY_CLASSES_ROOT, "CLSID\\{OTHER}"), ERROR_SUCCESS);
    ASSERT_EQ(RegisterScript(SampleScript(), kModule), S_OK);
    ASSERT_EQ(UnregisterScript(SampleScript(), kModule), S_OK);

    RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    EXPECT_EQ(key.SubKeys(), std::vector<std::string>{"{OTHER}"});
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "AppID"), ERROR_SUCCESS);
    EXPECT_TRUE(key.SubKeys().empty());
    EXPECT_EQ(key.Open(HKEY_CLASSES_ROOT, "Sample.Class.1"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(UnregisterScript(SampleScript(), kModule), S_OK) << "unregistering twice is harmless";
}

TEST(SelfRegistration, SubstitutesOnlyKnownNames)
{
    EXPECT_EQ(Substitute("%MODULE%", kModule), "/opt/sample.so");
    EXPECT_EQ(Substitute("100% sure %MODULE%", kModule), "100% sure /opt/sample.so");
    EXPECT_EQ(Substitute("%OTHER%", kModule), "%OTHER%");
    EXPECT_EQ(Substitute("50%", kModule), "50%");
}

} // namespace
