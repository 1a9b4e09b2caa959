// SPDX-License-Identifier: MIT
// Files a user names, read or opened for a library: a FIFO never waited on, a link never
// followed, a directory, a device, a file too large, and a file of another user where only this
// user's or root's will do; each with a problem a user understands.

#include "test_environment.h"
#include "test_fifo.h"

#include <pixtera/sdk/bounded_file.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;
using pixtera::test::TestDirectory;

std::string Make(const std::string& name, const std::string& text)
{
    const auto path = TestDirectory() / name;
    std::ofstream(path) << text;
    return path.string();
}

TEST(BoundedFile, ReadsARegularFileUpToItsBound)
{
    const std::string path = Make("ten", "0123456789");
    const BoundedFile whole = ReadBoundedFile(path, 64, false);
    ASSERT_TRUE(whole) << whole.problem;
    EXPECT_EQ(whole.text, "0123456789");
    EXPECT_FALSE(whole.longer);
    EXPECT_TRUE(S_ISREG(whole.mode));

    const BoundedFile cut = ReadBoundedFile(path, 4, true);
    EXPECT_EQ(cut.text, "0123");
    EXPECT_TRUE(cut.longer);
    const std::string large = Make("large", std::string(3000, 'x'));
    EXPECT_EQ(ReadBoundedFile(large, 2048, false).problem, "is larger than 2 KiB");
    EXPECT_EQ(OpenCheckedFile(large, 2048).problem, "is larger than 2 KiB");
    EXPECT_TRUE(OpenCheckedFile(large, 2048, true)) << "any size, for a library that reads as it needs";
}

TEST(BoundedFile, NeitherWaitsOnAFifoNorFollowsALink)
{
    test::TestFifo fifo("fifo");
    BoundedFile read;
    CheckedFile opened;
    EXPECT_TRUE(fifo.Returns([&] {
        read = ReadBoundedFile(fifo.path(), 64, false);
        opened = OpenCheckedFile(fifo.path(), 64);
    }));
    EXPECT_EQ(read.problem, "is not a regular file");
    EXPECT_EQ(opened.problem, "is not a regular file");
    EXPECT_FALSE(opened.fd);

    const auto link = TestDirectory() / "link";
    std::filesystem::create_symlink(Make("target", "secret"), link);
    EXPECT_EQ(ReadBoundedFile(link, 64, false).problem, "is a symbolic link");
    EXPECT_EQ(ReadBoundedFile(link, 64, false).text, "");

    EXPECT_EQ(ReadBoundedFile(TestDirectory(), 64, false).problem, "is a directory");
    EXPECT_EQ(OpenCheckedFile("/dev/zero", 64, true).problem, "is not a regular file") << "a device without end";
    EXPECT_EQ(ReadBoundedFile((TestDirectory() / "none").string(), 64, false).problem,
              "cannot be opened: No such file or directory");
}

TEST(BoundedFile, AFileOfAnotherUserIsRefusedWhereOnlyOursOrRootsWillDo)
{
    const std::string path = Make("ours", "x");
    EXPECT_TRUE(ReadBoundedFile(path, 64, false, FileOwner::ThisUserOrRoot));
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a file to another user";
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0); // nobody
    EXPECT_EQ(ReadBoundedFile(path, 64, false, FileOwner::ThisUserOrRoot).problem, "belongs to another user");
    EXPECT_EQ(OpenCheckedFile(path, 64, false, FileOwner::ThisUserOrRoot).problem, "belongs to another user");
    EXPECT_TRUE(ReadBoundedFile(path, 64, false)) << "anyone's, where anyone's will do";
}

TEST(BoundedFile, WhereOnlyOursWillDoRootsFileIsRefusedToo)
{
    const std::string path = Make("mine", "x");
    EXPECT_TRUE(ReadBoundedFile(path, 64, false, FileOwner::ThisUser));
    if (geteuid() == 0) {
        ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0); // nobody
        EXPECT_EQ(OpenCheckedFile(path, 64, false, FileOwner::ThisUser).problem, "belongs to another user");
        return;
    }
    // A file of root's that every user may read.
    EXPECT_TRUE(ReadBoundedFile("/etc/passwd", 1 << 20, true, FileOwner::ThisUserOrRoot));
    EXPECT_EQ(ReadBoundedFile("/etc/passwd", 1 << 20, true, FileOwner::ThisUser).problem, "belongs to another user");
}

} // namespace
