// SPDX-License-Identifier: MIT
#include <pixtera/platform/registry.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace {

using pixtera::RegKey;

TEST(Registry, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("Stats", "on"), ERROR_SUCCESS);

    RegKey same;
    ASSERT_EQ(same.Open(HKEY_LOCAL_MACHINE, "software\\PIXTERA2.0", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(same.QueryString("STATS"), "on");
    ASSERT_EQ(same.SetString("stats", "off"), ERROR_SUCCESS);

    RegKey software;
    ASSERT_EQ(software.Open(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_SUCCESS);
    EXPECT_EQ(software.SubKeys(), std::vector<std::string>{"Pixtera2.0"});
    const auto values = key.Values();
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, "Stats");
    EXPECT_EQ(key.QueryString("stats"), "off");
}

TEST(Registry, ValuesKeepTheirTypes)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Typed"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetDword("number", 7), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("text", "7"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("bytes", REG_BINARY, {0, 1, 2}), ERROR_SUCCESS);
    ASSERT_EQ(key.SetValue("empty", REG_BINARY, {}), ERROR_SUCCESS);

    EXPECT_EQ(key.QueryDword("number"), 7u);
    EXPECT_EQ(key.QueryDword("text"), std::nullopt) << "a text is not a number";
    EXPECT_EQ(key.QueryString("number"), std::nullopt) << "a number is not a text";
    EXPECT_EQ(key.QueryValue("bytes")->data, (std::vector<BYTE>{0, 1, 2}));
    EXPECT_EQ(key.QueryValue("empty")->type, REG_BINARY);
    EXPECT_TRUE(key.QueryValue("empty")->data.empty());
}

TEST(Registry, QueryValueReportsTheNeededSize)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Sized"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", "Manager Class"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 14u);
    char small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key.get(), "", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);
    char buffer[32];
    size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key.get(), "", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "Manager Class");
}

TEST(Registry, DeleteTreeRemovesTheWholeSubtreeAndNothingBeside)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\{A}\\InprocServer32"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("", "/a.so"), ERROR_SUCCESS);
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\{A}\\Programmable"), ERROR_SUCCESS);
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\{A}x"), ERROR_SUCCESS) << "a sibling sharing the prefix";
    ASSERT_EQ(key.Create(HKEY_CLASSES_ROOT, "CLSID\\{B}"), ERROR_SUCCESS);

    EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, "CLSID\\{A}"), ERROR_ACCESS_DENIED) << "it has subkeys";
    ASSERT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "clsid\\{a}"), ERROR_SUCCESS);

    RegKey probe;
    EXPECT_EQ(probe.Open(HKEY_CLASSES_ROOT, "CLSID\\{A}"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(probe.Open(HKEY_CLASSES_ROOT, "CLSID\\{A}\\InprocServer32"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(probe.Open(HKEY_CLASSES_ROOT, "CLSID"), ERROR_SUCCESS);
    EXPECT_EQ(probe.SubKeys(), (std::vector<std::string>{"{A}x", "{B}"}));
    EXPECT_EQ(RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{A}"), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, DeleteTreeWithoutSubkeyEmptiesTheKey)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Emptied\\Child"), ERROR_SUCCESS);
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Emptied", KEY_ALL_ACCESS), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("v", "x"), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeA(key.get(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(key.SubKeys().empty());
    EXPECT_TRUE(key.Values().empty());
    RegKey still;
    EXPECT_EQ(still.Open(HKEY_CURRENT_USER, "Emptied"), ERROR_SUCCESS);
}

TEST(Registry, BadInputGetsAnErrorAndChangesNothing)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "No\\Such\\Key", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr) << "the out-parameter is cleared";
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\Leading", 0, KEY_READ, &key), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "a\\\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegOpenKeyExA(reinterpret_cast<HKEY>(12345), "x", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(12345)), ERROR_INVALID_HANDLE);

    RegKey readOnly;
    ASSERT_EQ(readOnly.Create(HKEY_CURRENT_USER, "ReadOnly"), ERROR_SUCCESS);
    ASSERT_EQ(readOnly.Open(HKEY_CURRENT_USER, "ReadOnly", KEY_READ), ERROR_SUCCESS);
    EXPECT_EQ(readOnly.SetString("v", "x"), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(readOnly.HasValue("v"));
    EXPECT_EQ(readOnly.DeleteValue("missing"), ERROR_ACCESS_DENIED);

    RegKey writable;
    ASSERT_EQ(writable.Open(HKEY_CURRENT_USER, "ReadOnly", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(writable.DeleteValue("missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS) << "emptying a root is allowed";
}

TEST(Registry, EnumerationStopsWithNoMoreItems)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Enum\\b"), ERROR_SUCCESS);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Enum\\A"), ERROR_SUCCESS);
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Enum"), ERROR_SUCCESS);
    char name[8];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "A");
    EXPECT_EQ(length, 1u);
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyExA(key.get(), 1, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "b");
    length = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key.get(), 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 150;
    {
        RegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Concurrent"), ERROR_SUCCESS);
    }
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                RegKey key;
                const std::string sub = "Concurrent\\p" + std::to_string(child) + "\\k" + std::to_string(i);
                failures += key.Create(HKEY_CURRENT_USER, sub) != ERROR_SUCCESS;
                failures += key.SetDword("n", static_cast<DWORD>(i)) != ERROR_SUCCESS;
            }
            _exit(failures == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int child = 0; child < 2; ++child) {
        RegKey parent;
        ASSERT_EQ(parent.Open(HKEY_CURRENT_USER, "Concurrent\\p" + std::to_string(child)), ERROR_SUCCESS);
        EXPECT_EQ(parent.SubKeys().size(), static_cast<std::size_t>(kWrites));
        RegKey last;
        ASSERT_EQ(last.Open(parent.get(), "k" + std::to_string(kWrites - 1)), ERROR_SUCCESS);
        EXPECT_EQ(last.QueryDword("n"), static_cast<DWORD>(kWrites - 1));
    }
}

