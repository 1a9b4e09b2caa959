// SPDX-License-Identifier: MIT
// The main window connected to a real service on a private bus: the Preview menu follows the
// service's displays.

#include "command_ids.h"
#include "configuration_editor.h"
#include "configuration_panel.h"
#include "data_panel.h"
#include "ending_service.h"
#include "main_window.h"
#include "preview_widget.h"
#include "qt_application.h"
#include "queue_pane.h"
#include "restart_and_wait.h"
#include "scripted_prompts.h"
#include "service_objects.h"
#include "service_program.h"

#include "child_process.h"
#include "private_bus.h"
#include "program_processes.h"
#include "test_environment.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/named_mutex.h>
#include <pixtera/remote/activation.h>
#include <pixtera/remote/service_name.h>

#include <sdbus-c++/sdbus-c++.h>

#include <QDragEnterEvent>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <pty.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using namespace pixtera::test;

class ServiceWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application();
        program = InstallProgramCopy("pixtera2");
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileData.so"));
        ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
    }

    // A service the designer started on its own outlives the bus; it must not outlive the test,
    // nor keep the copy busy for the next test's SetUp. Only processes running this copy are
    // ended: a SetUp that failed leaves `program` empty, which must end nothing.
    void TearDown() override { EndProcessesRunning(program); }

    // A configuration of file displays, each with its queue, and a file data provider.
    void Configure(const std::vector<std::string>& queues)
    {
        std::ofstream(TestDirectory() / "values") << "Temp=12345\nName=Pixtera\n";
        std::ofstream out(configuration());
        out << "<PixteraConfiguration><drivers>";
        for (std::size_t i = 0; i < queues.size(); ++i)
            out << "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"columns=16;rows=2;path="
                << (TestDirectory() / ("lcd" + std::to_string(i))).string() << "\"><display active=\"yes\"><queue>"
                << queues[i] << "</queue></display></driver>";
        out << "<driver clsid=\"Pixtera.FileData\" configuration=\"path=" << (TestDirectory() / "values").string()
            << "\"><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    }

    std::filesystem::path configuration() const { return TestDirectory() / "bin" / "pixtera2.xml"; }

    std::filesystem::path Design(const std::string& name)
    {
        const auto file = TestDirectory() / name;
        std::ofstream(file) << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="8" Height="1"/>)"
                               R"(<Appearance Mode="Static"/><Data Mode="Static" Text=")"
                            << name << R"("/></DisplayItem></DisplayItems></Design>)";
        return file;
    }

    std::string ConfigurationText()
    {
        std::ifstream in(configuration());
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

    std::unique_ptr<MainWindow> Connect()
    {
        return std::make_unique<MainWindow>(ServiceObjects::Connect(), std::make_unique<ScriptedPrompts>(script),
                                            nullptr, TestDirectory() / "bin");
    }

    QList<QAction*> PreviewItems(MainWindow& window)
    {
        QList<QAction*> items;
        for (QAction* action : window.findChild<QMenu*>(QStringLiteral("previewMenu"))->actions())
            if (!action->menu())
                items.append(action);
        return items;
    }

    // What the bus daemon says about the service's name: its owner and that owner's process.
    static std::string ServiceOwner() { return remote::ServiceNameOwner(*sdbus::createSessionBusConnection()); }
    static pid_t ServicePid()
    {
        return remote::ConnectionProcess(*sdbus::createSessionBusConnection(), "org.pixtera.Pixtera2");
    }

    // A killed service's single-instance lock goes with the last of its threads, which may be
    // after its bus name: a service started before that would leave at once.
    static bool InstanceLockIsFree()
    {
        const NamedMutex probe("PixteraService");
        return probe.status() == NamedMutex::Status::Created;
    }

    PrivateBus bus;
    std::filesystem::path program;
    ScriptedPrompts::Script script;
};

