#include "catalogue/LocalFileUrl.h"

#include <QByteArray>
#include <QList>
#include <QUrl>

namespace velmora {

namespace {

// A URL line with every byte outside ASCII percent-encoded, so that parsing it
// decodes nothing as UTF-8.
QByteArray EncodedLine(const QByteArray& line)
{
    QByteArray encoded;
    encoded.reserve(line.size());
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += QByteArray::number(byte, 16).toUpper();
        }
    }
    return encoded;
}

} // namespace

std::optional<std::string> LocalFilePath(const QUrl& url)
{
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    // As QUrl::toLocalFile(): a file on another host is named //host/path.
    const QString host = url.host(QUrl::FullyEncoded);
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0)
        path = "//" + host.toLatin1() + path;
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

std::vector<std::string> LocalFilesOfUrlLines(const QList<QByteArray>& lines)
{
    std::vector<std::string> paths;
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (auto path = LocalFilePath(QUrl::fromEncoded(EncodedLine(line))))
            paths.push_back(std::move(*path));
    }
    return paths;
}

} // namespace velmora
