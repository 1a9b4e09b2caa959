// SPDX-License-Identifier: MIT
#include "file_values.h"

#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace pixtera;

TEST(ParseFileValues, NamesValuesNumbersAndGarbage)
{
    const auto values = ParseFileValues("# a comment\n"
                                        "temperature = 21.5\n"
                                        "status=all good \r\n"
                                        "garbage line without equals\n"
                                        "=no name\n"
                                        "count=+3\n"
                                        "version=1.2.3\n"
                                        "status=changed\n"
                                        "empty=\n"
                                        "\x01\xff=binary");
    ASSERT_EQ(values.size(), 6u);
    EXPECT_EQ(values[0].name, "temperature");
    EXPECT_EQ(std::get<double>(values[0].value), 21.5);
    EXPECT_EQ(values[1].name, "status");
    EXPECT_EQ(std::get<std::string>(values[1].value), "changed") << "the last value of a name wins";
    EXPECT_EQ(std::get<double>(values[2].value), 3);
    EXPECT_EQ(std::get<std::string>(values[3].value), "1.2.3");
    EXPECT_EQ(std::get<std::string>(values[4].value), "");
    EXPECT_EQ(values[5].name, "\x01\xff");
}

class FileValuesTest : public ::testing::Test {
protected:
    void Write(const std::string& text)
    {
        // A new file each time (as scripts do with a rename), so the change is always seen.
        const auto temporary = path.string() + ".new";
        std::ofstream(temporary) << text;
        std::filesystem::rename(temporary, path);
    }
    std::filesystem::path path = test::TestDirectory() / "values.txt";
};

TEST_F(FileValuesTest, AFileThatAppearsChangesAndVanishes)
{
    FileValues file(path);
    EXPECT_EQ(file.Refresh(), FileValues::Change::None) << "not there yet";
    EXPECT_TRUE(file.values().empty());
    Write("a=1\n");
    EXPECT_EQ(file.Refresh(), FileValues::Change::Read);
    EXPECT_EQ(file.Refresh(), FileValues::Change::None) << "unchanged: not read again";
    Write("a=2\nb=x\n");
    EXPECT_EQ(file.Refresh(), FileValues::Change::Read);
    ASSERT_EQ(file.values().size(), 2u);
    EXPECT_EQ(std::get<double>(file.values()[0].value), 2);
    std::filesystem::remove(path);
    EXPECT_EQ(file.Refresh(), FileValues::Change::Vanished);
    EXPECT_TRUE(file.values().empty());
}

TEST_F(FileValuesTest, AChangeThatKeepsSizeTimeAndInodeIsReadWhenTold)
{
    std::ofstream(path) << "a=1\n";
    FileValues file(path);
    ASSERT_EQ(file.Refresh(), FileValues::Change::Read);
    struct stat before {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    std::ofstream(path) << "a=2\n"; // within one tick of the file's clock, as far as it shows
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(file.Refresh(), FileValues::Change::None) << "nothing to see";
    EXPECT_EQ(file.Refresh(true), FileValues::Change::Read);
    ASSERT_EQ(file.values().size(), 1u);
    EXPECT_EQ(std::get<double>(file.values()[0].value), 2);
}

TEST_F(FileValuesTest, AHugeFileIsReadOnlyInPart)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += "item" + std::to_string(i) + "=" + std::string(300, 'x') + "\n";
    Write(text);
    FileValues file(path);
    EXPECT_EQ(file.Refresh(), FileValues::Change::Read);
    EXPECT_TRUE(file.truncated());
    EXPECT_LE(file.values().size(), FileValues::kMaxItems);
    for (const auto& value : file.values())
        EXPECT_EQ(std::get<std::string>(value.value).size(), 300u) << "no cut line is read";
}

} // namespace

namespace {

TEST(FileValuesOfOddFiles, AFifoOrADeviceIsNotReadAndNeverWaitedFor)
{
    const auto fifo = pixtera::test::TestDirectory() / "values.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    pixtera::FileValues pipe(fifo);
    EXPECT_EQ(pipe.Refresh(), pixtera::FileValues::Change::Unreadable);
    pixtera::FileValues zero("/dev/zero");
    EXPECT_EQ(zero.Refresh(), pixtera::FileValues::Change::Unreadable);
    EXPECT_EQ(zero.problem(), "is not a regular file");
}

TEST(FileValuesOfOddFiles, AFileThatStaysUnreadableIsSaidToBeSoOnceUntilItWasReadAgain)
{
    const auto path = pixtera::test::TestDirectory() / "unreadable-values.txt";
    std::filesystem::create_directory(path);
    pixtera::FileValues file(path);
    EXPECT_EQ(file.Refresh(), pixtera::FileValues::Change::Unreadable);
    EXPECT_EQ(file.problem(), "is a directory");
    EXPECT_EQ(file.Refresh(true), pixtera::FileValues::Change::None) << "polled or told again, the same reason";
    EXPECT_EQ(file.Refresh(), pixtera::FileValues::Change::None);

    std::filesystem::remove(path);
    std::ofstream(path) << "a=1\n";
    EXPECT_EQ(file.Refresh(), pixtera::FileValues::Change::Read);
    std::filesystem::remove(path);
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(file.Refresh(), pixtera::FileValues::Change::Unreadable) << "read in between: said anew";
    EXPECT_TRUE(file.values().empty());
}

} // namespace
