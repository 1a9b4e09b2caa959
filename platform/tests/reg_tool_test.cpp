// SPDX-License-Identifier: MIT
#include "reg_command.h"
#include "test_environment.h"

#include <pixtera/platform/registry.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Reg(std::vector<std::string> arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = pixtera::RunRegCommand(arguments, out, err);
    return {code, out.str(), err.str()};
}

TEST(RegTool, AddQueryExportAndDeleteValues)
{
    EXPECT_EQ(Reg({"add", "HKLM\\Software\\pixtera2.0", "/v", "stats", "/t", "REG_DWORD", "/d", "0x10"}).code, 0);
    EXPECT_EQ(Reg({"add", "HKLM\\Software\\pixtera2.0", "/ve", "/d", "default text"}).code, 0);
    EXPECT_EQ(Reg({"add", "HKLM\\Software\\pixtera2.0", "-v", "blob", "-t", "reg_binary", "-d", "00ff"}).code, 0);
    EXPECT_EQ(Reg({"add", "HKLM\\Software\\pixtera2.0\\Child"}).code, 0);

    pixtera::RegKey key;
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryDword("stats"), 16u);
    EXPECT_EQ(key.QueryString(""), "default text");

    const auto query = Reg({"query", "HKEY_LOCAL_MACHINE\\Software\\pixtera2.0"});
    EXPECT_EQ(query.code, 0);
    EXPECT_NE(query.out.find("stats    REG_DWORD    0x10"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("(Default)    REG_SZ    default text"), std::string::npos) << query.out;
    EXPECT_NE(query.out.find("HKEY_LOCAL_MACHINE\\Software\\pixtera2.0\\Child"), std::string::npos) << query.out;

    const auto exported = Reg({"export", "HKLM\\Software"});
    EXPECT_EQ(exported.code, 0);
    EXPECT_NE(
        exported.out.find("[HKEY_LOCAL_MACHINE\\Software\\pixtera2.0]\n\"stats\"=dword:00000010\n@=\"default text\"\n"
                          "\"blob\"=hex:00,ff\n"),
        std::string::npos)
        << exported.out;

    EXPECT_EQ(Reg({"delete", "HKLM\\Software\\pixtera2.0", "/v", "stats"}).code, 0);
    EXPECT_FALSE(key.HasValue("stats"));
    EXPECT_EQ(Reg({"delete", "HKLM\\Software\\pixtera2.0"}).code, 0);
    EXPECT_EQ(Reg({"query", "HKLM\\Software\\pixtera2.0"}).code, 1);
}

TEST(RegTool, BadCommandLinesAreUsageErrorsAndChangeNothing)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"add"},
        {"add", "HKXX\\Key", "/v", "a"},
        {"add", "HKCU\\Key", "/v"},
        {"add", "HKCU\\Key", "/v", "n", "/t", "REG_DWORD", "/d", "12x"},
        {"add", "HKCU\\Key", "/v", "n", "/t", "REG_DWORD", "/d", "4294967296"},
        {"add", "HKCU\\Key", "/v", "n", "/t", "REG_BINARY", "/d", "abc"},
        {"add", "HKCU\\Key", "/v", "n", "/t", "REG_MULTI_SZ", "/d", "x"},
        {"add", "HKCU\\Key", "/d", "no value name"},
        {"add", "HKCU\\Key", "/v", "a", "/v", "b"},
        {"delete", "HKCU"},
        {"export"},
        {"query", "HKEY_SOMEWHERE\\Key"},
        {"export", "Software\\Pixtera2.0"},
        {"delete", "HKXX\\Key", "/v", "a"},
    };
    for (const auto& arguments : bad) {
        const auto result = Reg(arguments);
        EXPECT_EQ(result.code, 2) << "a key with an unknown root is a wrong command line too: "
                                  << (arguments.empty()
                                          ? "(none)"
                                          : arguments[0] + " " + (arguments.size() > 1 ? arguments[1] : ""));
        EXPECT_FALSE(result.err.empty());
    }
    pixtera::RegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Key"), ERROR_FILE_NOT_FOUND) << "no half-done add";
}

TEST(RegTool, HelpAndVersionAnswer)
{
    EXPECT_EQ(Reg({"--version"}).out, "pixtera-reg " PIXTERA_VERSION "\n");
    for (const char* asking : {"--help", "-h", "/?", "help"}) {
        const auto result = Reg({asking});
        EXPECT_EQ(result.code, 0) << asking;
        EXPECT_NE(result.out.find("usage: pixtera-reg"), std::string::npos) << asking;
    }
}

