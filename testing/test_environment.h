// SPDX-License-Identifier: MIT
#pragma once
// Every test process runs in a private temporary directory: its own registry, runtime
// directory (locks) and XDG directories, so tests never touch the user's.

#include <chrono>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace pixtera::test {

// The temporary directory of this test process.
std::filesystem::path TestDirectory();
// Where the test build puts its plug-in modules, and where the programs are.
std::filesystem::path TestModuleDirectory();
std::filesystem::path ProgramDirectory();

// The whole content of a file ("" when it cannot be read), and its lines.
std::string FileText(const std::filesystem::path& path);
std::vector<std::string> FileLines(const std::filesystem::path& path);

// Runs a shell-free command (argv) and returns its exit status, with its standard output and
// error in `output`.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr);

// Loads a test module (by file name, from TestModuleDirectory) and calls its DllRegisterServer;
// true on success.
bool RegisterTestModule(const std::string& fileName);
// The same for a module at a full path (a shipped plug-in, for instance).
bool RegisterModule(const std::filesystem::path& module);

// Polls the condition every millisecond until it holds or `limit` passed; for effects of other
// threads and processes. Its last answer.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(10));

// Every key and value of HKEY_CLASSES_ROOT, one line each: "HKCR\Key" or "HKCR\Key|name=text"
// (text values without their terminating NUL).
std::set<std::string> ClassesRootLines();

} // namespace pixtera::test
