// SPDX-License-Identifier: MIT
// Display > Power...: the form checks the hours, and what it says reaches the user's registry as
// the service reads it.

#include "power_dialog.h"
#include "qt_application.h"
#include "service_program.h"
#include "test_environment.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace {

using namespace pixtera;
using namespace pixtera::designer;

TEST(PowerDialog, ChecksTheHoursAndWritesWhatTheServiceReads)
{
    pixtera::test::Application();
    const PowerSettings defaults = ReadPowerSettings();
    EXPECT_TRUE(defaults.blankWhenLocked);
    EXPECT_TRUE(defaults.blankBeforeSleep);
    EXPECT_EQ(defaults.idleMinutes, 0);

    PowerDialog dialog(defaults);
    EXPECT_EQ(dialog.idleMinutes().text(), "never");
    dialog.hours().setText("late");
    EXPECT_FALSE(dialog.okButton().isEnabled());
    EXPECT_FALSE(dialog.problem().text().isEmpty());
    dialog.hours().setText(" 22:30-6:00 ");
    EXPECT_TRUE(dialog.okButton().isEnabled());
    dialog.idleMinutes().setValue(5);
    dialog.lockedBox().setChecked(false);
    dialog.keepRenderingBox().setChecked(true);

    ASSERT_TRUE(WritePowerSettings(dialog.settings()));
    const PowerSettings read = ReadPowerSettings();
    EXPECT_EQ(read.blankHours, "22:30-06:00");
    EXPECT_EQ(read.idleMinutes, 5);
    EXPECT_FALSE(read.blankWhenLocked);
    EXPECT_TRUE(read.blankBeforeSleep);
    EXPECT_TRUE(read.keepRenderingWhenBlank);
    EXPECT_EQ(ReloadServicePowerPolicy(), "") << "no service running: nothing to tell, nothing started";
}

} // namespace
