// SPDX-License-Identifier: MIT
#include "test_environment.h"

#include <pixtera/platform/hresult.h>
#include <pixtera/platform/module.h>
#include <pixtera/platform/registry.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace pixtera::test {
namespace {

std::filesystem::path& Directory()
{
    static std::filesystem::path directory;
    return directory;
}

class IsolatedEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/pixtera-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        if (!made)
            throw std::runtime_error("cannot create a temporary directory");
        Directory() = made;
        const auto& dir = Directory();
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::replace);
        setenv("PIXTERA_REGISTRY", (dir / "registry.db").c_str(), 1);
        setenv("PIXTERA_MACHINE_REGISTRY", (dir / "machine-registry.db").c_str(), 1); // never the real one
        // Nor the real system bus: a test that wants one starts its own.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir / "no-system-bus").string()).c_str(), 1);
        setenv("PIXTERA_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        setenv("XDG_STATE_HOME", (dir / "state").c_str(), 1);
    }

    void TearDown() override
    {
        std::error_code ec;
        if (!std::getenv("PIXTERA_KEEP_TEST_DIRECTORY"))
            std::filesystem::remove_all(Directory(), ec);
    }
};

} // namespace

std::filesystem::path TestDirectory() { return Directory(); }

std::string FileText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::vector<std::string> FileLines(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}
std::filesystem::path TestModuleDirectory() { return PIXTERA_TEST_MODULE_DIR; }
std::filesystem::path ProgramDirectory() { return PIXTERA_BIN_DIR; }

int RunProgram(const std::vector<std::string>& argv, std::string* output)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    std::string collected;
    std::array<char, 4096> buffer;
    ssize_t n = 0;
    while ((n = read(pipeFds[0], buffer.data(), buffer.size())) > 0)
        collected.append(buffer.data(), static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (output)
        *output = collected;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool RegisterTestModule(const std::string& fileName) { return RegisterModule(TestModuleDirectory() / fileName); }

bool RegisterModule(const std::filesystem::path& path)
{
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module)
        return false;
    auto entry = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
    return entry && SUCCEEDED(entry());
}

namespace {
void Walk(const RegKey& key, const std::string& path, std::set<std::string>& lines)
{
    lines.insert(path);
    for (const auto& value : key.Values()) {
        std::string data(value.data.begin(), value.data.end());
        while (!data.empty() && data.back() == '\0')
            data.pop_back();
        lines.insert(path + "|" + value.name + "=" + data);
    }
    for (const auto& name : key.SubKeys()) {
        RegKey sub;
        sub.Open(key.get(), name);
        Walk(sub, path + "\\" + name, lines);
    }
}
} // namespace

std::set<std::string> ClassesRootLines()
{
    RegKey root;
    root.Open(HKEY_CLASSES_ROOT, "");
    std::set<std::string> lines;
    Walk(root, "HKCR", lines);
    return lines;
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

} // namespace pixtera::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new pixtera::test::IsolatedEnvironment());
    return RUN_ALL_TESTS();
}
