// SPDX-License-Identifier: MIT
#include <pixtera/configuration_file.h>
#include <pixtera/xml_file.h>

#include "test_environment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;

std::string Content(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(ConfigurationFile, AMissingFileIsCreatedWithTheDefaultContent)
{
    const auto dir = test::TestDirectory() / "programs";
    std::filesystem::create_directories(dir);
    const auto path = ConfigFilePath(dir);
    EXPECT_EQ(path, dir / "pixtera2.xml");
    EXPECT_EQ(Content(path), "<PixteraConfiguration><drivers></drivers></PixteraConfiguration>");
}

TEST(ConfigurationFile, AnExistingFileIsNeverWritten)
{
    const auto dir = test::TestDirectory() / "programs";
    std::filesystem::create_directories(dir);
    const auto path = dir / "pixtera2.xml";
    {
        std::ofstream(path) << "<mine/>";
    }
    chmod(path.c_str(), 0);
    EXPECT_EQ(ConfigFilePath(dir), path);
    chmod(path.c_str(), 0644);
    EXPECT_EQ(Content(path), "<mine/>");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
}

TEST(ConfigurationFile, AReadOnlyProgramDirectoryMovesItToTheUsersConfiguration)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may write anywhere";
    const auto dir = test::TestDirectory() / "readonly";
    std::filesystem::create_directories(dir);
    chmod(dir.c_str(), 0555);
    const auto path = ConfigFilePath(dir);
    chmod(dir.c_str(), 0755);
    EXPECT_EQ(path, test::TestDirectory() / "config" / "pixtera" / "pixtera2.xml");
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace

namespace {

TEST(AtomicWrites, TemporariesOfKilledWritersAreRemovedOthersAreLeft)
{
    const auto dir = pixtera::test::TestDirectory();
    const auto file = dir / "pixtera2.xml";
    std::ofstream(file) << "<PixteraConfiguration/>";
    // A writer that is gone, one that still writes (this process), and a file that only looks alike.
    const pid_t gone = fork();
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const auto stale = dir / (".pixtera2.xml." + std::to_string(gone) + ".a1B2c3");
    const auto live = dir / (".pixtera2.xml." + std::to_string(getpid()) + ".d4E5f6");
    const auto other = dir / ".pixtera2.xml.notes";
    for (const auto& path : {stale, live, other})
        std::ofstream(path) << "half";
    EXPECT_EQ(pixtera::RemoveStaleTemporaries(file), 1);
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));

    // And before every write, so a killed writer's file goes with the next edit.
    std::ofstream(stale) << "half";
    ASSERT_TRUE(pixtera::WriteFileAtomically(file, "<PixteraConfiguration><drivers/></PixteraConfiguration>"));
    EXPECT_FALSE(std::filesystem::exists(stale));
    std::size_t left = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        left += entry.path().filename().string().rfind(".pixtera2.xml.", 0) == 0;
    EXPECT_EQ(left, 2u) << "only the live writer's and the look-alike";
}

} // namespace
