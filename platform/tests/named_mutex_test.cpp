// SPDX-License-Identifier: MIT
#include <pixtera/platform/named_mutex.h>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

namespace {

using pixtera::NamedMutex;

// Runs `body` in a child process and returns its exit code.
template <class Body>
int InChild(Body body)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(NamedMutex, ASecondHolderInAnotherProcessSeesItExists)
{
    NamedMutex first("PixteraService");
    ASSERT_EQ(first.status(), NamedMutex::Status::Created) << first.error();
    EXPECT_EQ(InChild([] { return NamedMutex("PixteraService").alreadyExists() ? 0 : 1; }), 0);
    EXPECT_EQ(InChild([] { return NamedMutex("PixteraDesigner").alreadyExists() ? 1 : 0; }), 0)
        << "names are independent";
}

TEST(NamedMutex, VanishesWhenTheHolderDies)
{
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    if (holder == 0) {
        NamedMutex held("PixteraDesigner");
        const char ok = held.status() == NamedMutex::Status::Created ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        pause(); // killed by the test
        _exit(0);
    }
    char ok = 0;
    ASSERT_EQ(read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');
    EXPECT_TRUE(NamedMutex("PixteraDesigner").alreadyExists());
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    NamedMutex after("PixteraDesigner");
    EXPECT_EQ(after.status(), NamedMutex::Status::Created);
}

TEST(NamedMutex, ClosingReleasesTheName)
{
    {
        NamedMutex first("Transient");
        ASSERT_EQ(first.status(), NamedMutex::Status::Created);
    }
    EXPECT_EQ(NamedMutex("Transient").status(), NamedMutex::Status::Created);
}

TEST(NamedMutex, RuntimeDirectoryIsPrivate)
{
    const auto dir = pixtera::RuntimeDirectory();
    struct stat info {};
    ASSERT_EQ(stat(dir.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST(NamedMutex, RefusesASharedTemporaryDirectoryOfAnotherMode)
{
    // Without overrides the fallback lives in /tmp, where it must be ours and private.
    const std::string saved = std::getenv("PIXTERA_RUNTIME_DIR");
    unsetenv("PIXTERA_RUNTIME_DIR");
    const std::string xdg = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
    unsetenv("XDG_RUNTIME_DIR");
    const auto fallback = pixtera::RuntimeDirectory();
    EXPECT_EQ(fallback, "/tmp/pixtera-" + std::to_string(getuid()));
    const mode_t old = [&] {
        struct stat info {};
        stat(fallback.c_str(), &info);
        return info.st_mode & 0777;
    }();
    chmod(fallback.c_str(), 0777);
    NamedMutex refused("Refused");
    EXPECT_EQ(refused.status(), NamedMutex::Status::Failed);
    EXPECT_NE(refused.error().find("not private"), std::string::npos) << refused.error();
    chmod(fallback.c_str(), old);
    setenv("PIXTERA_RUNTIME_DIR", saved.c_str(), 1);
    if (!xdg.empty())
        setenv("XDG_RUNTIME_DIR", xdg.c_str(), 1);
}

} // namespace