// The designer as the program runs it: calls from its window wait seconds, not minutes.
class ServiceTroubleTest : public ServiceWindowTest {
protected:
    void SetUp() override
    {
        ServiceWindowTest::SetUp();
        SetRemoteCallTimeout(std::chrono::seconds(5)); // short, with room for a sanitizer build
    }
    void TearDown() override
    {
        if (stopped > 0)
            kill(stopped, SIGCONT);
        SetRemoteCallTimeout(std::chrono::minutes(2));
        ServiceWindowTest::TearDown();
    }
    pid_t stopped = 0;
};

TEST_F(ServiceTroubleTest, AHungServiceLeavesTheWindowUsableAndSaysSo)
{
    const auto first = Design("first.pxd");
    Configure({"<queueitem Filename=\"" + first.string() + "\" Runtime=\"5\"/>"});
    auto window = Connect();
    ASSERT_TRUE(TickUntil(*window, [&] { return window->frame().substr(0, 8) == "first.px"; }));
    stopped = ServicePid();
    ASSERT_GT(stopped, 0);
    kill(stopped, SIGSTOP);

    // A new frame for the display: its send runs into the deadline off the window's thread, and
    // every tick still comes back at once.
    ASSERT_TRUE(window->OpenFile(Design("second.pxd")));
    EXPECT_TRUE(TickUntil(*window, [&] { return window->statusText() == "Service not answering"; }));
    EXPECT_EQ(window->frame().substr(0, 8), "second.p") << "the design stays editable and previewed";

    kill(stopped, SIGCONT);
    stopped = 0;
    ASSERT_TRUE(window->OpenFile(first));
    EXPECT_TRUE(TickUntil(*window, [&] { return window->statusText().isEmpty(); }));
}

TEST_F(ServiceWindowTest, AFailedCallSaysTheServicesReasonBesideItsCode)
{
    Configure({""});
    auto session = ServiceObjects::Connect();
    ComPtr<IDisplayManager> displays;
    ASSERT_EQ(session->manager().GetDisplayManager(displays.Out()), S_OK);
    ComPtr<IManagedDisplay> display;
    try {
        CheckCall(displays->Item(7, display.Out()), "Getting display 8");
        FAIL() << "there is one display";
    } catch (const ServiceError& error) {
        const std::string text = error.what();
        EXPECT_EQ(text.rfind("Getting display 8 failed (0x80004005", 0), 0u) << text;
        EXPECT_NE(text.find("): "), std::string::npos) << "the reason follows the code: " << text;
    }
}

TEST_F(ServiceWindowTest, StoredValuesAreReadInOneBatchAndOnlyWhenTheyChanged)
{
    const auto design = TestDirectory() / "values.pxd";
    std::ofstream(design) << R"(<Design><DisplayItems>)"
                             R"(<DisplayItem><Position X="0" Y="0" Width="5" Height="1"/><Appearance Mode="Static"/>)"
                             R"(<Data Mode="Data" Name="Temp"/></DisplayItem>)"
                             R"(<DisplayItem><Position X="6" Y="0" Width="7" Height="1"/><Appearance Mode="Static"/>)"
                             R"(<Data Mode="Data" Name="Name"/></DisplayItem></DisplayItems></Design>)";
    Configure({"<queueitem Filename=\"" + design.string() + "\" Runtime=\"5\"/>"});
    auto window = Connect();
    ASSERT_TRUE(TickUntil(*window, [&] { return window->frame().substr(0, 13) == "12345 Pixtera"; }))
        << window->frame();
    const unsigned batches = window->workspace().service().channel()->batches();
    EXPECT_EQ(batches, 1u) << "both values in one round trip";
    for (int tick = 0; tick < 20; ++tick) {
        QCoreApplication::processEvents();
        window->Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_EQ(window->workspace().service().channel()->batches(), batches)
        << "unchanged stored values are not read again";

    std::ofstream(TestDirectory() / "values") << "Temp=54321\nName=Pixtera\n";
    EXPECT_TRUE(TickUntil(*window, [&] { return window->frame().substr(0, 5) == "54321"; })) << window->frame();
    EXPECT_GT(window->workspace().service().channel()->batches(), batches);
}

TEST_F(ServiceTroubleTest, AServiceThatHangsWhileNothingIsAskedOfItIsNoticed)
{
    const auto design = TestDirectory() / "value.pxd";
    std::ofstream(design)
        << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="5" Height="1"/>)"
           R"(<Appearance Mode="Static"/><Data Mode="Data" Name="Temp"/></DisplayItem></DisplayItems></Design>)";
    Configure({"<queueitem Filename=\"" + design.string() + "\" Runtime=\"5\"/>"});
    auto window = Connect();
    ASSERT_TRUE(TickUntil(*window, [&] { return window->frame().substr(0, 5) == "12345"; }));
    stopped = ServicePid();
    ASSERT_GT(stopped, 0);
    kill(stopped, SIGSTOP);
    // The preview shows a stored value, which a hung service never announces: it is asked.
    EXPECT_TRUE(TickUntil(
        *window, [&] { return window->statusText() == "Service not answering"; }, 10000));
    EXPECT_EQ(window->frame().substr(0, 5), "12345") << "the last value stays";
}

