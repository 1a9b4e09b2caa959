// SPDX-License-Identifier: MIT
// A file display that takes keys, in the service's managers: keys written to its keys file step
// through the queue and walk its menu, whose actions reach the display, the data feeds and the
// outside actions (a fake that may fail); a menu file that is refused leaves the queue as it was.

#include "captured_log.h"
#include "service_fixture.h"

#include "managed_display.h"
#include "outside_actions.h"

#include <pixtera/menu_file.h>
#include <pixtera/sdk/display_input.h>

#include <fstream>
#include <sstream>

namespace pixtera::test {
namespace {

using namespace std::chrono_literals;

// Records what it is asked to start, and answers `failure`.
class FakeOutsideActions final : public OutsideActions {
public:
    void Start(int display, const MenuAction& action, ActionFinished finished) override
    {
        std::string failure;
        {
            std::lock_guard lock(mutex_);
            started_.emplace_back(display, action);
            failure = failure_;
        }
        finished(failure);
    }
    void Fail(std::string failure)
    {
        std::lock_guard lock(mutex_);
        failure_ = std::move(failure);
    }
    std::vector<std::pair<int, MenuAction>> started()
    {
        std::lock_guard lock(mutex_);
        return started_;
    }

private:
    std::mutex mutex_; // guards the two below
    std::vector<std::pair<int, MenuAction>> started_;
    std::string failure_;
};

constexpr const char* kPanel = R"(<Menu Title="Panel">
  <Entry Label="Three" Action="ShowDesign" Design="three.pxd"/>
  <Entry Label="Night" Action="SetData" Item="mode" Value="night" Confirm="yes"/>
  <Entry Label="Uptime" Action="RunCommand" Program="uptime" Confirm="yes"/>
  <Submenu Label="Light">
    <Entry Label="Toggle" Action="BacklightToggle"/>
  </Submenu>
</Menu>
)";

class MenuService : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        for (const char* module : {"FileDisplay.so", "BusData.so"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / module)) << module;
        screen = (TestDirectory() / "display").string();
        for (const char* design : {"one", "two", "three"})
            WriteDesign(design);
    }
    void TearDown() override { displays->StopAll(); }

    void WriteDesign(const std::string& text)
    {
        std::ofstream(TestDirectory() / (text + ".pxd"))
            << "<Design><DisplayItems><DisplayItem><Position X=\"0\" Y=\"0\" Width=\"16\" "
               "Height=\"1\"/><Appearance Mode=\"Static\"/><Data Mode=\"Static\" Text=\""
            << text << "\"/></DisplayItem></DisplayItems><Background FileName=\"\"/></Design>";
    }
    void WriteMenu(const std::string& text, const std::string& name = "panel.pxm")
    {
        std::ofstream(TestDirectory() / name) << text;
    }
    // A 16x2 file display with the three designs for a minute each, and `inside` its driver
    // element takes beside them (the input switch, a menu, keys).
    bool Load(const std::string& inside, const std::string& displayInside = "")
    {
        std::string queue = "<queue>";
        for (const char* design : {"one", "two", "three"})
            queue += "<queueitem Filename=\"" + (TestDirectory() / (std::string(design) + ".pxd")).string() +
                     "\" Runtime=\"60\"/>";
        queue += "</queue>";
        const std::string drivers = Driver("Pixtera.FileDisplay", "columns=16;rows=2;path=" + screen,
                                           inside + "<display active=\"yes\">" + queue + displayInside + "</display>") +
                                    Driver("Pixtera.BusData", "names=mode", kData);
        return LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *displays);
    }
    bool LoadWithMenu(const std::string& menuAttributes = "")
    {
        return Load(kInput, "<menu Filename=\"panel.pxm\"" + menuAttributes + "/>");
    }

    void Press(const std::string& keys) { std::ofstream(screen + ".keys", std::ios::app) << keys; }
    // The display's two rows, as "row1|row2" with their trailing blanks cut.
    std::string Shown()
    {
        std::ifstream in(screen + ".frame");
        std::stringstream text;
        text << in.rdbuf();
        std::string rows;
        std::string line;
        for (bool first = true; std::getline(text, line); first = false) {
            line.erase(line.find_last_not_of(' ') + 1);
            rows += (first ? "" : "|") + line;
        }
        return rows;
    }
    bool Shows(const std::string& rows)
    {
        return Eventually([&] { return Shown() == rows; });
    }
    bool ShowsDesign(const std::string& text) { return Shows(text + "|"); }
    int StartsOf(MenuActionKind kind)
    {
        int n = 0;
        for (const auto& [display, action] : outside.started())
            n += action.kind == kind;
        return n;
    }

    static inline const std::string kInput = R"(<input active="yes"/>)";
    FakeOutsideActions outside;
    ComPtr<DisplayManager> displays =
        MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, SystemClock()}, outside);
    std::string screen;
};

