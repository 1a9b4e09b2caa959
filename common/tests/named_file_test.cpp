// SPDX-License-Identifier: MIT
// A configuration or a queue may name anything: a FIFO (opening it waits for a writer), a
// directory, a device without end. Loading says what it is and never waits.
#include <pixtera/configuration_file.h>
#include <pixtera/design_file.h>

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <future>

namespace pixtera {
namespace {

// Runs `load` on another thread. Should it wait on the FIFO, a writer is let in after a while so
// the test fails rather than hangs.
template <typename Load>
auto WithoutWaitingOn(const std::filesystem::path& fifo, Load load)
{
    auto result = std::async(std::launch::async, load);
    const bool returned = result.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!returned) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            close(writer);
    }
    EXPECT_TRUE(returned) << "loading waited on the FIFO";
    return result.get();
}

std::filesystem::path Fifo(const std::string& name)
{
    const auto path = test::TestDirectory() / name;
    std::filesystem::remove(path);
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return path;
}

std::filesystem::path LargeFile(const std::string& name, std::size_t bytes)
{
    const auto path = test::TestDirectory() / name;
    std::ofstream(path) << "<pixtera>" << std::string(bytes, ' ') << "</pixtera>";
    return path;
}

TEST(NamedFiles, TheConfigurationIsReadOnlyFromARegularFileOfBoundedSize)
{
    const auto fifo = Fifo("pixtera2.xml");
    const auto fromFifo = WithoutWaitingOn(fifo, [&] { return LoadConfigurationDocument(fifo); });
    EXPECT_EQ(fromFifo.error, fifo.string() + ": is not a regular file");

    EXPECT_EQ(LoadConfigurationDocument("/dev/zero").error, "/dev/zero: is not a regular file");
    EXPECT_EQ(LoadConfigurationDocument(test::TestDirectory()).error,
              test::TestDirectory().string() + ": is a directory");

    const auto huge = LargeFile("huge.xml", 17 << 20);
    EXPECT_NE(LoadConfigurationDocument(huge).error.find("is larger than"), std::string::npos);

    const auto fine = LargeFile("fine.xml", 1 << 20);
    EXPECT_TRUE(LoadConfigurationDocument(fine)) << LoadConfigurationDocument(fine).error;
    const auto link = test::TestDirectory() / "linked.xml";
    std::filesystem::create_symlink(fine, link);
    EXPECT_TRUE(LoadConfigurationDocument(link)) << "a configuration kept elsewhere, linked";

    // It decides which plug-ins run: another user's is refused.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(fine.c_str(), 65534, 65534), 0);
        EXPECT_EQ(LoadConfigurationDocument(fine).error, fine.string() + ": belongs to another user");
    }
}

TEST(NamedFiles, ADesignIsReadOnlyFromARegularFileAndSaysWhatElseItFound)
{
    const auto fifo = Fifo("clock.pxd");
    Design design;
    const auto fromFifo = WithoutWaitingOn(fifo, [&] { return LoadDesign(fifo, design, DesignReader::Service, 0); });
    EXPECT_EQ(fromFifo.status, DesignReadResult::Status::NotParsed);
    EXPECT_EQ(fromFifo.message, fifo.string() + ": is not a regular file");

    const auto directory = LoadDesign(test::TestDirectory(), design, DesignReader::Designer, 0);
    EXPECT_EQ(directory.message, test::TestDirectory().string() + ": is a directory");

    const auto missing = LoadDesign(test::TestDirectory() / "none.pxd", design, DesignReader::Service, 0);
    EXPECT_NE(missing.message.find("No such file or directory"), std::string::npos) << missing.message;

    const auto huge = LargeFile("huge.pxd", 5 << 20);
    EXPECT_NE(LoadDesign(huge, design, DesignReader::Service, 0).message.find("is larger than"), std::string::npos);
}

} // namespace
} // namespace pixtera