TEST_F(ServiceTroubleTest, AServiceThatDiesIsReportedAndTakenUpAgainWhenItReturns)
{
    std::ofstream(TestDirectory() / "values") << "Temp=12345\n";
    const auto first = Design("first.pxd");
    Configure({"<queueitem Filename=\"" + first.string() + "\" Runtime=\"5\"/>"});
    auto window = Connect();
    ASSERT_EQ(PreviewItems(*window).size(), 1);
    const pid_t pid = ServicePid();
    ASSERT_GT(pid, 0);
    kill(pid, SIGKILL);

    EXPECT_TRUE(TickUntil(*window, [&] { return window->statusText() == "The Pixtera service stopped"; }));
    EXPECT_TRUE(PreviewItems(*window).isEmpty());
    EXPECT_FALSE(window->queuePane().isEnabled());
    window->workspace().ChangeSelected("ignored", [](DisplayItem&) {});
    ASSERT_TRUE(window->OpenFile(Design("edited.pxd"))) << "the design stays editable";

    ASSERT_TRUE(Eventually([] { return InstanceLockIsFree(); }));
    ChildProcess restarted({program.string()});
    EXPECT_TRUE(TickUntil(
        *window, [&] { return PreviewItems(*window).size() == 1; }, 20000))
        << restarted.output();
    EXPECT_TRUE(window->statusText().isEmpty()) << window->statusText().toStdString();
    EXPECT_EQ(window->previewTarget(), 1);
    EXPECT_GT(window->dataPanel().topLevelItemCount(), 0) << "the data tree is filled again";
    EXPECT_EQ(window->document().path(), TestDirectory() / "edited.pxd") << "the work is kept";
    EXPECT_EQ(window->canvas().frame().substr(0, 8), "edited.p") << "and drawn again at once";
    // The restarted service lent its display: the designer's frame reaches it.
    EXPECT_TRUE(Eventually([&] {
        std::ifstream frame(TestDirectory().string() + "/lcd0.frame");
        std::string text((std::istreambuf_iterator<char>(frame)), {});
        return text.rfind("edited.p", 0) == 0;
    }));
}

