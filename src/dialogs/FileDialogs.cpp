#include "dialogs/FileDialogs.h"

#include <QFileDialog>

namespace velmora {

QStringList GuiFileDialogs::OpenFiles(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileNames(parent, title, QString(), filter);
}

QString GuiFileDialogs::OpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& fileName)
{
    return QFileDialog::getOpenFileName(parent, title, fileName, filter);
}

QString GuiFileDialogs::SaveFile(QWidget* parent, const QString& title, const QString& filter, const QString& fileName)
{
    // Replacing an existing archive is part of exporting, so the chooser does not ask.
    return QFileDialog::getSaveFileName(parent, title, fileName, filter, nullptr, QFileDialog::DontConfirmOverwrite);
}

QString GuiFileDialogs::ChooseFolder(QWidget* parent, const QString& title)
{
    return QFileDialog::getExistingDirectory(parent, title);
}

} // namespace velmora
