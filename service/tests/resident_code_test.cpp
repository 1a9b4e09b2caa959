// SPDX-License-Identifier: MIT
// Handing code pages back: the code keeps running, and pages that were written stay as written.

#include "resident_code.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

namespace {

long ResidentKb()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0;
    long resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE) / 1024;
}

TEST(ResidentCode, AreHandedBackAndTheCodeRunsOn)
{
    const long before = ResidentKb();
    const long released = pixtera::ReleaseResidentCode();
    EXPECT_GT(released, 0) << "this test's own code is an executable mapping of a file";
    EXPECT_LT(ResidentKb(), before);
    EXPECT_EQ(std::stoi("4096") * 2, 8192) << "libstdc++'s code comes back from the page cache";
    EXPECT_GT(pixtera::ReleaseResidentCode(), 0) << "and this program's";
}

// A library with text relocations writes into its code: those pages are the only copy.
TEST(ResidentCode, AnExecutableMappingWithWrittenPagesIsLeftAlone)
{
    const auto path = pixtera::test::TestDirectory() / "relocated-code";
    std::ofstream(path) << std::string(8192, '\xc3');
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void* mapped = mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    close(fd);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<unsigned char*>(mapped);
    std::memset(bytes, 0x90, 16); // the loader's relocation, in effect
    if (mprotect(mapped, 8192, PROT_READ | PROT_EXEC) != 0)
        GTEST_SKIP() << "no executable mappings here (noexec)";
    pixtera::ReleaseResidentCode();
    EXPECT_EQ(bytes[0], 0x90) << "the written page was thrown away";
    EXPECT_EQ(bytes[15], 0x90);
    EXPECT_EQ(bytes[16], 0xc3);
    munmap(mapped, 8192);
}

} // namespace