TEST_F(ServiceTroubleTest, ExitAndCloseServiceAsksAndCancelCancelsEverything)
{
    Configure({""});
    auto window = Connect();
    window->document().SetModified(true);
    script.yesNo = {false};
    window->Command(kExitAndCloseService);
    ASSERT_EQ(script.questions.size(), 1u);
    EXPECT_EQ(script.questions[0], "Exit and close service|Also stop the Pixtera service? The displays will go dark.");
    EXPECT_EQ(script.saveQuestions, 0) << "No: nothing happens";

    script.yesNo = {true};
    script.saveAnswers = {SaveAnswer::Cancel};
    window->Command(kExitAndCloseService);
    EXPECT_EQ(script.saveQuestions, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(ServiceOwner().empty()) << "Cancel in the save question leaves the service running";
    EXPECT_TRUE(window->document().modified());
}

TEST_F(ServiceTroubleTest, ApplyingKillsAnOldServiceThatDoesNotEndAndStartsExactlyOne)
{
    Configure({""});
    auto old = ServiceObjects::Connect();
    const std::string oldOwner = ServiceOwner();
    stopped = ServicePid();
    ASSERT_GT(stopped, 0);
    kill(stopped, SIGSTOP);

    EndingService ending(oldOwner);
    std::string failure;
    std::string notice;
    auto fresh = RestartService(program, &ending, &failure, &notice, {1000, 20000});
    ASSERT_TRUE(fresh) << failure;
    EXPECT_NE(notice.find("was killed"), std::string::npos) << notice;
    const pid_t now = ServicePid();
    EXPECT_NE(now, stopped);
    EXPECT_TRUE(Eventually([&] { return kill(stopped, 0) != 0; })) << "the old service is gone";
    stopped = 0;
    std::ifstream cmdline("/proc/" + std::to_string(now) + "/cmdline");
    std::string arguments((std::istreambuf_iterator<char>(cmdline)), {});
    EXPECT_EQ(arguments.find("-Embedding"), std::string::npos)
        << "the service the registration says, not one started on demand that ends with the designer";
    old->Forget();
}

TEST_F(ServiceWindowTest, ConfigureKeepsTheOpenDesignAndWaitsOnlyAsLongAsTheOldServiceTakesToEnd)
{
    const auto queued = Design("queued.pxd");
    Configure({"<queueitem Filename=\"" + queued.string() + "\" Runtime=\"5\"/>"});
    auto window = Connect();
    const auto mine = Design("mine.pxd");
    ASSERT_TRUE(window->OpenFile(mine));
    window->history().Edit("Add text", [&] { window->editor().AddText({0, 1}, "unsaved", 0); });
    ASSERT_TRUE(window->document().modified());
    const pid_t old = ServicePid();
    ASSERT_GT(old, 0);

    // The panel closes at once (Cancel, no change): the old service is still on its way out.
    window->ConfigureService([](QWidget&) {});
    EXPECT_EQ(script.saveQuestions, 0) << "nothing is discarded, so nothing is asked";
    EXPECT_TRUE(script.messages.empty()) << script.messages.front() << ": it ended by itself, nothing was killed";
    ASSERT_TRUE(window->serviceObjects());
    EXPECT_NE(ServicePid(), old) << "the service was stopped and started again";
    EXPECT_TRUE(Eventually([&] { return kill(old, 0) != 0; })) << "the old one has gone";
    EXPECT_EQ(window->document().path(), mine) << "not the queue's first design";
    EXPECT_TRUE(window->document().modified());
    EXPECT_TRUE(window->history().stack().canUndo()) << "the history stays";
    EXPECT_EQ(window->previewTarget(), 1);
    EXPECT_TRUE(Eventually([&] {
        std::ifstream frame(TestDirectory().string() + "/lcd0.frame");
        std::string text((std::istreambuf_iterator<char>(frame)), {});
        return text.find("unsaved") != std::string::npos;
    })) << "the open design reaches the new service's display";
    window->serviceObjects()->manager().Shutdown();
}

TEST_F(ServiceWindowTest, AServiceRunInATerminalIsSaidToComeBackWithoutIt)
{
    Configure({""});
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(Eventually([] { return !ServiceOwner().empty(); }));
    EndingService ending(ServiceOwner());
    EXPECT_TRUE(ending.ranInTerminal());
    ServiceObjects::Connect()->manager().Shutdown();

    std::string failure;
    std::string notice;
    auto fresh = RestartService(program, &ending, &failure, &notice);
    ASSERT_TRUE(fresh) << failure;
    EXPECT_NE(notice.find("running in a terminal"), std::string::npos) << notice;
    EXPECT_NE(notice.find(ServiceLogFile().string()), std::string::npos)
        << "where its terminal output goes: " << notice;
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "it ended by itself";
    close(terminal);
    fresh->manager().Shutdown();
}

TEST_F(ServiceWindowTest, WithoutDisplaysThePreviewIsVirtualAndNothingIsOpened)
{
    Configure({});
    auto window = Connect();
    window->Tick();
    EXPECT_TRUE(PreviewItems(*window).isEmpty()) << "the nine display items are gone";
    EXPECT_EQ(window->previewTarget(), 0);
    EXPECT_EQ(window->painter().geometry(), DisplayGeometry::Virtual(20, 4));
    EXPECT_TRUE(window->document().path().empty());
    EXPECT_TRUE(window->action(kVirtual2x16 + 3)->isChecked()) << "4x20";
    EXPECT_FALSE(window->queuePane().isEnabled()) << "no display, no queue";
}

TEST_F(ServiceWindowTest, ThreeDisplaysGiveThreeItemsAndTheFirstIsPreviewed)
{
    const auto design = TestDirectory() / "first.pxd";
    std::ofstream(design) << R"(<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="5" Height="1"/>)"
                             R"(<Appearance Mode="Static"/><Data Mode="Static" Text="first"/></DisplayItem>)"
                             R"(</DisplayItems></Design>)";
    Configure({"<queueitem Filename=\"" + design.string() + "\" Runtime=\"5\"/>", "", ""});
    auto window = Connect();
    window->Tick();
    const auto items = PreviewItems(*window);
    ASSERT_EQ(items.size(), 3);
    for (int i = 0; i < 3; ++i) // told apart by their files
        EXPECT_EQ(items[i]->text().toStdString(),
                  "File display: " + (TestDirectory() / ("lcd" + std::to_string(i))).string());
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_EQ(window->previewTarget(), 1);
    EXPECT_EQ(window->painter().geometry().columns, 16) << "the display's own geometry";
    EXPECT_EQ(window->document().path(), design) << "display 1's first design is opened";
    EXPECT_EQ(window->frame().substr(0, 5), "first");

    window->Command(kPreviewDisplay1 + 2);
    EXPECT_EQ(window->previewTarget(), 3);
    EXPECT_TRUE(PreviewItems(*window)[2]->isChecked());
    EXPECT_EQ(window->canvas().frame().substr(0, 5), "first") << "the design is drawn on the display taken up";
}

TEST_F(ServiceWindowTest, TheQueueManagerEditsTheDisplaysQueueInTheService)
{
    const auto a = Design("a.pxd");
    const auto b = Design("b.pxd");
    const auto c = Design("c.pxd");
    Configure({"<queueitem Filename=\"" + a.string() + "\" Runtime=\"3\"/>"});
    auto window = Connect();
    QueuePane& queue = window->queuePane();
    ASSERT_TRUE(queue.isEnabled());
    ASSERT_EQ(queue.rowCount(), 2);
    EXPECT_EQ(queue.item(1, 0)->text(), QueuePane::kAddRowText);

    script.files = {b, c};
    queue.AddDesign();
    queue.AddDesign();
    ASSERT_EQ(queue.rowCount(), 4);
    EXPECT_EQ(queue.item(2, 1)->text(), "5") << "a new entry shows for five seconds";
    EXPECT_EQ(window->document().path(), c) << "the added design is opened";
    EXPECT_NE(ConfigurationText().find("c.pxd\" Runtime=\"5\""), std::string::npos) << ConfigurationText();

    queue.item(1, 1)->setText("-3");
    EXPECT_EQ(queue.item(1, 1)->text(), "0");
    // Not a whole number: refused, the stored runtime comes back; blanks around one are fine.
    for (const char* typed : {"7s", "abc", ""}) {
        queue.item(2, 1)->setText(QString::fromLatin1(typed));
        EXPECT_EQ(queue.item(2, 1)->text(), "5") << typed;
    }
    EXPECT_NE(ConfigurationText().find("c.pxd\" Runtime=\"5\""), std::string::npos) << ConfigurationText();
    queue.item(2, 1)->setText(" 7 ");
    EXPECT_EQ(queue.item(2, 1)->text(), "7");
    queue.item(2, 1)->setText("5");
    EXPECT_NE(ConfigurationText().find("b.pxd\" Runtime=\"0\""), std::string::npos) << ConfigurationText();

    queue.selectRow(0);
    const std::string before = ConfigurationText();
    queue.MoveSelected(true);
    EXPECT_EQ(queue.item(0, 0)->text().toStdString(), a.string()) << "the first entry cannot move up";
    EXPECT_EQ(ConfigurationText(), before);
    queue.selectRow(0);
    queue.MoveSelected(false);
    EXPECT_EQ(queue.item(1, 0)->text().toStdString(), a.string());
    EXPECT_LT(ConfigurationText().find("b.pxd"), ConfigurationText().find("a.pxd"));

    queue.selectRow(2);
    queue.DeleteSelected();
    ASSERT_EQ(queue.rowCount(), 3);
    EXPECT_EQ(ConfigurationText().find("c.pxd"), std::string::npos);
    EXPECT_EQ(window->document().path(), a) << "the row now selected is opened";

    QTest::mouseClick(queue.viewport(), Qt::LeftButton, {}, queue.visualItemRect(queue.item(0, 0)).center());
    EXPECT_EQ(window->document().path(), b) << "selecting a row opens its design";

    queue.selectRow(0);
    queue.DeleteSelected();
    queue.selectRow(0);
    queue.DeleteSelected();
    EXPECT_EQ(queue.rowCount(), 1);
    EXPECT_TRUE(window->document().path().empty()) << "after the last entry an empty new design";
}

TEST_F(ServiceWindowTest, AQueueEntryThatCannotBeOpenedSaysWhyAndTheOpenDesignKeepsTheHighlight)
{
    const auto a = Design("a.pxd");
    const auto missing = TestDirectory() / "missing.pxd";
    Configure({"<queueitem Filename=\"" + a.string() + "\" Runtime=\"3\"/><queueitem Filename=\"" + missing.string() +
               "\" Runtime=\"3\"/>"});
    auto window = Connect();
    QueuePane& queue = window->queuePane();
    ASSERT_EQ(queue.rowCount(), 3);
    ASSERT_EQ(window->document().path(), a);
    auto highlighted = [&] {
        std::vector<int> rows;
        for (const QModelIndex& index : queue.selectionModel()->selectedRows())
            rows.push_back(index.row());
        return rows;
    };
    EXPECT_EQ(highlighted(), std::vector<int>{0});

    QTest::mouseClick(queue.viewport(), Qt::LeftButton, {}, queue.visualItemRect(queue.item(1, 0)).center());
    EXPECT_EQ(script.messages, std::vector<std::string>{"Error|Error loading design. " + missing.string() +
                                                        ": cannot be opened: No such file or directory"});
    EXPECT_EQ(window->document().path(), a) << "the open design stays open";
    EXPECT_EQ(highlighted(), std::vector<int>{0}) << "and keeps the highlight";

    // A design the queue does not hold: no row is highlighted.
    ASSERT_TRUE(window->OpenFile(Design("elsewhere.pxd")));
    EXPECT_TRUE(highlighted().empty());
    ASSERT_TRUE(window->OpenFile(a));
    EXPECT_EQ(highlighted(), std::vector<int>{0});
}

TEST_F(ServiceWindowTest, ADataItemDraggedOntoTheCanvasIsPlacedWithItsValuesSize)
{
    Configure({""});
    auto window = Connect();
    window->resize(900, 600);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    DataPanel& panel = window->dataPanel();
    ASSERT_EQ(panel.topLevelItemCount(), 1) << "one folder for the file's items";
    const QModelIndex temp = panel.model()->index(0, 0, panel.model()->index(0, 0));
    ASSERT_EQ(temp.data().toString(), "Temp");
    std::unique_ptr<QMimeData> mime(panel.model()->mimeData({temp}));
    ASSERT_TRUE(mime);

    PreviewWidget& canvas = window->canvas();
    const QRect display = window->painter().DisplayRect(canvas.size());
    const int pitch = window->painter().pixelSize() + 1;
    const QPoint cell = display.topLeft() + QPoint((5 * 5 + 2) * pitch, (8 + 2) * pitch); // column 5, row 1
    QDragEnterEvent enter(cell, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&canvas, &enter);
    QDragMoveEvent move(cell, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&canvas, &move);
    QDropEvent drop(cell, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&canvas, &drop);

    ASSERT_EQ(window->document().design().items.size(), 1u);
    const DisplayItem& item = window->document().design().items[0];
    EXPECT_EQ(item.name, u"Temp");
    EXPECT_EQ(item.width, 5) << "as wide as its value";
    EXPECT_EQ(item.height, 1);
    EXPECT_EQ(item.column, 5);
    EXPECT_EQ(item.row, 1);
    EXPECT_EQ(window->editor().selection(), 0u);
    EXPECT_TRUE(TickUntil(*window, [&] { return window->frame().substr(16 + 5, 5) == "12345"; })) << window->frame();

    // Dragged over the canvas and taken away again: nothing is added.
    QDragEnterEvent again(cell, Qt::CopyAction, mime.get(), Qt::LeftButton, {});
    QApplication::sendEvent(&canvas, &again);
    QDragLeaveEvent leave;
    QApplication::sendEvent(&canvas, &leave);
    EXPECT_EQ(window->document().design().items.size(), 1u);
}

TEST_F(ServiceWindowTest, EnterOrInsertOnADataItemAddsItAtTheTopLeftForTheArrowKeys)
{
    Configure({""});
    auto window = Connect();
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    DataPanel& panel = window->dataPanel();
    ASSERT_EQ(panel.topLevelItemCount(), 1);
    QTreeWidgetItem* folder = panel.topLevelItem(0);
    panel.setFocus();
    panel.setCurrentItem(folder);
    QTest::keyClick(&panel, Qt::Key_Insert);
    EXPECT_TRUE(window->document().design().items.empty()) << "a folder is no data item";

    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Insert}) {
        panel.setFocus();
        panel.setCurrentItem(folder->child(0));
        ASSERT_EQ(panel.currentItem()->text(0), "Temp");
        const std::size_t before = window->document().design().items.size();
        QTest::keyClick(&panel, key);
        ASSERT_EQ(window->document().design().items.size(), before + 1) << key;
        const DisplayItem& item = window->document().design().items.back();
        EXPECT_EQ(item.name, u"Temp");
        EXPECT_EQ(item.column, 0);
        EXPECT_EQ(item.row, 0);
        EXPECT_EQ(window->editor().selection(), before);
        EXPECT_EQ(window->editor().mode(), PointerMode::None);
        EXPECT_TRUE(window->canvas().hasFocus()) << "the preview takes it on";
    }
    EXPECT_EQ(window->history().stack().count(), 2) << "one step each";
    QTest::keyClick(&window->canvas(), Qt::Key_Down);
    EXPECT_EQ(window->document().design().items.back().row, 1);
}

