// SPDX-License-Identifier: MIT
// What an earlier run kept for recovery, when something else is found in its place: the start
// never waits for it, and nothing larger than a design is offered.

#include "recovery_file.h"

#include "captured_log.h"
#include "test_environment.h"
#include "test_fifo.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using pixtera::test::CapturedLog;
using pixtera::test::TestDirectory;
using pixtera::test::TestFifo;

Design OneItem()
{
    Design design;
    DisplayItem item;
    item.source = kSourceStaticText;
    item.text = "kept";
    item.width = 4;
    design.items.push_back(item);
    return design;
}

// A FIFO made where the recovery keeps `file`.
std::unique_ptr<TestFifo> FifoAt(const std::filesystem::path& file)
{
    std::filesystem::remove(file);
    return std::make_unique<TestFifo>(file.lexically_relative(TestDirectory()).string());
}

TEST(RecoveryFile, AFifoOrAnOversizeFileForTheOriginIsRefusedAndTheDesignOfferedUntitled)
{
    const auto origin = TestDirectory() / "mine.pxd";
    ASSERT_TRUE(KeepForRecovery(OneItem(), origin));
    auto found = FindRecovery();
    ASSERT_TRUE(found);
    EXPECT_EQ(found->origin, origin);

    CapturedLog log;
    auto fifo = FifoAt(RecoveryOriginFile());
    EXPECT_TRUE(fifo->Returns([&] { found = FindRecovery(); })) << "the start never waits for a writer";
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->origin.empty());
    EXPECT_TRUE(log.Contains("is not a regular file")) << log.Text();
    fifo.reset();

    std::ofstream(RecoveryOriginFile()) << std::string(5000, 'x');
    found = FindRecovery();
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->origin.empty()) << "a path is never that long";
    EXPECT_TRUE(log.Contains("is larger than")) << log.Text();
}

TEST(RecoveryFile, AFifoOrAnOversizeFileInTheDesignsPlaceIsNotOffered)
{
    ASSERT_TRUE(KeepForRecovery(OneItem(), {}));
    CapturedLog log;
    std::optional<RecoveredDesign> found = RecoveredDesign{};
    {
        auto fifo = FifoAt(RecoveryFile());
        EXPECT_TRUE(fifo->Returns([&] { found = FindRecovery(); }));
        EXPECT_FALSE(found);
    }
    std::ofstream(RecoveryFile()) << "<Design/>";
    std::filesystem::resize_file(RecoveryFile(), kMaxDesignFileBytes + 1);
    EXPECT_FALSE(FindRecovery()) << "larger than any design";
    EXPECT_TRUE(log.Contains("is larger than")) << log.Text();

    DiscardRecovery();
    log.Clear();
    EXPECT_FALSE(FindRecovery());
    EXPECT_EQ(log.Text(), "") << "nothing kept is no news";
}

} // namespace
