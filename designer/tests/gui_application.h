// SPDX-License-Identifier: MIT
#pragma once
// The one QGuiApplication of a core test process (no widgets), on the offscreen platform.

#include <QGuiApplication>

#include <cstdlib>

namespace pixtera::test {

inline QGuiApplication& GuiApplication()
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "designer-core-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication application(argc, argv);
    return application;
}

} // namespace pixtera::test
