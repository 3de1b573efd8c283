#include "catalogue/DragMarkers.h"

#include "catalogue/LocalFileUrl.h"

#include <QMimeData>

namespace velmora {

namespace {

constexpr const char* kCopiedFilesMimeType = "x-special/gnome-copied-files";
constexpr const char* kUriListMimeType = "text/uri-list";

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
    // The raw list, not urls(): that decodes each URL to a QString first.
    if (data.hasFormat(QString::fromLatin1(kUriListMimeType)))
        return LocalFilesOfUrlLines(data.data(QString::fromLatin1(kUriListMimeType)).split('\n'));
    if (data.hasFormat(QString::fromLatin1(kCopiedFilesMimeType))) {
        // First line "copy" or "cut", then one URL per line.
        QList<QByteArray> lines = data.data(QString::fromLatin1(kCopiedFilesMimeType)).split('\n');
        if (!lines.isEmpty())
            lines.removeFirst();
        return LocalFilesOfUrlLines(lines);
    }
    return {};
}

} // namespace velmora