TEST_F(ServiceWindowTest, ConfigureAddsAProviderAndTheServiceComesBackWithIt)
{
    std::filesystem::create_directories(TestDirectory() / "bin" / "plugins");
    for (const char* catalog : {"FileData.pxp", "FileDisplay.pxp"})
        std::filesystem::copy_file(ProgramDirectory() / "plugins" / catalog,
                                   TestDirectory() / "bin" / "plugins" / catalog);
    std::ofstream(configuration()) << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" "
                                      "configuration=\"path="
                                   << (TestDirectory() / "lcd").string()
                                   << "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    const auto values = TestDirectory() / "fresh-values";
    std::ofstream(values) << "Fresh=1\nOther=two\n";
    auto window = Connect();
    LONG count = -1;
    ASSERT_EQ(window->serviceObjects()->data().Count(&count), S_OK);
    ASSERT_EQ(count, 0);

    int ticks = 0;
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&ticks] { ++ticks; });
    counter.start(20);
    window->ConfigureService([&](QWidget& owner) {
        ScriptedPrompts prompts(script);
        ConfigurationPanel panel(
            TestDirectory() / "bin", prompts,
            [&](IUnknown&, IPluginInfo&, const std::string&, bool) {
                return std::optional("path=" + values.string() + ";interval=100");
            },
            &owner);
        for (int i = 0; i < panel.availableList().count(); ++i)
            if (panel.catalog().entries[static_cast<std::size_t>(i)].progId == "Pixtera.FileData")
                panel.availableList().setCurrentRow(i);
        panel.AddSelected();
        panel.Apply();
    });
    counter.stop();
    EXPECT_GT(ticks, 20) << "the event loop ran while the service went and came back";
    ASSERT_TRUE(window->serviceObjects()) << (script.messages.empty() ? "" : script.messages.back());
    ASSERT_EQ(window->serviceObjects()->data().Count(&count), S_OK);
    EXPECT_EQ(count, 2) << "the new service loaded the added provider";
    const auto found = window->dataPanel().findItems(QStringLiteral("Fresh"), Qt::MatchRecursive);
    EXPECT_EQ(found.size(), 1) << "the data panel lists the new items";
    EXPECT_TRUE(window->isEnabled());
    EXPECT_EQ(window->previewTarget(), 1) << "the display is previewed again";
    window->serviceObjects()->manager().Shutdown(); // the restarted service runs on its own otherwise
}

} // namespace

