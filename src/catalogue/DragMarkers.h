#pragma once

#include <memory>
#include <string>
#include <vector>

class QMimeData;

namespace velmora {

// Drags that start inside the program carry one marker name instead of files; drop
// targets recognise it and take the items from the item list's selection.
inline constexpr const char* kListDragMarker = "INTERNAL - LISTVIEW";
inline constexpr const char* kPlaylistDragMarker = "PLAYLIST SHUFFLE";

// The program's own file-list format, which only its own drags carry; a file manager
// never sees the marker as a file.
inline constexpr const char* kFileListMimeType = "application/x-velmora-file-list";

// A drag carrying the single marker name.
std::unique_ptr<QMimeData> NewMarkerDrag(const char* marker);

// The dropped file list as drop handlers compare it: every entry followed by CR LF
// ("INTERNAL - LISTVIEW\r\n" for a drag from the item list). Files from outside come
// as local file URLs; anything else (web links, plain text) gives no entry.
std::string DroppedFileListText(const QMimeData& data);

// The local files a drop or a paste carries, in order: text/uri-list, or the desktop's
// copied-files format ("copy"/"cut" followed by URLs). Marker drags give none.
std::vector<std::string> DroppedPaths(const QMimeData& data);

} // namespace velmora
