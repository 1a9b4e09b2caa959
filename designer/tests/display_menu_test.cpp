// SPDX-License-Identifier: MIT
// A menu bound to a display in pixtera2.xml: checked against the display's queue, its keys
// switched on, and unbound again.

#include "display_menu.h"
#include "test_environment.h"

#include <pixtera/configuration_schema.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::designer;
using pixtera::test::TestDirectory;

std::filesystem::path MenuFile(const std::string& name, const std::string& xml)
{
    const auto file = TestDirectory() / name;
    std::ofstream(file) << xml;
    return file;
}

std::string Text(const pugi::xml_document& document)
{
    std::ostringstream text;
    document.save(text, "", pugi::format_raw | pugi::format_no_declaration);
    return text.str();
}

class DisplayMenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(configuration.load_string(
            R"(<PixteraConfiguration><drivers><driver clsid="Pixtera.FileDisplay" configuration="">)"
            R"(<action active="no"/><input active="no"/><output active="no"/><event active="no"/>)"
            R"(<display active="yes"><queue><queueitem Filename="/home/u/clock.pxd" Runtime="5"/></queue></display>)"
            R"(<data active="no"/></driver>)"
            R"(<driver clsid="Pixtera.SystemData" configuration=""><data active="yes"/></driver>)"
            R"(</drivers></PixteraConfiguration>)"));
        display = configuration.select_node(config::kDriverPath).node();
        data = display.next_sibling();
    }

    pugi::xml_document configuration;
    pugi::xml_node display;
    pugi::xml_node data;
};

TEST_F(DisplayMenuTest, AMenuTheDisplayReadsIsBoundAndItsKeysSwitchedOn)
{
    const auto file =
        MenuFile("panel.pxm", R"(<Menu><Entry Label="Clock" Action="ShowDesign" Design="clock.pxd"/></Menu>)");
    EXPECT_TRUE(DrivesDisplay(display));
    EXPECT_EQ(BoundMenu(display), "");
    std::string why;
    ASSERT_TRUE(BindMenu(display, file, &why)) << why;
    EXPECT_EQ(BoundMenu(display), file.string());
    EXPECT_TRUE(config::IsActive(display, config::kInput));
    EXPECT_EQ(std::distance(display.children(config::kInput).begin(), display.children(config::kInput).end()), 1)
        << "the switch there is turned on, not doubled";

    ASSERT_TRUE(BindMenu(display, {}, &why));
    EXPECT_EQ(BoundMenu(display), "");
    EXPECT_FALSE(display.child(config::kDisplay).child(config::kMenu));
}

TEST_F(DisplayMenuTest, ADriverWithoutKeysGetsTheSwitchBeforeItsDisplay)
{
    display.remove_child(config::kInput);
    const auto file = MenuFile("next.pxm", R"(<Menu><Entry Label="Next" Action="NextDesign"/></Menu>)");
    ASSERT_TRUE(BindMenu(display, file));
    EXPECT_TRUE(config::IsActive(display, config::kInput));
    EXPECT_NE(Text(configuration).find(R"(<input active="yes"/><display active="yes">)"), std::string::npos)
        << Text(configuration);
}

TEST_F(DisplayMenuTest, AMenuTheDisplayWouldRefuseIsNotBound)
{
    const std::string before = Text(configuration);
    const auto foreign =
        MenuFile("foreign.pxm", R"(<Menu><Entry Label="Other" Action="ShowDesign" Design="other.pxd"/></Menu>)");
    std::string why;
    EXPECT_FALSE(BindMenu(display, foreign, &why));
    EXPECT_NE(why.find("other.pxd"), std::string::npos) << why;
    EXPECT_FALSE(BindMenu(display, TestDirectory() / "missing.pxm", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(BindMenu(data, MenuFile("fine.pxm", R"(<Menu><Entry Label="N" Action="NextDesign"/></Menu>)"), &why));
    EXPECT_EQ(why, "the plugin drives no display");
    EXPECT_EQ(Text(configuration), before) << "nothing changed";
}

} // namespace
