#pragma once

#include <QString>
#include <QList>
#include <QStringList>
#include <QUrl>

class QWidget;

namespace velmora {

// The folder chooser's title wherever a folder is asked for.
inline constexpr const char* kSelectDirectoryTitle = "Select Directory";

// The file and folder choosers the Library page opens. Behind an interface so that
// widget tests can answer them without a modal dialog; an empty answer is Cancel.
// Filters use Qt's form ("Pictures (*.jpg *.gif);;All Files (*)").
class FileDialogs {
public:
    virtual ~FileDialogs() = default;

    // One or more existing files, as URLs: a name that is not valid UTF-8 keeps its
    // bytes there (percent-encoded), where a QString would lose them.
    virtual QList<QUrl> OpenFiles(QWidget* parent, const QString& title, const QString& filter) = 0;
    // One existing file; fileName presets the name box.
    virtual QString OpenFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& fileName) = 0;
    // A file name to write; the chooser does not ask before replacing a file.
    virtual QString SaveFile(QWidget* parent, const QString& title, const QString& filter,
                             const QString& fileName) = 0;
    // An existing folder; the chooser opens at startFolder when given.
    virtual QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;
};

// The desktop's own choosers (QFileDialog).
class GuiFileDialogs final : public FileDialogs {
public:
    QList<QUrl> OpenFiles(QWidget* parent, const QString& title, const QString& filter) override;
    QString OpenFile(QWidget* parent, const QString& title, const QString& filter, const QString& fileName) override;
    QString SaveFile(QWidget* parent, const QString& title, const QString& filter, const QString& fileName) override;
    QString ChooseFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
};

} // namespace velmora
