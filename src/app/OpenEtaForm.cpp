#include "app/OpenEtaForm.h"

#include "app/ArgumentClasses.h"
#include "app/HandOverProtocol.h"
#include "app/HandOverTarget.h"
#include "app/LogCategories.h"
#include "store/LibraryFiles.h"

#include <QFile>

#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

namespace velmora {

namespace {

std::string Trimmed(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
        ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
        --last;
    return text.substr(first, last - first);
}

bool SameFolder(const std::string& a, const std::string& b)
{
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error))
        return true;
    // Folders not made yet: the same when their names lead to the same place.
    const auto placeOf = [](const std::string& path) {
        std::error_code ignored;
        std::filesystem::path place = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ignored), ignored);
        while (place.has_relative_path() && !place.has_filename())
            place = place.parent_path();
        return place;
    };
    return placeOf(a) == placeOf(b);
}

std::string OtherLibraryMessage(const std::string& open, const std::string& named, bool withItems)
{
    if (withItems)
        return "Velmora has the library in \"" + open +
               "\" open, so nothing was added or imported: the files were meant for the library in \"" + named +
               "\". Close Velmora and start it again with that library to add them there.";
    return "Velmora has the library in \"" + open + "\" open. To open the library in \"" + named +
           "\", close Velmora and start it again with that library.";
}

} // namespace

TfrmOpenETA::TfrmOpenETA(HandOverTarget& target, std::string appDir, QObject* parent)
    : QObject(parent)
    , m_target(target)
    , m_appDir(std::move(appDir))
    , m_window(kOpenEtaCaption)
{
    connect(&m_window, &MessageWindow::MessageReceived, this, &TfrmOpenETA::MessageReceived);
}

TfrmOpenETA::TfrmOpenETA(HandOverTarget& target, QObject* parent)
    : TfrmOpenETA(target, HandOverFolder(), parent)
{
}

bool TfrmOpenETA::Create()
{
    return m_window.Create();
}

void TfrmOpenETA::MessageReceived(quint32 message, quint64, qint64 lParam)
{
    if (message != WM_OPENETA)
        return;
    // Errors of a hand-over end the hand-over without a word, as every error that no
    // operation catches; they must not unwind through the socket's event handling.
    try {
        WMOpenETA(lParam);
    } catch (...) {
    }
}

void TfrmOpenETA::WMOpenETA(std::int64_t lParam)
{
    m_target.BringToFront();

    const std::optional<std::string> name = ListFileNameFromNumber(lParam);
    if (!name)
        return;
    QFile list(QString::fromStdString(JoinPath(m_appDir, *name)));
    if (!list.open(QIODevice::ReadOnly))
        return;

    std::vector<std::string> archives;
    std::vector<std::string> files;
    std::optional<std::string> dataFolder;
    while (!list.atEnd()) {
        QByteArray line = list.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        const std::string path = line.toStdString();
        qCDebug(lcHandOver, "handed over %s", path.c_str());
        if (path.starts_with(kDataFolderLine))
            dataFolder = path.substr(std::string_view(kDataFolderLine).size());
        else if (IsArchivePath(path))
            archives.push_back(path);
        else if (IsPathToAdd(path))
            files.push_back(path);
    }
    list.close();
    list.remove();

    if (dataFolder && !SameFolder(*dataFolder, GetDataDir())) {
        m_target.RefuseHandOver(OtherLibraryMessage(GetDataDir(), *dataFolder, !files.empty() || !archives.empty()));
        return;
    }
    if (!files.empty())
        m_target.AddFileList(files, m_target.DeleteSourceByDefault() ? 2 : 0);
    for (const std::string& archive : archives)
        m_target.ImportArchive(Trimmed(archive));
}

} // namespace velmora
