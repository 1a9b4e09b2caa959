// SPDX-License-Identifier: MIT
#pragma once
// The one QApplication of a test process, on the offscreen platform unless one is chosen. It is
// made by the first test that asks and ends with the test run, before the process's own exit
// handlers, which Qt's input devices would otherwise outlive.

#include <QApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace pixtera::test {

class QtApplicationEnvironment final : public ::testing::Environment {
public:
    QApplication& application()
    {
        if (!application_) {
            setenv("QT_QPA_PLATFORM", "offscreen", 0);
            application_ = std::make_unique<QApplication>(argc_, argv_);
        }
        return *application_;
    }
    void TearDown() override { application_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "designer-tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> application_;
};

// Runs the event loop and the window's ticks until `condition` holds (true) or `limit` passed:
// values reach the preview from the preview channel's thread, a tick or two later.
template <class Window, class Condition>
bool TickUntil(Window& window, Condition condition, int limitMs = 5000)
{
    for (int waited = 0; waited < limitMs; waited += 5) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        window.Tick();
        if (condition())
            return true;
        QThread::msleep(5);
    }
    return condition();
}

inline QApplication& Application()
{
    // gtest owns and deletes registered environments.
    static QtApplicationEnvironment* environment = static_cast<QtApplicationEnvironment*>(
        ::testing::AddGlobalTestEnvironment(std::make_unique<QtApplicationEnvironment>().release()));
    return environment->application();
}

} // namespace pixtera::test