TEST_F(MenuService, RightAndLeftShowTheNextAndPreviousDesignAtOnceRoundTheEnds)
{
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    Press("Right\n");
    EXPECT_TRUE(ShowsDesign("two")) << Shown();
    Press("Right\nRight\n");
    EXPECT_TRUE(ShowsDesign("one")) << "two presses go two entries on, round the end\n" << Shown();
    Press("Left\n");
    EXPECT_TRUE(ShowsDesign("three")) << Shown();
}

TEST_F(MenuService, WithoutTheInputSwitchTheDisplayTakesNoKeysAndReadsNoMenu)
{
    CapturedLog log;
    WriteMenu("<Menu><Entry Label=\"a\" Action=\"Rebot\"/></Menu>");
    ASSERT_TRUE(Load("", "<menu Filename=\"panel.pxm\"/>"));
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    EXPECT_FALSE(displays->Displays()[0]->takesKeys());
    EXPECT_FALSE(log.Contains("Rebot")) << "the menu file is not read\n" << log.Text();
}

TEST_F(MenuService, EnterDownEnterAsksThenSetsTheItemOnceAndEscapeGoesBackToTheQueue)
{
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    Press("Right\n");
    ASSERT_TRUE(ShowsDesign("two")) << Shown();
    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        1/4|>Three")) << Shown();
    Press("Down\nEnter\n");
    ASSERT_TRUE(Shows("Night?|Enter=yes Esc=no")) << Shown();
    EXPECT_NE(ReadText(u"mode"), "night") << "not before the answer";
    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        2/4|>Night")) << "the menu stays where it was\n" << Shown();
    EXPECT_TRUE(Eventually([&] { return ReadText(u"mode") == "night"; })) << ReadText(u"mode");

    // Once: the question is not asked again by the answer, and a RunCommand entry reaches the
    // outside actions once per answer.
    Press("Down\nEnter\n");
    ASSERT_TRUE(Shows("Run Uptime?|Enter=yes Esc=no")) << Shown();
    EXPECT_EQ(StartsOf(MenuActionKind::RunCommand), 0);
    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        3/4|>Uptime")) << Shown();
    Press("Up\n");
    ASSERT_TRUE(Shows("Panel        2/4|>Night")) << Shown();
    EXPECT_EQ(StartsOf(MenuActionKind::RunCommand), 1);
    ASSERT_EQ(outside.started().size(), 1u);
    EXPECT_EQ(outside.started()[0].first, 0) << "the display's index";

    Press("Escape\n");
    EXPECT_TRUE(ShowsDesign("two")) << "back to the design under the menu\n" << Shown();
}

TEST_F(MenuService, AMenuInAnyLanguageShowsItsOwnLetters)
{
    WriteMenu(R"(<Menu Title="Меню">
  <Entry Label="Яркость" Action="BacklightToggle"/>
  <Entry Label="Küche €" Action="Lock"/>
</Menu>
)");
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    Press("Enter\n");
    EXPECT_TRUE(Shows("Меню         1/2|>Яркость")) << "a letter a cell, not the code page's '?'\n" << Shown();
    Press("Down\n");
    EXPECT_TRUE(Shows("Меню         2/2|>Küche €")) << Shown();
}

TEST_F(MenuService, ShowDesignShowsItAndTheIdleTimeClosesTheMenu)
{
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu(" Timeout=\"1\""));
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        1/4|>Three")) << Shown();
    Press("Enter\n");
    EXPECT_TRUE(ShowsDesign("three")) << Shown();

    Press("Enter\nDown\n");
    ASSERT_TRUE(Shows("Panel        2/4|>Night")) << Shown();
    EXPECT_TRUE(ShowsDesign("three")) << "closed after a second without a key\n" << Shown();
}

