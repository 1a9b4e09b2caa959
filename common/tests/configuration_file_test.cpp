#include <pixtera/configuration_file.h>

#include "test_environment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
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
    struct stat info{};
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
