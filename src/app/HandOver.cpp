#include "app/HandOver.h"

#include "app/ArgumentClasses.h"
#include "app/CommandLine.h"
#include "app/HandOverProtocol.h"
#include "platform/WindowMessages.h"
#include "store/LibraryFiles.h"

#include <QFile>

#include <filesystem>
#include <system_error>

namespace velmora {

namespace {

// The running instance has its own working folder, so a relative path is sent as the
// absolute path it means here.
std::string AbsolutePath(const std::string& argument)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
    return error ? argument : absolute.string();
}

} // namespace

HandOverResult HandOverToRunningInstance(const std::vector<std::string>& arguments,
                                         const QTime& now, const std::string& appDir)
{
    HandOverResult result;
    if (appDir.empty())
        return result;
    const std::string name = ListFileName(now);
    result.listFile = JoinPath(appDir, name);

    // The file is made only when there is something to hand over, so a plain second
    // start never empties a list file another start wrote in the same second.
    QFile list(QString::fromStdString(result.listFile));
    bool writeFailed = false;
    const auto writeLine = [&](const std::string& text) {
        if (!list.isOpen() && !list.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        const QByteArray line = QByteArray::fromStdString(text) + "\r\n";
        return list.write(line) == line.size() && list.flush();
    };
    // The library this start was meant for goes first: the running instance adds
    // nothing to another one.
    if (const std::optional<std::string> dataDir = CommandLine::Parse(arguments).dataDir) {
        result.windowFound = FindWindow(kOpenEtaCaption);
        if (result.windowFound) {
            writeFailed = !writeLine(kDataFolderLine + AbsolutePath(*dataDir));
            if (!writeFailed)
                ++result.written;
        }
    }
    // An empty folder given alone names a library to make, nothing to add.
    const bool nothingToAdd = IsNewLibraryFolderAlone(arguments);
    for (const std::string& argument : nothingToAdd ? std::vector<std::string>{} : arguments) {
        if (writeFailed || !QualifiesForHandOver(argument))
            continue;
        result.windowFound = FindWindow(kOpenEtaCaption);
        if (!result.windowFound)
            break;
        if (!writeLine(AbsolutePath(argument))) {
            writeFailed = true;
            break;
        }
        ++result.written;
    }
    if (list.isOpen())
        list.close();

    if (!writeFailed && result.written > 0 && result.windowFound)
        result.posted = PostMessage(kOpenEtaCaption,
                                    WindowMessage{WM_OPENETA, 0, ListFileNumber(name)});
    // A list file nobody will read would only pile up in the program folder.
    if (!result.posted && list.exists() && (result.written > 0 || writeFailed))
        list.remove();
    return result;
}

HandOverResult HandOverToRunningInstance(const std::vector<std::string>& arguments)
{
    return HandOverToRunningInstance(arguments, QTime::currentTime(), HandOverFolder());
}

} // namespace velmora
