// SPDX-License-Identifier: MIT
#pragma once
// Display > Power...: when the displays go dark (the session locked or idle, the hours of the
// night, the machine asleep), written to the user's registry for the service.

#include <pixtera/power_settings.h>

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace pixtera::designer {

class PowerDialog : public QDialog {
    Q_OBJECT
public:
    explicit PowerDialog(const PowerSettings& settings, QWidget* parent = nullptr);

    // What the form says; valid when OK can be pressed.
    PowerSettings settings() const;

    QCheckBox& lockedBox() { return *locked_; }
    QSpinBox& idleMinutes() { return *idle_; }
    QLineEdit& hours() { return *hours_; }
    QCheckBox& sleepBox() { return *sleep_; }
    QCheckBox& keepRenderingBox() { return *keepRendering_; }
    QPushButton& okButton() { return *ok_; }
    QLabel& problem() { return *problem_; }

private:
    void Check();

    QCheckBox* locked_ = nullptr;
    QSpinBox* idle_ = nullptr;
    QLineEdit* hours_ = nullptr;
    QCheckBox* sleep_ = nullptr;
    QCheckBox* keepRendering_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace pixtera::designer
