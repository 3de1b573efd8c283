#include "integration/FileAssociation.h"

#include "platform/BaseFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace velmora {

namespace fs = std::filesystem;

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

// True when the file was there and is gone; a failure is noted in failures.
bool RemoveIfThere(const std::string& path, std::vector<std::string>& failures)
{
    std::error_code error;
    const bool removed = fs::remove(path, error);
    if (error)
        failures.push_back(path + ": " + error.message());
    return removed;
}

bool HoldsAnyFile(const fs::path& folder, const std::string& extension)
{
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (extension.empty() ? !it->is_directory(error) : it->path().extension() == extension)
            return true;
    return false;
}

// Everything in a user's MIME folder but packages/ is the database update-mime-database
// makes from packages/: with no package left it describes nothing, and it would only
// outlive the program.
void RefreshMimeDatabase(const fs::path& mime, std::vector<std::string>& failures)
{
    if (HoldsAnyFile(mime / "packages", {})) {
        UpdateCache("update-mime-database", mime.string());
        return;
    }
    std::error_code error;
    for (fs::directory_iterator it(mime, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename() == "packages")
            continue;
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        if (removeError)
            failures.push_back(it->path().string() + ": " + removeError.message());
    }
    // Left only if something is still inside.
    fs::remove(mime / "packages", error);
    fs::remove(mime, error);
}

// update-desktop-database's cache of which entry opens which type, likewise.
void RefreshDesktopCache(const fs::path& applications, std::vector<std::string>& failures)
{
    if (HoldsAnyFile(applications, ".desktop"))
        UpdateCache("update-desktop-database", applications.string());
    else
        RemoveIfThere((applications / "mimeinfo.cache").string(), failures);
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

std::string WithoutArchiveEntry(const std::string& mimeApps)
{
    const std::string key = std::string(kArchiveMimeType) + "=";
    std::istringstream in(mimeApps);
    std::string text;
    bool changed = false;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            // A value is one entry or a list of them, each ended by ";".
            std::istringstream entries(line.substr(key.size()));
            std::string kept;
            for (std::string entry; std::getline(entries, entry, ';');)
                if (!entry.empty() && entry != kArchiveDesktopId)
                    kept += entry + ";";
            if (line.back() != ';' && !kept.empty())
                kept.pop_back();
            changed = changed || key + kept != line;
            if (kept.empty())
                continue;
            line = key + kept;
        }
        text += line + "\n";
    }
    return changed ? text : mimeApps;
}

namespace {

// Nothing but section heads, comments and blank lines.
bool HoldsNoEntry(const std::string& mimeApps)
{
    std::istringstream in(mimeApps);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line.front() != '[' && line.front() != '#')
            return false;
    return true;
}

} // namespace

void UnregisterFileAssociation(const FileAssociationPaths& paths)
{
    std::vector<std::string> failures;
    const bool hadPackage = RemoveIfThere(paths.mimePackage, failures);
    const bool hadEntry = RemoveIfThere(paths.desktopEntry, failures);

    const std::string mimeApps = ReadWhole(paths.mimeApps);
    const std::string without = WithoutArchiveEntry(mimeApps);
    if (without != mimeApps) {
        try {
            // A file the first start made holds nothing else once our default has gone.
            if (HoldsNoEntry(without))
                RemoveIfThere(paths.mimeApps, failures);
            else
                WriteWhole(paths.mimeApps, without);
        } catch (const std::runtime_error& failure) {
            failures.emplace_back(failure.what());
        }
    }

    if (hadPackage)
        RefreshMimeDatabase(fs::path(FolderOf(FolderOf(paths.mimePackage))), failures);
    if (hadEntry)
        RefreshDesktopCache(fs::path(FolderOf(paths.desktopEntry)), failures);

    if (!failures.empty()) {
        std::string message = "cannot remove the archive association:";
        for (const std::string& failure : failures)
            message += " " + failure + ";";
        message.pop_back();
        throw std::runtime_error(message);
    }
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