TEST(RegTool, MissingKeysAreReportedNotCreated)
{
    const auto result = Reg({"query", "HKCR\\No\\Such"});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("does not exist"), std::string::npos);
    EXPECT_EQ(Reg({"delete", "HKCR\\No\\Such"}).code, 1);
}

TEST(RegTool, APathTheSystemRefusesIsNoModule)
{
    // Found by the fuzzer: a path too long for the system made the check throw.
    const auto result = Reg({"Register", std::string(5000, 'a')});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find("no such module"), std::string::npos) << result.err;
}

TEST(RegTool, RegisterReportsAModuleWithoutTheEntryPoint)
{
    const auto module = (pixtera::test::TestModuleDirectory() / "test-module-without-entry.so").string();
    std::string output;
    const int code = pixtera::test::RunProgram(
        {(pixtera::test::ProgramDirectory() / "pixtera-reg").string(), "register", module}, &output);
    EXPECT_EQ(code, 1);
    EXPECT_NE(output.find("has no DllRegisterServer"), std::string::npos) << output;
    EXPECT_EQ(pixtera::test::RunProgram(
                  {(pixtera::test::ProgramDirectory() / "pixtera-reg").string(), "register", "/no/such.so"}, &output),
              1);
}

} // namespace

namespace {

// The machine layer, written by the program as a package's install step would.
int MachineReg(const std::vector<std::string>& arguments, std::string* output = nullptr)
{
    std::vector<std::string> argv{(pixtera::test::ProgramDirectory() / "pixtera-reg").string(), "--machine"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return pixtera::test::RunProgram(argv, output);
}

TEST(RegTool, TheMachineLayerIsReadUnderTheUsersStoreAndNeverWrittenByIt)
{
    ASSERT_EQ(MachineReg({"add", "HKCR\\Packaged.Plugin\\CLSID", "/ve", "/d", "{machine}"}), 0);
    ASSERT_EQ(MachineReg({"add", "HKCR\\Packaged.Plugin", "/v", "Shared", "/d", "machine"}), 0);
    ASSERT_EQ(MachineReg({"add", "HKCR\\Both", "/v", "Who", "/d", "machine"}), 0);
    ASSERT_EQ(Reg({"add", "HKCR\\Both", "/v", "Who", "/d", "user"}).code, 0);
    ASSERT_EQ(Reg({"add", "HKCR\\Mine"}).code, 0);

    pixtera::RegKey key;
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Packaged.Plugin\\CLSID"), ERROR_SUCCESS)
        << "a user with no key of their own";
    EXPECT_EQ(key.QueryString(""), "{machine}");
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Both"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString("Who"), "user") << "the user's own value wins";
    pixtera::RegKey root;
    ASSERT_EQ(root.Open(HKEY_CLASSES_ROOT, ""), ERROR_SUCCESS);
    EXPECT_EQ(root.SubKeys(), (std::vector<std::string>{"Both", "Mine", "Packaged.Plugin"})) << "one list, no doubles";

    // Writing to a key of the machine layer gives the user a key of their own.
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Packaged.Plugin", KEY_ALL_ACCESS), ERROR_SUCCESS);
    EXPECT_EQ(key.SetString("Shared", "user"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString("Shared"), "user");
    EXPECT_EQ(Reg({"delete", "HKCR\\Packaged.Plugin\\CLSID"}).code, 1)
        << "the machine layer's keys are not the user's to delete";
    std::string machine;
    ASSERT_EQ(MachineReg({"query", "HKCR\\Packaged.Plugin"}, &machine), 0);
    EXPECT_NE(machine.find("Shared    REG_SZ    machine"), std::string::npos) << machine;

    // Taking it out of the machine layer leaves the user's keys alone.
    ASSERT_EQ(MachineReg({"delete", "HKCR\\Both"}), 0);
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Both"), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString("Who"), "user");
    ASSERT_EQ(MachineReg({"delete", "HKCR\\Packaged.Plugin"}), 0);
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Packaged.Plugin\\CLSID"), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(key.Open(HKEY_CLASSES_ROOT, "Packaged.Plugin"), ERROR_SUCCESS) << "the user's own copy stays";
    EXPECT_EQ(key.QueryString("Shared"), "user");
}

} // namespace
