// SPDX-License-Identifier: MIT
#include "dialog_prompts.h"

#include <pixtera/platform/codepage.h>

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace pixtera::designer {
namespace {

const QString kDesignFilter = QStringLiteral("Pixtera Designs (*.pxd)");

std::optional<std::filesystem::path> Chosen(const QString& file)
{
    if (file.isEmpty())
        return std::nullopt;
    return std::filesystem::path(file.toStdString());
}

QColor ToQColor(Rgb colour) { return QColor(colour.red, colour.green, colour.blue); }

// A button painted in its colour that opens the colour chooser.
QPushButton* ColourButton(const QString& text, Rgb& colour, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    auto paint = [button, &colour] {
        // The caption stays readable on any colour chosen.
        const QColor shown = ToQColor(colour);
        const QString ink = shown.lightness() < 128 ? QStringLiteral("white") : QStringLiteral("black");
        button->setStyleSheet(QStringLiteral("background-color: %1; color: %2").arg(shown.name(), ink));
    };
    paint();
    QObject::connect(button, &QPushButton::clicked, button, [button, &colour, paint] {
        const QColor chosen = QColorDialog::getColor(ToQColor(colour), button);
        if (chosen.isValid()) {
            colour = {chosen.red(), chosen.green(), chosen.blue()};
            paint();
        }
    });
    return button;
}

} // namespace

SaveAnswer DialogPrompts::AskToSave()
{
    const auto answer = QMessageBox::question(
        parent_, QStringLiteral("Save"), QStringLiteral("The current design is not yet saved, do you wish to save it?"),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    return answer == QMessageBox::Yes  ? SaveAnswer::Yes
           : answer == QMessageBox::No ? SaveAnswer::No
                                       : SaveAnswer::Cancel;
}

std::optional<std::filesystem::path> DialogPrompts::ChooseDesignToOpen()
{
    return Chosen(QFileDialog::getOpenFileName(parent_, QStringLiteral("Open"), QDir::homePath(), kDesignFilter));
}

std::optional<std::filesystem::path> DialogPrompts::ChooseDesignToAdd(const std::filesystem::path& startIn)
{
    const QString start = startIn.empty() ? QDir::homePath() : QString::fromStdString(startIn.string());
    return Chosen(QFileDialog::getOpenFileName(parent_, QStringLiteral("Add to queue"), start,
                                               kDesignFilter + QStringLiteral(";;All files (*)")));
}

std::optional<std::filesystem::path> DialogPrompts::ChooseDesignToSave()
{
    QFileDialog dialog(parent_, QStringLiteral("Save As"), QDir::homePath(), kDesignFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pxd"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Chosen(dialog.selectedFiles().front());
}

std::optional<std::filesystem::path> DialogPrompts::ChooseBackground()
{
    return Chosen(QFileDialog::getOpenFileName(parent_, QStringLiteral("Background"), QDir::homePath(),
                                               QStringLiteral("All files (*)")));
}

std::optional<std::filesystem::path> DialogPrompts::ChooseMenuToOpen()
{
    return Chosen(QFileDialog::getOpenFileName(parent_, QStringLiteral("Open menu"), QDir::homePath(),
                                               QStringLiteral("Menus (*.pxm)")));
}

std::optional<std::filesystem::path> DialogPrompts::ChooseMenuToSave()
{
    QFileDialog dialog(parent_, QStringLiteral("Save menu as"), QDir::homePath(), QStringLiteral("Menus (*.pxm)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pxm"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return Chosen(dialog.selectedFiles().front());
}

std::optional<std::string> DialogPrompts::AskText(const std::string& initial)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, QStringLiteral("Please enter text"), QString(),
                                               QLineEdit::Normal, QString::fromStdString(initial), &ok);
    if (!ok)
        return std::nullopt;
    return text.toStdString();
}

bool DialogPrompts::ChooseCustomColours(CustomColours& colours)
{
    CustomColours edited = colours;
    QDialog dialog(parent_);
    dialog.setWindowTitle(QStringLiteral("Custom colours"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(ColourButton(QStringLiteral("Background"), edited.frame, &dialog));
    layout->addWidget(ColourButton(QStringLiteral("Font color"), edited.font, &dialog));
    layout->addWidget(ColourButton(QStringLiteral("Font background"), edited.background, &dialog));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    colours = edited;
    return true;
}

void DialogPrompts::ShowMessage(const std::string& text, const std::string& caption)
{
    QMessageBox::warning(parent_, QString::fromStdString(caption), QString::fromStdString(text));
}

bool DialogPrompts::AskYesNo(const std::string& text, const std::string& caption)
{
    return QMessageBox::question(parent_, QString::fromStdString(caption), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

} // namespace pixtera::designer
