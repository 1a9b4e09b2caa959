// SPDX-License-Identifier: MIT
// The service program as users and systemd run it: a copy of pixtera2 in the test's directory,
// with the test's registry, runtime and XDG directories.

#include "child_process.h"
#include "service_registration.h"
#include "test_environment.h"

#include <pixtera/platform/registry.h>
#include <pixtera/sdk/guids.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::test;

std::string Read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::set<std::string> ClassesRoot() { return test::ClassesRootLines(); }

class ServiceProgram : public ::testing::Test {
protected:
    void SetUp() override { program = InstallProgramCopy("pixtera2").string(); }

    int Run(const std::vector<std::string>& arguments, std::string* output = nullptr)
    {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return RunProgram(argv, output);
    }

    std::filesystem::path UnitFile() const { return TestDirectory() / "config/systemd/user/pixtera2.service"; }
    std::filesystem::path WantsLink() const
    {
        return TestDirectory() / "config/systemd/user/default.target.wants/pixtera2.service";
    }
    std::filesystem::path ActivationFile() const
    {
        return TestDirectory() / "data/dbus-1/services/org.pixtera.Pixtera2.service";
    }
    std::optional<std::string> AppIdValue(const char* name)
    {
        RegKey key;
        if (key.Open(HKEY_CLASSES_ROOT, AppIdKey()) != ERROR_SUCCESS)
            return std::nullopt;
        return key.QueryString(name);
    }

    std::string program;
};

TEST_F(ServiceProgram, RegistrationWritesExactlyItsKeysOnce)
{
    ASSERT_EQ(Run({"-RegServer"}), 0);
    const auto first = ClassesRoot();
    ASSERT_EQ(Run({"/REGSERVER"}), 0);
    EXPECT_EQ(ClassesRoot(), first) << "registering twice leaves one set";
    const std::string clsid = "HKCR\\CLSID\\" + FormatGuid(CLSID_Manager);
    const std::string appId = "HKCR\\" + AppIdKey();
    const std::set<std::string> expected = {
        "HKCR",
        "HKCR\\AppID",
        appId,
        appId + "|=Pixtera2",
        "HKCR\\AppID\\Pixtera2.EXE",
        "HKCR\\AppID\\Pixtera2.EXE|AppID=" + FormatGuid(APPID_Pixtera2),
        "HKCR\\CLSID",
        clsid,
        clsid + "|=Manager Class",
        clsid + "|AppID=" + FormatGuid(APPID_Pixtera2),
        clsid + "\\ProgID",
        clsid + "\\ProgID|=Pixtera2.Manager.1",
        clsid + "\\VersionIndependentProgID",
        clsid + "\\VersionIndependentProgID|=Pixtera2.Manager",
        clsid + "\\Programmable",
        clsid + "\\LocalServer32",
        clsid + "\\LocalServer32|=" + program,
        clsid + "\\TypeLib",
        clsid + "\\TypeLib|=" + FormatGuid(LIBID_Pixtera2Lib),
        "HKCR\\Pixtera2.Manager",
        "HKCR\\Pixtera2.Manager|=Manager Class",
        "HKCR\\Pixtera2.Manager\\CLSID",
        "HKCR\\Pixtera2.Manager\\CLSID|=" + FormatGuid(CLSID_Manager),
        "HKCR\\Pixtera2.Manager\\CurVer",
        "HKCR\\Pixtera2.Manager\\CurVer|=Pixtera2.Manager.1",
        "HKCR\\Pixtera2.Manager.1",
        "HKCR\\Pixtera2.Manager.1|=Manager Class",
        "HKCR\\Pixtera2.Manager.1\\CLSID",
        "HKCR\\Pixtera2.Manager.1\\CLSID|=" + FormatGuid(CLSID_Manager),
    };
    EXPECT_EQ(first, expected);
    EXPECT_NE(Read(ActivationFile()).find("Name=org.pixtera.Pixtera2\nExec="), std::string::npos);
    EXPECT_NE(Read(ActivationFile()).find(program), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(UnitFile()));

    ASSERT_EQ(Run({"-UnregServer"}), 0);
    ASSERT_EQ(Run({"-UnregServer"}), 0) << "unregistering twice is harmless";
    EXPECT_EQ(ClassesRoot(), (std::set<std::string>{"HKCR", "HKCR\\AppID", "HKCR\\CLSID"}));
    EXPECT_FALSE(std::filesystem::exists(ActivationFile()));
}

