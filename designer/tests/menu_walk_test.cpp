// SPDX-License-Identifier: MIT
// A menu walked in the preview: closed until Enter, and an action shown as done, never done.

#include "menu_walk.h"

#include <pixtera/virtual_display.h>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::designer;

Menu TwoEntries()
{
    Menu menu;
    menu.title = "Box";
    MenuEntry reboot{"Reboot", false, {}, {}};
    reboot.action.kind = MenuActionKind::Reboot;
    menu.entries = {{"Next", false, {}, {}}, reboot};
    return menu;
}

std::string Shown(const MenuWalk& walk) { return Utf8OfCells(walk.Frame()); }

TEST(MenuWalk, TheMenuOpensWithAnEnterPressedNotHeld)
{
    MenuWalk walk(TwoEntries(), 16, 2);
    EXPECT_EQ(Shown(walk), "") << "closed, the design shows";
    EXPECT_FALSE(walk.Key(kKeyDown, false));
    EXPECT_FALSE(walk.Key(kKeyEnter, true)) << "a held Enter from before opens nothing";
    EXPECT_FALSE(walk.open());
    EXPECT_TRUE(walk.Key(kKeyEnter, false));
    EXPECT_EQ(Shown(walk), "Box          1/2>Next           ");
    EXPECT_TRUE(walk.Key(kKeyEscape, false));
    EXPECT_FALSE(walk.open()) << "Escape at the top leaves";
    EXPECT_EQ(Shown(walk), "");
}

TEST(MenuWalk, AnActionIsShownAsDoneUntilTheNextKey)
{
    MenuWalk walk(TwoEntries(), 16, 2);
    walk.Key(kKeyEnter, false);
    walk.Key(kKeyDown, false);
    EXPECT_TRUE(walk.Key(kKeyEnter, false));
    EXPECT_EQ(walk.done(), "Reboot");
    EXPECT_EQ(Shown(walk), std::string("Reboot          ") + "done (preview)  ");
    EXPECT_TRUE(walk.Key(kKeyUp, false)) << "the key that takes the note away changes what shows";
    EXPECT_EQ(walk.done(), "");
    EXPECT_EQ(Shown(walk), "Box          1/2>Next           ");

    MenuWalk line(TwoEntries(), 16, 1);
    line.Key(kKeyEnter, false);
    line.Key(kKeyEnter, false);
    EXPECT_EQ(Shown(line), "Next: done      ");
    line.ClearDone();
    EXPECT_EQ(Shown(line), ">Next           ");
}

} // namespace
