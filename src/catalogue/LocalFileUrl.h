#pragma once

#include <QByteArray>
#include <QList>
#include <QUrl>

#include <optional>
#include <string>
#include <vector>

namespace velmora {

// Local file URLs as paths in the file system's own bytes. File names need not be
// valid UTF-8; their URLs carry such bytes percent-encoded, and these routines decode
// them straight to bytes, never through a QString (which would put U+FFFD in their
// place), so a file named anywhere else reaches the same file as from a folder walk.

// The path of a file: URL; none for another scheme or an empty path.
std::optional<std::string> LocalFilePath(const QUrl& url);

// The local files of URL lines (text/uri-list, or the lines of the desktop's
// copied-files format), in order. Blank lines, comments ("#") and URLs that are not
// local files give nothing. Bytes outside ASCII that a careless source left
// unencoded are taken as they are.
std::vector<std::string> LocalFilesOfUrlLines(const QList<QByteArray>& lines);

} // namespace velmora
