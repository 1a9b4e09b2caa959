// SPDX-License-Identifier: MIT
#pragma once
// For the benchmarks that run the programs: a temporary directory with its own registry, runtime
// and XDG directories, a private session bus, and pixtera2 registered there with the plug-ins
// they name. Everything goes when the sandbox does.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace pixtera::bench {

namespace fs = std::filesystem;

// Starts a program with the current environment plus `extra` ("NAME=value"); its pid.
inline pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extra = {})
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> variables(extra);
    for (char** e = environ; *e; ++e)
        variables.emplace_back(*e);
    std::vector<char*> env;
    for (auto& v : variables)
        env.push_back(v.data());
    env.push_back(nullptr);
    pid_t child = 0;
    return posix_spawn(&child, args[0], nullptr, nullptr, args.data(), env.data()) == 0 ? child : -1;
}

// Runs a program to its end; its exit code, or -1.
inline int Run(const std::vector<std::string>& argv)
{
    const pid_t child = Spawn(argv);
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class Sandbox {
public:
    // Copies pixtera2 (and the other named programs) into bin/ and registers the plug-ins.
    Sandbox(const std::vector<std::string>& programs, const std::vector<std::string>& plugins)
    {
        char pattern[] = "/tmp/pixtera-bench-XXXXXX";
        dir_ = mkdtemp(pattern);
        setenv("PIXTERA_REGISTRY", (dir_ / "registry.db").c_str(), 1);
        setenv("PIXTERA_RUNTIME_DIR", (dir_ / "run").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
        StartBus();
        const fs::path built = PIXTERA_BIN_DIR;
        fs::create_directories(bin());
        fs::create_directory_symlink(built.parent_path() / "lib", dir_ / "lib");
        fs::copy_file(built / "pixtera2", bin() / "pixtera2");
        for (const auto& program : programs)
            fs::copy_file(built / program, bin() / program);
        Run({(bin() / "pixtera2").string(), "-RegServer"});
        for (const auto& plugin : plugins)
            Run({(built / "pixtera-reg").string(), "register", (built / "plugins" / (plugin + ".so")).string()});
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    ~Sandbox()
    {
        kill(bus_, SIGTERM);
        waitpid(bus_, nullptr, 0);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    const fs::path& dir() const { return dir_; }
    fs::path bin() const { return dir_ / "bin"; }
    fs::path configuration() const { return bin() / "pixtera2.xml"; }

private:
    void StartBus()
    {
        const auto address = "unix:path=" + (dir_ / "bus").string();
        bus_ = Spawn({"/usr/bin/dbus-daemon", "--session", "--nofork", "--address=" + address});
        for (int i = 0; i < 200 && !fs::exists(dir_ / "bus"); ++i)
            usleep(10000);
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }

    fs::path dir_;
    pid_t bus_ = -1;
};

} // namespace pixtera::bench
