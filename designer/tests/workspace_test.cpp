// SPDX-License-Identifier: MIT
// The workspace without any widget: what a failed load leaves behind, commands that end a pointer
// gesture, and the recovery file of a designer that was told to end.

#include "command_ids.h"
#include "gui_application.h"
#include "recovery_file.h"
#include "scripted_prompts.h"
#include "workspace.h"

#include "test_environment.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;

constexpr const char* kTwoItems = R"(<Design><DisplayItems>
    <DisplayItem><Position X="0" Y="0" Width="5" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="One"/></DisplayItem>
    <DisplayItem><Position X="0" Y="1" Width="5" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="Two"/></DisplayItem>
    </DisplayItems></Design>)";
// The second item has no Data element: reading stops there, after the first.
constexpr const char* kFaulty = R"(<Design><DisplayItems>
    <DisplayItem><Position X="0" Y="0" Width="5" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="Bad"/></DisplayItem>
    <DisplayItem><Position X="1"/></DisplayItem></DisplayItems></Design>)";

class WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override { GuiApplication(); }

    std::filesystem::path File(const std::string& name, const std::string& xml)
    {
        const auto file = TestDirectory() / name;
        std::ofstream(file) << xml;
        return file;
    }

    static std::string Text(const std::filesystem::path& file)
    {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScriptedPrompts::Script script;
    ScriptedPrompts prompts{script};
    Workspace workspace{nullptr, prompts, TestDirectory()};
};

TEST_F(WorkspaceTest, AFailedLoadLeavesAnUntitledModifiedDesignThatNeverOverwritesTheOldFile)
{
    const auto good = File("good.pxd", kTwoItems);
    ASSERT_TRUE(workspace.OpenFile(good));
    EXPECT_FALSE(workspace.OpenFile(File("faulty.pxd", kFaulty)));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].rfind(
                  "Error|Error loading design. " + (TestDirectory() / "faulty.pxd").string() + ": item 2: ", 0),
              0u)
        << "which item, and why: " << script.messages[0];
    EXPECT_TRUE(workspace.document().path().empty()) << "not the old file's name";
    EXPECT_TRUE(workspace.document().modified());
    EXPECT_EQ(workspace.document().Title(), "Pixtera designer *");

    script.files = {std::nullopt};
    EXPECT_FALSE(workspace.Command(kSave) && !script.files.empty()) << "Save asked for a name";
    EXPECT_TRUE(script.files.empty());
    EXPECT_EQ(Text(good), kTwoItems) << "the previously open file is untouched";
    EXPECT_TRUE(workspace.document().modified()) << "nothing saved, nothing lost";
}

TEST_F(WorkspaceTest, CommandsEndAGestureFirst)
{
    ASSERT_TRUE(workspace.OpenFile(File("two.pxd", kTwoItems)));
    std::vector<Workspace::Changes> changes;
    QObject::connect(&workspace, &Workspace::changed, [&](Workspace::Changes what) { changes.push_back(what); });
    auto gestureEnded = [&] {
        for (auto what : changes)
            if (what & Workspace::Gesture)
                return true;
        return false;
    };

    // A move under way when New is chosen: kept as one undo step, and the pointer is free.
    ASSERT_TRUE(workspace.editor().Press({1, 1}));
    workspace.BeginGesture();
    workspace.editor().MoveTo({3, 1});
    script.saveAnswers = {SaveAnswer::Cancel};
    workspace.Command(kNew);
    EXPECT_EQ(workspace.editor().mode(), PointerMode::None);
    EXPECT_TRUE(gestureEnded());
    EXPECT_EQ(script.saveQuestions, 1) << "the moved design is modified: New asks";
    EXPECT_EQ(workspace.document().history().stack().count(), 1);

    // An item being placed is dropped when Open is chosen.
    changes.clear();
    DisplayItem placed;
    placed.width = 3;
    placed.height = 1;
    workspace.BeginGesture();
    workspace.editor().StartPlacing(placed);
    script.saveAnswers = {SaveAnswer::Cancel};
    workspace.Command(kOpen);
    EXPECT_EQ(workspace.editor().mode(), PointerMode::None);
    EXPECT_TRUE(gestureEnded());
    EXPECT_EQ(workspace.document().design().items.size(), 2u) << "the placed item was not kept";
}

