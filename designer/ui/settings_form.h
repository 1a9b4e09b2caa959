// SPDX-License-Identifier: MIT
#pragma once
// A form for a plug-in's configuration keys, made from the keys the plug-in describes. OK checks
// every value and composes the configuration text; a value that is not allowed keeps the form
// open and says why.

#include "setting_specs.h"

#include <pixtera/sdk/plugin_info.h>

#include <QDialog>

#include <map>
#include <optional>
#include <string>

class QLabel;
class QWidget;

namespace pixtera::designer {

class SettingsForm : public QDialog {
    Q_OBJECT
public:
    // `required`: the plug-in cannot work unconfigured, so its keys without defaults must be set.
    SettingsForm(const QString& pluginName, std::vector<SettingSpec> specs, std::string configuration,
                 QWidget* parent = nullptr, bool required = false);

    // The edited configuration, after OK.
    const std::string& configuration() const { return configuration_; }
    // The editor of a key: a QLineEdit (numbers too, checked on OK), a QComboBox or a QCheckBox.
    QWidget* editor(const std::string& key) const;
    // What OK does: true and done when every value is allowed.
    bool Submit();
    // Why the last Submit refused, for people.
    QString problem() const;

private:
    std::map<std::string, std::string> Values() const;

    std::vector<SettingSpec> specs_;
    std::string previous_;
    std::string configuration_;
    bool required_ = false;
    std::map<std::string, QWidget*> editors_;
    QLabel* problem_ = nullptr;
};

// Asks for a plug-in's settings, starting from `current`: a form when it describes its keys, else
// its own EditConfiguration. The new configuration text, or none when cancelled. Only the latter
// configures the plug-in object itself.
std::optional<std::string> AskPluginSettings(QWidget* parent, IUnknown& plugin, IPluginInfo& info,
                                             const std::string& current, bool required);

} // namespace pixtera::designer
