#pragma once
// The one QApplication of a test process, on the offscreen platform unless one is chosen. It is
// made by the first test that asks and ends with the test run, before the process's own exit
// handlers, which Qt's input devices would otherwise outlive.

#include <QApplication>

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

inline QApplication& Application()
{
    // gtest owns and deletes registered environments.
    static QtApplicationEnvironment* environment = static_cast<QtApplicationEnvironment*>(
        ::testing::AddGlobalTestEnvironment(std::make_unique<QtApplicationEnvironment>().release()));
    return environment->application();
}

} // namespace pixtera::test