TEST_F(WorkspaceTest, AnUnsavedDesignIsKeptAtTerminationAndOfferedAtTheNextStart)
{
    const auto origin = File("origin.pxd", kTwoItems);
    ASSERT_TRUE(workspace.OpenFile(origin));
    EXPECT_FALSE(workspace.WriteRecovery()) << "nothing unsaved, nothing kept";
    workspace.ChangeSelected("none selected", [](DisplayItem&) {});
    workspace.editor().Press({1, 0});
    workspace.ChangeSelected("Move", [](DisplayItem& item) { item.column = 7; });
    ASSERT_TRUE(workspace.document().modified());
    ASSERT_TRUE(workspace.WriteRecovery());
    EXPECT_EQ(std::filesystem::status(RecoveryFile().parent_path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);

    ScriptedPrompts::Script next;
    next.yesNo = {true};
    ScriptedPrompts nextPrompts(next);
    Workspace restarted(nullptr, nextPrompts, TestDirectory());
    restarted.OfferRecovery();
    ASSERT_EQ(next.questions.size(), 1u);
    EXPECT_NE(next.questions[0].find(origin.string()), std::string::npos) << next.questions[0];
    ASSERT_EQ(restarted.document().design().items.size(), 2u);
    EXPECT_EQ(restarted.document().design().items[0].column, 7);
    EXPECT_EQ(restarted.document().path(), origin);
    EXPECT_TRUE(restarted.document().modified()) << "restored work is still unsaved";
    EXPECT_FALSE(FindRecovery()) << "offered once";

    Workspace third(nullptr, nextPrompts, TestDirectory());
    third.OfferRecovery();
    EXPECT_EQ(next.questions.size(), 1u) << "nothing left to offer";
}

} // namespace

namespace {

// Runs the event loop for `ms` and counts the frames the workspace rendered by itself.
int FramesWhileWaiting(Workspace& workspace, int ms)
{
    int frames = 0;
    auto connection = QObject::connect(&workspace, &Workspace::changed, [&](Workspace::Changes what) {
        if (what & Workspace::Frame)
            ++frames;
    });
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QObject::disconnect(connection);
    return frames;
}

TEST_F(WorkspaceTest, ItRendersByItselfOnlyWhenTheFrameCanDiffer)
{
    ASSERT_TRUE(workspace.OpenFile(File("static.pxd", kTwoItems)));
    EXPECT_EQ(FramesWhileWaiting(workspace, 300), 0) << "a static design is rendered once";

    ASSERT_TRUE(workspace.OpenFile(File("scroll.pxd", R"(<Design><DisplayItems><DisplayItem>
        <Position X="0" Y="0" Width="4" Height="1"/><Appearance Mode="RightToLeft" ScrollDelay="50"/>
        <Data Mode="Static" Text="A scrolling text"/></DisplayItem></DisplayItems></Design>)")));
    EXPECT_GE(FramesWhileWaiting(workspace, 600), 5) << "each scroll step is rendered when it is due";
}

} // namespace

namespace {

TEST_F(WorkspaceTest, WhatChangesTheDocumentIsShownWithoutBeingAnnounced)
{
    ASSERT_TRUE(workspace.OpenFile(File("two.pxd", kTwoItems)));
    Workspace::Changes seen;
    QObject::connect(&workspace, &Workspace::changed, [&](Workspace::Changes what) { seen |= what; });

    // An edit pushed to the document's history: drawn, and the title marked, with no word from the caller.
    workspace.document().history().Edit("Add text", [&] { workspace.editor().AddText({10, 3}, "Nine", 0); });
    EXPECT_TRUE(seen.testFlag(Workspace::Design));
    EXPECT_TRUE(seen.testFlag(Workspace::Title));
    EXPECT_NE(workspace.frame().find("Nine"), std::string_view::npos) << "rendered at once";
    seen = {};
    workspace.document().history().stack().undo();
    EXPECT_TRUE(seen.testFlag(Workspace::Design));
    EXPECT_TRUE(seen.testFlag(Workspace::Title)) << "back at the saved state";
    EXPECT_EQ(workspace.frame().find("Nine"), std::string_view::npos);
    EXPECT_FALSE(workspace.document().modified());

    // Another design in its place: what was selected in the old one is not selected in the new.
    ASSERT_TRUE(workspace.editor().Press({1, 1}));
    workspace.editor().Release(true);
    ASSERT_TRUE(workspace.editor().selection());
    seen = {};
    workspace.document().New();
    EXPECT_FALSE(workspace.editor().selection());
    EXPECT_TRUE(seen.testFlag(Workspace::Design));
    EXPECT_EQ(workspace.frame().find("One"), std::string_view::npos) << "the new design is drawn";
}

TEST_F(WorkspaceTest, AnItemThatBecomesABarReachesTheRightEdgeInOneStep)
{
    ASSERT_TRUE(workspace.OpenFile(File("two.pxd", kTwoItems)));
    ASSERT_TRUE(workspace.editor().Press({2, 1}));
    workspace.editor().Release(true);
    ASSERT_EQ(workspace.editor().selection(), 1u);
    workspace.Command(designer::kModeStatic + 3);
    const DisplayItem& bar = workspace.document().design().items[1];
    EXPECT_EQ(bar.mode, pixtera::kModeHorizontalBar);
    EXPECT_EQ(bar.width, 20) << "from its column to the display's right edge";
    workspace.Command(designer::kModeStatic + 3);
    EXPECT_EQ(bar.width, 20);
    workspace.document().history().stack().undo();
    EXPECT_EQ(workspace.document().design().items[1].width, 5) << "one undo step for both";
    EXPECT_EQ(workspace.document().design().items[1].mode, pixtera::kModeStatic);
}

} // namespace

namespace {

TEST_F(WorkspaceTest, ABackgroundThatCannotBeUsedIsSaid)
{
    const auto text = File("notes.png", "not an image");
    script.files = {text};
    workspace.Command(designer::kBackgroundLoad);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0],
              "Background|cannot use this image: it is not an image of a kind FreeImage knows (" + text.string() + ")");
    // A design naming a file that is not on this machine opens quietly.
    ASSERT_TRUE(workspace.OpenFile(
        File("elsewhere.pxd", R"(<Design><DisplayItems/><Background FileName="/nowhere/bg.png"/></Design>)")));
    EXPECT_EQ(script.messages.size(), 1u);
}

} // namespace

