// SPDX-License-Identifier: MIT
#include "settings_form.h"

#include <pixtera/sdk/plugin_info.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pixtera::designer {
namespace {

QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

QWidget* MakeEditor(const SettingSpec& spec, const std::string& value, QWidget* parent)
{
    switch (spec.kind) {
    case kSettingChoice: {
        auto* list = new QComboBox(parent);
        for (const auto& choice : spec.choices)
            list->addItem(FromUtf8(choice));
        // A value the list does not know is shown as it is, and kept unless another is chosen.
        if (list->findText(FromUtf8(value)) < 0)
            list->addItem(FromUtf8(value));
        list->setCurrentText(FromUtf8(value));
        return list;
    }
    case kSettingFlag: {
        auto* flag = new QCheckBox(parent);
        flag->setChecked(!spec.choices.empty() && value == spec.choices.front());
        return flag;
    }
    default: {
        auto* line = new QLineEdit(FromUtf8(value), parent);
        if (spec.kind == kSettingInteger)
            line->setPlaceholderText(QStringLiteral("%1 to %2").arg(spec.minimum).arg(spec.maximum));
        return line;
    }
    }
}

// A file key: its line and a button that chooses the file.
QWidget* WithBrowseButton(QWidget* line, QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(line);
    auto* browse = new QPushButton(QStringLiteral("..."), row);
    QObject::connect(browse, &QPushButton::clicked, row, [line, row] {
        const QString file =
            QFileDialog::getOpenFileName(row, QStringLiteral("Choose a file"), static_cast<QLineEdit*>(line)->text());
        if (!file.isEmpty())
            static_cast<QLineEdit*>(line)->setText(file);
    });
    layout->addWidget(browse);
    return row;
}

} // namespace

SettingsForm::SettingsForm(const QString& pluginName, std::vector<SettingSpec> specs, std::string configuration,
                           QWidget* parent, bool required)
    : QDialog(parent), specs_(std::move(specs)), previous_(std::move(configuration)), required_(required)
{
    setWindowTitle(pluginName);
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto values = InitialValues(specs_, previous_);
    for (const SettingSpec& spec : specs_) {
        QWidget* editor = MakeEditor(spec, values.at(spec.name), this);
        editor->setObjectName(FromUtf8(spec.name));
        editor->setToolTip(FromUtf8(spec.help));
        editors_[spec.name] = editor;
        form->addRow(FromUtf8(spec.label), spec.kind == kSettingFile ? WithBrowseButton(editor, this) : editor);
    }
    layout->addLayout(form);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("problem"));
    problem_->setStyleSheet(QStringLiteral("color: palette(highlight)"));
    problem_->hide();
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsForm::Submit);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QWidget* SettingsForm::editor(const std::string& key) const
{
    const auto found = editors_.find(key);
    return found == editors_.end() ? nullptr : found->second;
}

std::map<std::string, std::string> SettingsForm::Values() const
{
    std::map<std::string, std::string> values;
    for (const SettingSpec& spec : specs_) {
        QWidget* widget = editors_.at(spec.name);
        if (auto* line = qobject_cast<QLineEdit*>(widget))
            values[spec.name] = line->text().trimmed().toStdString();
        else if (auto* list = qobject_cast<QComboBox*>(widget))
            values[spec.name] = list->currentText().toStdString();
        else if (auto* flag = qobject_cast<QCheckBox*>(widget); flag && spec.choices.size() == 2)
            values[spec.name] = spec.choices[flag->isChecked() ? 0 : 1];
    }
    return values;
}

bool SettingsForm::Submit()
{
    std::string error;
    const auto composed = ComposeConfiguration(specs_, Values(), previous_, &error, required_);
    if (!composed) {
        problem_->setText(FromUtf8(error));
        problem_->show();
        return false;
    }
    configuration_ = *composed;
    accept();
    return true;
}

QString SettingsForm::problem() const { return problem_->text(); }

std::optional<std::string> AskPluginSettings(QWidget* parent, IUnknown& plugin, IPluginInfo& info,
                                             const std::string& current, bool required)
{
    if (auto specs = ReadSettingSpecs(plugin)) {
        BString name;
        info.GetPluginName(name.Out());
        SettingsForm form(QString::fromStdString(name.utf8()), std::move(*specs), current, parent, required);
        if (form.exec() != QDialog::Accepted)
            return std::nullopt;
        return form.configuration();
    }
    // A plug-in with a dialog of its own edits the configuration it was given.
    VARIANT_BOOL accepted = VARIANT_FALSE;
    BString edited;
    if (FAILED(info.Configure(BString(std::string_view(current)).get())) || FAILED(info.EditConfiguration(&accepted)) ||
        accepted == VARIANT_FALSE || FAILED(info.GetConfiguration(edited.Out())))
        return std::nullopt;
    return edited.utf8();
}

} // namespace pixtera::designer
