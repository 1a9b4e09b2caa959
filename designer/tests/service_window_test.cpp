// The main window connected to a real service on a private bus: the Preview menu follows the
// service's displays.

#include "command_ids.h"
#include "main_window.h"
#include "qt_application.h"
#include "scripted_prompts.h"
#include "service_session.h"

#include "child_process.h"
#include "private_bus.h"
#include "test_environment.h"

#include <pixtera/platform/com_runtime.h>

#include <QMenu>

#include <gtest/gtest.h>

#include <fstream>

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
        ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
    }

    // A configuration of file displays, each with its queue.
    void Configure(const std::vector<std::string>& queues)
    {
        std::ofstream out(TestDirectory() / "bin" / "pixtera2.xml");
        out << "<PixteraConfiguration><drivers>";
        for (std::size_t i = 0; i < queues.size(); ++i)
            out << "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"columns=16;rows=2;path="
                << (TestDirectory() / ("lcd" + std::to_string(i))).string() << "\"><display active=\"yes\"><queue>"
                << queues[i] << "</queue></display></driver>";
        out << "</drivers></PixteraConfiguration>";
    }

    std::unique_ptr<MainWindow> Connect()
    {
        session = ServiceSession::Connect();
        return std::make_unique<MainWindow>(session.get(), std::make_unique<ScriptedPrompts>(script));
    }

    QList<QAction*> PreviewItems(MainWindow& window)
    {
        QList<QAction*> items;
        for (QAction* action : window.findChild<QMenu*>(QStringLiteral("previewMenu"))->actions())
            if (!action->menu())
                items.append(action);
        return items;
    }

    PrivateBus bus;
    std::filesystem::path program;
    std::unique_ptr<ServiceSession> session;
    ScriptedPrompts::Script script;
};

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
    for (QAction* item : items)
        EXPECT_EQ(item->text(), "File display");
    EXPECT_TRUE(items[0]->isChecked());
    EXPECT_FALSE(items[1]->isChecked());
    EXPECT_EQ(window->previewTarget(), 1);
    EXPECT_EQ(window->painter().geometry().columns, 16) << "the display's own geometry";
    EXPECT_EQ(window->document().path(), design) << "display 1's first design is opened";
    EXPECT_EQ(window->frame().substr(0, 5), "first");

    window->Command(kPreviewDisplay1 + 2);
    window->Tick();
    EXPECT_EQ(window->previewTarget(), 3);
    EXPECT_TRUE(PreviewItems(*window)[2]->isChecked());
    session->ReturnDisplays();
}

} // namespace
