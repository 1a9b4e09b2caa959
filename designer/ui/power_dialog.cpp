// SPDX-License-Identifier: MIT
#include "power_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pixtera::designer {

PowerDialog::PowerDialog(const PowerSettings& settings, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Power"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("The displays go dark (blank, backlight off) and show nothing while:"), this));
    auto* form = new QFormLayout;
    locked_ = new QCheckBox(QStringLiteral("the session is locked"), this);
    locked_->setChecked(settings.blankWhenLocked);
    idle_ = new QSpinBox(this);
    idle_->setRange(0, 24 * 60);
    idle_->setSuffix(QStringLiteral(" minutes"));
    idle_->setSpecialValueText(QStringLiteral("never"));
    idle_->setValue(settings.idleMinutes);
    hours_ = new QLineEdit(QString::fromStdString(settings.blankHours), this);
    hours_->setPlaceholderText(QStringLiteral("23:00-07:00"));
    sleep_ = new QCheckBox(QStringLiteral("the computer sleeps"), this);
    sleep_->setChecked(settings.blankBeforeSleep);
    keepRendering_ = new QCheckBox(QStringLiteral("Keep rendering the queue while dark"), this);
    keepRendering_->setChecked(settings.keepRenderingWhenBlank);
    form->addRow(QString(), locked_);
    form->addRow(QStringLiteral("the session is idle for"), idle_);
    form->addRow(QStringLiteral("the hours (empty: none)"), hours_);
    form->addRow(QString(), sleep_);
    layout->addLayout(form);
    layout->addWidget(keepRendering_);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("powerProblem"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(hours_, &QLineEdit::textChanged, this, &PowerDialog::Check);
    Check();
}

void PowerDialog::Check()
{
    const std::string hours = hours_->text().trimmed().toStdString();
    const bool valid = hours.empty() || HoursWindow::Parse(hours);
    problem_->setText(valid ? QString() : QStringLiteral("The hours are two times of day, as in 23:00-07:00"));
    ok_->setEnabled(valid);
}

PowerSettings PowerDialog::settings() const
{
    PowerSettings settings;
    settings.blankWhenLocked = locked_->isChecked();
    settings.idleMinutes = idle_->value();
    const std::string hours = hours_->text().trimmed().toStdString();
    const auto window = HoursWindow::Parse(hours);
    settings.blankHours = window ? window->Text() : "";
    settings.blankBeforeSleep = sleep_->isChecked();
    settings.keepRenderingWhenBlank = keepRendering_->isChecked();
    return settings;
}

} // namespace pixtera::designer