TEST_F(MenuService, AFailedOutsideActionIsShownAndTheMenuComesBack)
{
    outside.Fail("Refused: not authorized");
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    Press("Enter\nDown\nDown\nEnter\nEnter\n");
    EXPECT_TRUE(Shows("Refused: not aut|horized")) << Shown();
    EXPECT_TRUE(Shows("Panel        3/4|>Uptime")) << "after a few seconds\n" << Shown();
    EXPECT_EQ(StartsOf(MenuActionKind::RunCommand), 1);
}

TEST_F(MenuService, ABlankedDisplayStaysDarkAndItsKeysDoNothing)
{
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    const auto display = displays->Displays()[0];
    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        1/4|>Three")) << Shown();
    display->SetBlanked(true);
    ASSERT_TRUE(Shows("|")) << Shown();
    // Keys while dark, handed over as the key thread would.
    display->HandKey(kKeyEnter, kKeyPressed);
    display->HandKey(kKeyRight, kKeyPressed);
    display->SetBlanked(false);
    ASSERT_TRUE(ShowsDesign("one")) << "the menu closed in the dark, and neither key acted\n" << Shown();
    Press("Right\n");
    EXPECT_TRUE(ShowsDesign("two")) << Shown();
}

// A lent display (the designer's preview) or a stopped one: nobody sees what its keys would do, so
// they do nothing of its own, then or when it runs again; an open menu closes with it.
TEST_F(MenuService, KeysWhileTheDisplayIsStoppedDoNothingThenOrLater)
{
    WriteMenu(kPanel);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    const auto display = displays->Displays()[0];
    // Keys that would walk to Uptime and answer its question.
    const auto runUptime = [&] {
        for (LONG key : {kKeyEnter, kKeyDown, kKeyDown, kKeyEnter, kKeyEnter})
            display->HandKey(key, kKeyPressed);
    };

    ASSERT_EQ(display->StopOutput(), S_OK);
    runUptime();
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(ShowsDesign("one")) << "the menu did not open for a key pressed while stopped\n" << Shown();

    Press("Enter\n");
    ASSERT_TRUE(Shows("Panel        1/4|>Three")) << Shown();
    ASSERT_EQ(display->StopOutput(), S_OK);
    for (LONG key : {kKeyDown, kKeyDown, kKeyEnter, kKeyEnter})
        display->HandKey(key, kKeyPressed);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(ShowsDesign("one")) << "the menu closed with the display\n" << Shown();

    Press("Right\n");
    ASSERT_TRUE(ShowsDesign("two")) << Shown();
    EXPECT_EQ(StartsOf(MenuActionKind::RunCommand), 0);
}

struct RefusedMenu {
    const char* name;
    std::string text;
    const char* reason;
};

void PrintTo(const RefusedMenu& menu, std::ostream* out) { *out << menu.name; }

std::string Nested(int depth)
{
    std::string text = "<Menu>";
    for (int i = 0; i < depth; ++i)
        text += "<Submenu Label=\"s\">";
    for (int i = 0; i < depth; ++i)
        text += "</Submenu>";
    return text + "</Menu>";
}

class RefusedMenuFile : public MenuService, public ::testing::WithParamInterface<RefusedMenu> {};

TEST_P(RefusedMenuFile, IsNamedOnceInTheLogAndTheQueueShowsAsBefore)
{
    CapturedLog log;
    WriteMenu(GetParam().text);
    ASSERT_TRUE(LoadWithMenu());
    ASSERT_TRUE(ShowsDesign("one")) << Shown();
    const std::string file = (TestDirectory() / "panel.pxm").string();
    EXPECT_EQ(log.Count(file + ": line "), 1) << log.Text();
    EXPECT_TRUE(log.Contains(GetParam().reason)) << log.Text();
    // Enter opens nothing: the Right after it steps through the queue.
    Press("Enter\nRight\n");
    EXPECT_TRUE(ShowsDesign("two")) << Shown();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, RefusedMenuFile,
    ::testing::Values(RefusedMenu{"Malformed", "<Menu><Entry Label=\"a\" Action=\"NextDesign\">", "line"},
                      RefusedMenu{"UnknownAction", "<Menu>\n<Entry Label=\"a\" Action=\"Rebot\"/></Menu>", "Rebot"},
                      RefusedMenu{"DesignNotInTheQueue",
                                  "<Menu><Entry Label=\"a\" Action=\"ShowDesign\" Design=\"four.pxd\"/></Menu>",
                                  "four.pxd"},
                      RefusedMenu{"NestedTenThousandDeep", Nested(10'000), "line 1"}),
    [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace pixtera::test
