#include "catalogue/DragMarkers.h"

#include <QMimeData>
#include <QUrl>

namespace velmora {

namespace {

constexpr const char* kCopiedFilesMimeType = "x-special/gnome-copied-files";

std::vector<std::string> LocalFiles(const QList<QUrl>& urls)
{
    std::vector<std::string> paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            paths.push_back(url.toLocalFile().toStdString());
    return paths;
}

} // namespace

std::unique_ptr<QMimeData> NewMarkerDrag(const char* marker)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QString::fromLatin1(kFileListMimeType), QByteArray(marker) + "\r\n");
    return data;
}

std::string DroppedFileListText(const QMimeData& data)
{
    if (data.hasFormat(QString::fromLatin1(kFileListMimeType)))
        return data.data(QString::fromLatin1(kFileListMimeType)).toStdString();
    std::string text;
    for (const std::string& path : DroppedPaths(data))
        text += path + "\r\n";
    return text;
}

std::vector<std::string> DroppedPaths(const QMimeData& data)
{
    if (data.hasFormat(QString::fromLatin1(kFileListMimeType)))
        return {};
    if (data.hasUrls())
        return LocalFiles(data.urls());
    if (data.hasFormat(QString::fromLatin1(kCopiedFilesMimeType))) {
        // First line "copy" or "cut", then one URL per line.
        const QList<QByteArray> lines = data.data(QString::fromLatin1(kCopiedFilesMimeType)).split('\n');
        QList<QUrl> urls;
        for (qsizetype i = 1; i < lines.size(); ++i)
            if (!lines[i].trimmed().isEmpty())
                urls << QUrl(QString::fromUtf8(lines[i].trimmed()));
        return LocalFiles(urls);
    }
    return {};
}

} // namespace velmora
