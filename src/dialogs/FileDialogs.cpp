#include "dialogs/FileDialogs.h"

#include <QFileDialog>

namespace velmora {

QList<QUrl> GuiFileDialogs::OpenFiles(QWidget* parent, const QString& title, const QString& filter)
{
    // The desktop's own chooser answers with URLs that keep every byte of a name; Qt's
    // fallback chooser lists only names it can decode.
    return QFileDialog::getOpenFileUrls(parent, title, QUrl(), filter);
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

QString GuiFileDialogs::ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, title, startFolder);
}

} // namespace velmora