namespace {

TEST_F(ServiceWindowTest, AConfigurationTheServiceDiesOfIsNamedAndThePreviousOneRestored)
{
    ASSERT_TRUE(RegisterTestModule("test-misbehaving-plugin.so"));
    const std::string good =
        "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path=" +
        (TestDirectory() / "lcd").string() + "\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    std::ofstream(configuration()) << good;
    auto window = Connect();
    script.yesNo = {true};
    window->ConfigureService([&](QWidget&) {
        // As the panel saves: the file as it was is kept beside the new one.
        std::filesystem::copy_file(configuration(), PreviousFile(configuration()),
                                   std::filesystem::copy_options::overwrite_existing);
        std::ofstream(configuration(), std::ios::trunc)
            << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.Misbehaving\" "
               "configuration=\"fault=exit;on=Configure\"><data "
               "active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    });
    ASSERT_EQ(script.questions.size(), 1u);
    EXPECT_NE(script.questions[0].find("ended while starting"), std::string::npos) << script.questions[0];
    EXPECT_NE(script.questions[0].find("Loading PixteraTest.Misbehaving"), std::string::npos) << script.questions[0];
    EXPECT_NE(script.questions[0].find("Restore the previous configuration"), std::string::npos);
    EXPECT_EQ(ConfigurationText(), good);
    ASSERT_TRUE(window->serviceObjects()) << "started again with the previous configuration";
    EXPECT_EQ(window->previewTarget(), 1);
    window->serviceObjects()->manager().Shutdown();
}

} // namespace
