#include "integration/AutomationRegistration.h"

#include "integration/TnApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace velmora {

namespace {

// The activation file's Exec line is split like a shell command line: a program path
// with blanks or quotes stays one word inside single quotes ("'" as '"'"'). The file
// itself reads backslashes as escapes, so those are doubled (a newline written "\n").
std::string ExecWord(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word) {
        if (c == '\'')
            quoted += "'\"'\"'";
        else if (c == '\\')
            quoted += "\\\\";
        else if (c == '\n')
            quoted += "\\n";
        else
            quoted += c;
    }
    return quoted + "'";
}

} // namespace

std::string AutomationRegistration::ActivationFile()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QFile::encodeName(data).toStdString() + "/dbus-1/services/" + kAutomationService + ".service";
}

std::string AutomationRegistration::ActivationFileText(const std::string& program)
{
    return std::string("[D-BUS Service]\n") + "Name=" + kAutomationService + "\n" + "Exec=" + ExecWord(program) +
           " -embedding\n";
}

void AutomationRegistration::RegisterServer(const std::string& program)
{
    const std::string path = ActivationFile();
    const QString file = QFile::decodeName(path.c_str());
    const QByteArray text = QByteArray::fromStdString(ActivationFileText(program));
    {
        QFile current(file);
        if (current.open(QIODevice::ReadOnly) && current.readAll() == text)
            return;
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        throw Failed("cannot make the folder of " + path);
    // Whole or not at all: the bus may read the file at any moment.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit())
        throw Failed("cannot write " + path + ": " + out.errorString().toStdString());
}

void AutomationRegistration::UnregisterServer()
{
    const std::string path = ActivationFile();
    QFile file(QFile::decodeName(path.c_str()));
    if (file.exists() && !file.remove())
        throw Failed("cannot remove " + path + ": " + file.errorString().toStdString());
}

} // namespace velmora
