#include "integration/FileAssociation.h"

#include "platform/BaseFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace velmora {

namespace {

constexpr const char* kMimePackageName = "velmora-archive.xml";
constexpr const char* kDefaultsSection = "[Default Applications]";
// A cache tool that hangs must not hold up the start for long.
constexpr int kCacheToolTimeoutMs = 10000;

// One argument of an Exec line in double quotes: inside them the desktop's launchers
// take a backslash before " ` $ and \ as escaping it.
std::string QuotedExecArgument(const std::string& argument)
{
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '\n' || c == '\r')
            throw std::invalid_argument("a program path with a line break cannot be started from a desktop entry");
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        // The launcher expands field codes inside the arguments too.
        if (c == '%')
            quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

// A desktop entry's string value: its own escape rule for the backslash comes before
// the Exec line's quoting rule.
std::string EscapedStringValue(const std::string& value)
{
    std::string escaped;
    for (const char c : value) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

void WriteWhole(const std::string& path, const std::string& content)
{
    const QString name = QString::fromStdString(path);
    if (!QDir().mkpath(QFileInfo(name).absolutePath()))
        throw std::runtime_error("cannot create the folder of " + path);
    // Replaced as a whole, so a desktop reading it meanwhile never sees half a file.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write " + path + ": " + file.errorString().toStdString());
    file.write(content.data(), static_cast<qint64>(content.size()));
    if (!file.commit())
        throw std::runtime_error("cannot write " + path + ": " + file.errorString().toStdString());
}

std::string ReadWhole(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// Runs a cache tool on folder when it is installed; its failure leaves the desktop to
// notice the files itself, as it does when no tool is there.
void UpdateCache(const char* tool, const std::string& folder)
{
    const QString program = QStandardPaths::findExecutable(QString::fromLatin1(tool));
    if (program.isEmpty())
        return;
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {QString::fromStdString(folder)});
    if (process.waitForStarted() && !process.waitForFinished(kCacheToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
}

std::string FolderOf(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
}

} // namespace

FileAssociationPaths FileAssociationPaths::ForUser()
{
    const std::string data = XdgBaseFolder("XDG_DATA_HOME", ".local/share");
    const std::string config = XdgBaseFolder("XDG_CONFIG_HOME", ".config");
    return {data + "/mime/packages/" + kMimePackageName, data + "/applications/" + kArchiveDesktopId,
            config + "/mimeapps.list"};
}

std::string ArchiveOpenCommand(const std::string& program)
{
    return QuotedExecArgument(program) + " %f";
}

std::string ArchiveMimePackage()
{
    return std::string(R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type=")") + kArchiveMimeType + R"(">
    <comment>)" + kArchiveTypeComment + R"(</comment>
    <generic-icon name="velmora"/>
    <glob pattern="*.eta"/>
  </mime-type>
</mime-info>
)";
}

std::string ArchiveDesktopEntry(const std::string& program)
{
    return std::string("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Velmora\n"
                       "Comment=Import a Velmora Transfer Archive\n"
                       "Icon=velmora\n"
                       "Exec=") +
           EscapedStringValue(ArchiveOpenCommand(program)) + "\n" +
           "MimeType=" + kArchiveMimeType + ";\n" +
           "NoDisplay=true\n"
           "Terminal=false\n";
}

std::string WithArchiveDefault(const std::string& mimeApps)
{
    const std::string key = std::string(kArchiveMimeType) + "=";
    const std::string entry = key + kArchiveDesktopId;

    std::vector<std::string> lines;
    std::istringstream in(mimeApps);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);

    bool inDefaults = false;
    std::size_t insertAt = std::string::npos;   // after the defaults section's last entry
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line.front() == '[') {
            inDefaults = line == kDefaultsSection;
            if (inDefaults)
                insertAt = i + 1;
            continue;
        }
        if (!inDefaults)
            continue;
        if (line.compare(0, key.size(), key) == 0) {
            lines[i] = entry;
            insertAt = std::string::npos;
            break;
        }
        if (!line.empty())
            insertAt = i + 1;
    }

    const bool found = std::find(lines.begin(), lines.end(), entry) != lines.end();
    if (!found) {
        if (insertAt == std::string::npos) {
            if (!lines.empty() && !lines.back().empty())
                lines.emplace_back();
            lines.emplace_back(kDefaultsSection);
            insertAt = lines.size();
        }
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
    }

    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

void RegisterFileAssociation(const std::string& program, const FileAssociationPaths& paths)
{
    // A program path no entry can carry is refused before anything is written.
    const std::string entry = ArchiveDesktopEntry(program);
    WriteWhole(paths.mimePackage, ArchiveMimePackage());
    WriteWhole(paths.desktopEntry, entry);
    WriteWhole(paths.mimeApps, WithArchiveDefault(ReadWhole(paths.mimeApps)));

    // packages/ lies one level below the MIME database's folder.
    UpdateCache("update-mime-database", FolderOf(FolderOf(paths.mimePackage)));
    UpdateCache("update-desktop-database", FolderOf(paths.desktopEntry));
}

} // namespace velmora
