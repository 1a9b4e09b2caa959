// SPDX-License-Identifier: MIT
// The service's log as the designer quotes it after a failed start: the last lines, whatever is at
// its path.

#include "service_program.h"

#include "test_environment.h"
#include "test_fifo.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera::designer;
using pixtera::test::TestDirectory;
using pixtera::test::TestFifo;

TEST(ServiceLog, TheLastLinesAreQuotedFromTheEndOfALongLog)
{
    const auto log = TestDirectory() / "long.log";
    {
        std::ofstream out(log);
        for (int i = 1; i <= 100000; ++i) // far longer than the tail that is read
            out << "loading plug-in " << i << "\n";
    }
    EXPECT_EQ(LastLines(log, 3), "loading plug-in 99998\nloading plug-in 99999\nloading plug-in 100000");
    EXPECT_EQ(LastLines(log, 1), "loading plug-in 100000");
    EXPECT_EQ(LastLines(log, 0), "");

    const auto shortLog = TestDirectory() / "short.log";
    std::ofstream(shortLog) << "one\ntwo\n\n";
    EXPECT_EQ(LastLines(shortLog, 5), "one\ntwo") << "fewer lines than asked for: all of them";
}

TEST(ServiceLog, AFifoOrADirectoryInTheLogsPlaceGivesNothingWithoutWaiting)
{
    TestFifo fifo("fifo.log");
    std::string said = "unset";
    EXPECT_TRUE(fifo.Returns([&] { said = LastLines(fifo.path(), 5); }));
    EXPECT_EQ(said, "");

    const auto directory = TestDirectory() / "directory.log";
    std::filesystem::create_directories(directory);
    EXPECT_EQ(LastLines(directory, 5), "");
    EXPECT_EQ(LastLines("/dev/zero", 5), "") << "a device without end";
}

} // namespace
