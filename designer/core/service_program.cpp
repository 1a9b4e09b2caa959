// SPDX-License-Identifier: MIT
#include "service_program.h"

#include <pixtera/platform/guid.h>
#include <pixtera/platform/named_mutex.h>
#include <pixtera/platform/registry.h>
#include <pixtera/platform/spawn.h>
#include <pixtera/remote/bus_names.h>
#include <pixtera/remote/service_name.h>
#include <pixtera/sdk/bounded_file.h>
#include <pixtera/sdk/guids.h>

#include <sdbus-c++/sdbus-c++.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace pixtera::designer {
namespace {

// `errorPipe`, when given, becomes the child's standard error; `output`, when given, its standard
// output and error.
pid_t Start(const std::vector<std::string>& argv, bool detached, int errorPipe = -1, int output = -1)
{
    SpawnOptions options;
    options.argv = argv;
    if (errorPipe >= 0)
        options.error = SpawnOptions::Stream::From(errorPipe);
    if (output >= 0)
        options.output = options.error = SpawnOptions::Stream::From(output);
    options.newSession = detached; // its own session: it lives on when the designer ends
    return Spawn(options);
}

int Wait(pid_t child)
{
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program to its end and returns what it wrote to standard error, each line without the
// program's "name: " prefix.
std::string RunForMessages(const std::filesystem::path& program, const char* argument)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const pid_t child = Start({program.string(), argument}, false, ends[1]);
    close(ends[1]);
    std::string said;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(ends[0], buffer, sizeof buffer)) > 0)
        said.append(buffer, static_cast<std::size_t>(n));
    close(ends[0]);
    Wait(child);
    const std::string prefix = program.filename().string() + ": ";
    std::string text;
    std::size_t start = 0;
    while (start < said.size()) {
        const std::size_t end = std::min(said.find('\n', start), said.size());
        std::string_view line(said.data() + start, end - start);
        if (line.substr(0, prefix.size()) == prefix)
            line.remove_prefix(prefix.size());
        if (!line.empty())
            text.append(text.empty() ? "" : "\n").append(line);
        start = end + 1;
    }
    return text;
}

} // namespace

bool RunsAtSystemStartup()
{
    RegKey appId;
    if (appId.Open(HKEY_CLASSES_ROOT, "AppID\\" + FormatGuid(APPID_Pixtera2)) != ERROR_SUCCESS)
        return false;
    return appId.QueryString("LocalService").has_value();
}

int RunAndWait(const std::filesystem::path& program, const char* argument)
{
    return Wait(Start({program.string(), argument}, false));
}

std::string ReregisterService(const std::filesystem::path& program, bool atSystemStartup)
{
    RunAndWait(program, "-UnregServer");
    return RunForMessages(program, atSystemStartup ? "/Service" : "-RegServer");
}

StartedService StartService(const std::filesystem::path& program)
{
    if (RunsAtSystemStartup() && Wait(Start({"systemctl", "--user", "start", "pixtera2.service"}, false)) == 0)
        return {true, 0};
    // Its log goes to a file of the user's own runtime directory, so that a start that fails
    // can say why.
    int log = -1;
    try {
        log = open(ServiceLogFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    } catch (const std::system_error&) {
        // No private place for it: the log goes where the designer's own output goes.
    }
    const pid_t started = Start({program.string()}, true, -1, log);
    if (log >= 0)
        close(log);
    return {started > 0, started > 0 ? started : 0};
}

std::filesystem::path ServiceLogFile() { return RuntimeDirectory() / "pixtera2.log"; }

std::string LastLines(const std::filesystem::path& file, std::size_t count)
{
    // The tail is enough: a log of any length is read from its last 16 kB at most.
    constexpr off_t kTail = 16384;
    const CheckedFile log = OpenCheckedFile(file.string(), kTail, true, FileOwner::ThisUserOrRoot);
    if (!log)
        return {};
    const off_t size = log.info.st_size;
    std::string text(static_cast<std::size_t>(std::min(size, kTail)), '\0');
    const ssize_t got = pread(log.fd.get(), text.data(), text.size(), size - static_cast<off_t>(text.size()));
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (count == 0)
        return {};
    // Back from the end to the newline before the `count`th line from the end.
    std::size_t start = text.size();
    for (std::size_t newlines = 0; start > 0; --start)
        if (text[start - 1] == '\n' && ++newlines == count)
            break;
    return text.substr(start);
}

std::string ReloadServicePowerPolicy()
{
    try {
        auto connection = sdbus::createSessionBusConnection();
        const std::string owner = remote::ServiceNameOwner(*connection);
        if (owner.empty())
            return {};
        auto manager = sdbus::createProxy(*connection, owner, bus::kManagerPath);
        manager->callMethod("ReloadPowerPolicy").onInterface(bus::kManager).withTimeout(std::chrono::seconds(1));
        return {};
    } catch (const sdbus::Error& error) {
        return error.getMessage();
    }
}

} // namespace pixtera::designer