TEST_F(ServiceProgram, ServiceRegistrationInstallsTheUnitAndRegServerSwitchesBack)
{
    ASSERT_EQ(Run({"-Service"}), 0);
    EXPECT_EQ(AppIdValue("LocalService"), "Pixtera2");
    EXPECT_EQ(AppIdValue("ServiceParameters"), "-Service");
    const std::string unit = Read(UnitFile());
    EXPECT_NE(unit.find("Type=notify\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("ExecStart=\"" + program + "\"\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("WantedBy=default.target\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("BusName=org.pixtera.Pixtera2\n"), std::string::npos) << "bus activation starts this unit";
    EXPECT_NE(unit.find("RestartPreventExitStatus=3\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("NoNewPrivileges=yes\n"), std::string::npos) << "sandboxed as the package's unit";
    EXPECT_EQ(unit.find("@PIXTERA"), std::string::npos) << unit;
    EXPECT_EQ(std::filesystem::read_symlink(WantsLink()), "../pixtera2.service");
    EXPECT_NE(Read(ActivationFile()).find("SystemdService=pixtera2.service"), std::string::npos);

    ASSERT_EQ(Run({"-Service"}), 0) << "again: the old entry is replaced";
    EXPECT_TRUE(std::filesystem::exists(UnitFile()));

    ASSERT_EQ(Run({"-RegServer"}), 0);
    EXPECT_EQ(AppIdValue("LocalService"), std::nullopt);
    EXPECT_EQ(AppIdValue("ServiceParameters"), std::nullopt);
    EXPECT_FALSE(std::filesystem::exists(UnitFile()));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(WantsLink())));
    EXPECT_EQ(Read(ActivationFile()).find("SystemdService"), std::string::npos);
}

TEST_F(ServiceProgram, TheUnitFilePassesSystemdsVerification)
{
    if (access("/usr/bin/systemd-analyze", X_OK) != 0)
        GTEST_SKIP() << "systemd-analyze is not installed";
    ASSERT_EQ(Run({"-Service"}), 0);
    const auto runtime = TestDirectory() / "xdg-runtime";
    std::filesystem::create_directories(runtime);
    std::string output;
    const int code = RunProgram({"/usr/bin/env", "XDG_RUNTIME_DIR=" + runtime.string(), "/usr/bin/systemd-analyze",
                                 "--user", "verify", "--man=no", UnitFile().string()},
                                &output);
    if (output.find("Failed to connect") != std::string::npos || output.find("No medium") != std::string::npos)
        GTEST_SKIP() << "systemd-analyze cannot work here: " << output;
    EXPECT_EQ(code, 0) << output;
    EXPECT_EQ(output.find("nknown"), std::string::npos) << output;
}

TEST_F(ServiceProgram, AnUnwritableUnitDirectoryIsReportedAndLeavesNoServiceBehind)
{
    std::filesystem::create_directories(TestDirectory() / "config/systemd");
    std::ofstream(TestDirectory() / "config/systemd/user") << "not a directory";
    std::string output;
    EXPECT_EQ(Run({"-Service"}, &output), 1);
    EXPECT_NE(output.find("Couldn't open service manager"), std::string::npos) << output;
    EXPECT_EQ(AppIdValue("LocalService"), std::nullopt) << "no value claims a service that is not there";
    RegKey manager;
    EXPECT_EQ(manager.Open(HKEY_CLASSES_ROOT, "Pixtera2.Manager"), ERROR_SUCCESS) << "the class is registered";
}

TEST_F(ServiceProgram, AnUnregisteredProgramSaysWhatToRunAndExitsWithTheRegistryErrorCode)
{
    std::string output;
    EXPECT_EQ(Run({}, &output), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(output.find("not registered"), std::string::npos) << output;
    EXPECT_NE(output.find("pixtera2 -RegServer"), std::string::npos) << output;
}

TEST_F(ServiceProgram, HelpInEveryUsualSpellingPrintsTheUsage)
{
    for (const char* asking : {"--help", "-h", "/?"}) {
        std::string output;
        EXPECT_EQ(Run({asking}, &output), 0) << asking;
        EXPECT_NE(output.find("usage: pixtera2"), std::string::npos) << asking << ": " << output;
    }
}

TEST_F(ServiceProgram, ABrokenRegistryIsReportedWithAnExitCode)
{
    std::ofstream(TestDirectory() / "registry.db") << "this is not a database, and it is long enough to tell";
    std::string output;
    EXPECT_EQ(Run({"-RegServer"}, &output), 1);
    EXPECT_NE(output.find("registration failed: 0x800703F1"), std::string::npos) << output; // ERROR_BADDB
    EXPECT_EQ(Run({}, &output), 1) << "the code (1009) does not fit an exit code";
    EXPECT_NE(output.find("cannot read the registry"), std::string::npos) << output;
}

TEST_F(ServiceProgram, RunsAsALocalServerUntilStoppedAndASecondCopyExitsAtOnce)
{
    ASSERT_EQ(Run({"-RegServer"}), 0);
    ChildProcess first({program});
    ASSERT_TRUE(first.WaitForOutput("Service started\n")) << first.output();
    EXPECT_EQ(Read(TestDirectory() / "bin/pixtera2.xml"),
              "<PixteraConfiguration><drivers></drivers></PixteraConfiguration>");
    ChildProcess second({program});
    EXPECT_EQ(second.Wait(), 0);
    EXPECT_EQ(second.output(), "") << "the second copy starts nothing";
    first.Signal(SIGINT);
    EXPECT_EQ(first.Wait(), 0) << first.output();
}

TEST_F(ServiceProgram, TheLogTellsWhenWhatAndWhereAndEveryStopIsLogged)
{
    ASSERT_EQ(Run({"-RegServer"}), 0);
    std::ofstream(TestDirectory() / "bin/pixtera2.xml")
        << "<PixteraConfiguration><drivers><driver clsid=\"Not.Registered\"><data active=\"yes\"/></driver>"
           "</drivers></PixteraConfiguration>";
    ChildProcess server({program});
    ASSERT_TRUE(server.WaitForOutput("Service started\n")) << server.output();
    server.Signal(SIGHUP); // the terminal closed
    EXPECT_EQ(server.Wait(), 0) << server.output();
    const std::string log = server.output();
    EXPECT_NE(log.find("pixtera2 " PIXTERA_VERSION " starting, configuration " +
                       (TestDirectory() / "bin/pixtera2.xml").string()),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Not.Registered could not be created: its ProgID is not registered"), std::string::npos) << log;
    EXPECT_NE(log.find("Service stopped"), std::string::npos) << "a clean stop outside service mode is logged too";
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.size() > 20 && line[4] == '-' && line[13] == ':') << "no timestamp: " << line;
}

TEST_F(ServiceProgram, UnknownArgumentsAreReportedAndTheServerStarts)
{
    ASSERT_EQ(Run({"-RegServer"}), 0);
    ChildProcess server({program, "-Bogus"});
    ASSERT_TRUE(server.WaitForOutput("Service started")) << server.output();
    EXPECT_NE(server.output().find("ignoring the arguments"), std::string::npos);
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

TEST_F(ServiceProgram, AConfigurationFileThatCannotBeReadIsLeftUntouched)
{
    ASSERT_EQ(Run({"-RegServer"}), 0);
    const auto configuration = TestDirectory() / "bin/pixtera2.xml";
    std::ofstream(configuration) << "<mine/>";
    chmod(configuration.c_str(), 0);
    ChildProcess server({program});
    ASSERT_TRUE(server.WaitForOutput("Service started"));
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
    struct stat info {};
    ASSERT_EQ(stat(configuration.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0u);
    chmod(configuration.c_str(), 0644);
    EXPECT_EQ(Read(configuration), "<mine/>");
}

TEST_F(ServiceProgram, StartedByHandWhileRegisteredAsAServiceItRunsAsALocalServer)
{
    ASSERT_EQ(Run({"-Service"}), 0);
    ChildProcess server({program}, {"NOTIFY_SOCKET="});
    ASSERT_TRUE(server.WaitForOutput("Service started")) << "local-server mode logs to standard output";
    server.Signal(SIGTERM);
    EXPECT_EQ(server.Wait(), 0);
}

// A stand-in for systemd's notification socket.
class NotifySocket {
public:
    explicit NotifySocket(const std::filesystem::path& path) : path_(path)
    {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        timeval timeout{10, 0};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    ~NotifySocket() { close(fd_); }
    std::string Next()
    {
        char buffer[512];
        const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "(nothing)";
    }

private:
    std::filesystem::path path_;
    int fd_;
};

TEST_F(ServiceProgram, ServiceModeReportsReadyAndStoppingToSystemd)
{
    ASSERT_EQ(Run({"-Service"}), 0);
    const auto socketPath = TestDirectory() / "notify";
    NotifySocket notify(socketPath);
    ChildProcess service({program}, {"NOTIFY_SOCKET=" + socketPath.string()});
    EXPECT_EQ(notify.Next(), "STATUS=Starting");
    EXPECT_EQ(notify.Next(), "READY=1\nSTATUS=Running");
    service.Signal(SIGTERM);
    EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(notify.Next(), "STATUS=Stopped");
    EXPECT_EQ(service.Wait(), 0);
    EXPECT_EQ(service.output().find("Service started"), std::string::npos) << "service mode logs to syslog";
}

TEST_F(ServiceProgram, RunBySystemdItReportsReadyWhateverTheRegistrationSays)
{
    ASSERT_EQ(Run({"-RegServer"}), 0) << "what a package's post-install step writes: no service entry";
    const auto socketPath = TestDirectory() / "notify";
    NotifySocket notify(socketPath);
    ChildProcess service({program}, {"NOTIFY_SOCKET=" + socketPath.string()});
    EXPECT_EQ(notify.Next(), "STATUS=Starting");
    EXPECT_EQ(notify.Next(), "READY=1\nSTATUS=Running");

    // A second start under systemd says why it ends and fails, instead of pretending to run.
    const auto secondPath = TestDirectory() / "notify2";
    NotifySocket secondNotify(secondPath);
    ChildProcess second({program}, {"NOTIFY_SOCKET=" + secondPath.string()});
    EXPECT_EQ(second.Wait(), 3);
    EXPECT_EQ(secondNotify.Next(), "STATUS=Not started: another pixtera2 already runs for this user");
    EXPECT_NE(second.output().find("another pixtera2 already runs"), std::string::npos) << second.output();

    service.Signal(SIGTERM);
    EXPECT_EQ(notify.Next(), "STOPPING=1\nSTATUS=Stopping");
    EXPECT_EQ(service.Wait(), 0);
}

} // namespace