namespace {

TEST_F(WorkspaceTest, ADesignThatCannotBeReadIsSaidWithItsReasonAndTheOpenOneStays)
{
    const auto good = File("good.pxd", kTwoItems);
    ASSERT_TRUE(workspace.OpenFile(good));
    const auto directory = TestDirectory() / "folder.pxd";
    std::filesystem::create_directories(directory);
    const auto fifo = TestDirectory() / "pipe.pxd";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::pair<std::filesystem::path, std::string>> cases = {
        {File("cut.pxd", std::string(kTwoItems).substr(0, 120)), "cut.pxd: "},
        {directory, "folder.pxd: is a directory"},
        {fifo, "pipe.pxd: is not a regular file"},
        {TestDirectory() / "gone.pxd", "gone.pxd: cannot be opened: No such file or directory"},
    };
    if (geteuid() != 0) { // root reads whatever the permissions say
        const auto locked = File("locked.pxd", kTwoItems);
        std::filesystem::permissions(locked, std::filesystem::perms::none);
        cases.emplace_back(locked, "locked.pxd: cannot be opened: Permission denied");
    }
    for (const auto& [file, reason] : cases) {
        script.messages.clear();
        script.files = {file};
        workspace.Command(kOpen);
        ASSERT_EQ(script.messages.size(), 1u) << file;
        EXPECT_EQ(script.messages[0].rfind("Error|Error loading design. ", 0), 0u) << script.messages[0];
        EXPECT_NE(script.messages[0].find(reason), std::string::npos) << script.messages[0];
        EXPECT_EQ(workspace.document().path(), good);
        EXPECT_EQ(workspace.document().design().items.size(), 2u);
        EXPECT_FALSE(workspace.document().modified());
    }

    // Unsaved changes given up ("No") for a design that cannot be opened are kept, still unsaved:
    // from File > Open and from the queue alike.
    workspace.document().history().Edit("Add text", [&] { workspace.editor().AddText({10, 3}, "Kept", 0); });
    script.saveAnswers = {SaveAnswer::No, SaveAnswer::No};
    script.files = {TestDirectory() / "gone.pxd"};
    workspace.Command(kOpen);
    EXPECT_TRUE(workspace.document().modified());
    workspace.OpenRequested(TestDirectory() / "gone.pxd");
    EXPECT_EQ(script.saveQuestions, 2);
    EXPECT_TRUE(workspace.document().modified());
    EXPECT_EQ(workspace.document().Title(), "Pixtera designer  - " + good.string() + "*");
    EXPECT_EQ(workspace.document().design().items.size(), 3u);
}

TEST_F(WorkspaceTest, AFailedSaveAsKeepsTheDesignsOwnFileAndSaysWhy)
{
    const auto own = File("own.pxd", kTwoItems);
    ASSERT_TRUE(workspace.OpenFile(own));
    workspace.document().history().Edit("Add text", [&] { workspace.editor().AddText({10, 3}, "Added", 0); });
    script.files = {TestDirectory() / "no-such-directory" / "other.pxd"};
    workspace.Command(kSaveAs);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].rfind("Error|Error saving the design: ", 0), 0u) << script.messages[0];
    EXPECT_NE(script.messages[0].find("No such file or directory"), std::string::npos) << script.messages[0];
    EXPECT_EQ(workspace.document().path(), own);
    EXPECT_EQ(workspace.document().Title(), "Pixtera designer  - " + own.string() + "*");

    workspace.Command(kSave); // Ctrl+S: the design's own file, without a dialog
    EXPECT_TRUE(script.files.empty());
    EXPECT_NE(Text(own).find("Added"), std::string::npos) << Text(own);
    EXPECT_FALSE(workspace.document().modified());
}

} // namespace

namespace {

TEST_F(WorkspaceTest, ThePreviewTakenUpAgainShowsTheDesignAtOnce)
{
    // What the window shows: the frame as it is whenever it is told to draw.
    std::string shown;
    QObject::connect(&workspace, &Workspace::changed, [&](Workspace::Changes what) {
        if (what & (Workspace::Frame | Workspace::Design | Workspace::Geometry))
            shown = std::string(workspace.frame());
    });
    ASSERT_TRUE(workspace.OpenFile(File("static.pxd", kTwoItems)));
    ASSERT_EQ(shown.substr(0, 3), "One");
    for (const int size : {kVirtual2x16 + 3, kVirtual2x16 + 3, kVirtual2x16 + 0}) { // 4x20 again, then 2x16
        workspace.Command(size);
        EXPECT_EQ(shown.substr(0, 3), "One") << size;
        EXPECT_EQ(shown, workspace.frame()) << size;
    }
}

} // namespace