TEST(Registry, ParsesRootNamesOfTheCommandLine)
{
    EXPECT_EQ(pixtera::ParseRegistryPath("HKCR\\CLSID")->first, HKEY_CLASSES_ROOT);
    EXPECT_EQ(pixtera::ParseRegistryPath("hkey_local_machine\\Software")->second, "Software");
    EXPECT_EQ(pixtera::ParseRegistryPath("HKCU")->second, "");
    EXPECT_FALSE(pixtera::ParseRegistryPath("HKXX\\a"));
}

} // namespace

#include <sqlite3.h>

namespace {

TEST(Registry, AWriteWaitsForAnotherProcessThatHoldsTheFileLocked)
{
    {
        pixtera::RegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Locked"), ERROR_SUCCESS);
    }
    int locked[2];
    ASSERT_EQ(pipe(locked), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(pixtera::RegistryPath().c_str(), &db);
        const bool ok = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        const char answer = ok ? 'y' : 'n';
        (void)!write(locked[1], &answer, 1);
        sleep(2); // several seconds of another process holding the registry
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(locked[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    pixtera::RegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, "Locked", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString("after", "the lock"), ERROR_SUCCESS) << "the write waited instead of failing";
    waitpid(holder, nullptr, 0);
    EXPECT_EQ(key.QueryString("after"), "the lock");
}

} // namespace

namespace {

TEST(RegistryFiles, AUsersRegistryIsReadableByNobodyElse)
{
    RegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, "Software\\Private"), ERROR_SUCCESS);
    ASSERT_EQ(key.SetString("value", "secret"), ERROR_SUCCESS);
    const std::string path = std::getenv("PIXTERA_REGISTRY");
    for (const char* file : {"", "-wal", "-shm"}) {
        struct stat info {};
        ASSERT_EQ(stat((path + file).c_str(), &info), 0) << path << file;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << path << file;
    }
}

} // namespace
