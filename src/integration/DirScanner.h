#pragma once

#include "integration/FileStamp.h"
#include "integration/ScanReport.h"

#include <functional>
#include <map>
#include <string>

namespace velmora {

// One scan of the watched folder, with the memory a scan needs of the one before.
//
// A file is offered to the import only when it looks the same (same file, size,
// modification and change time) as at the previous scan, no process has it open for
// writing and no other open file holds a lock on it: Linux has no share modes, so
// this is how a file still being written, or held open by a writer that pauses, is
// left until it is complete. At most one file is imported per scan; it is deleted
// only after its whole content was stored and only if it did not change meanwhile.
// Subfolders, hidden files, anything but plain files and unsupported extensions are
// never opened.
class DirScanner {
public:
    // Adds the file at the path as an item; true only when its whole content is stored.
    using Importer = std::function<bool(const std::string& path)>;

    // The importer defaults to AddMonitoredFile.
    explicit DirScanner(Importer importer = {});

    // Never throws for a missing or unreadable folder or file: they are skipped.
    ScanReport Scan(const std::string& directory);

private:
    bool TryImport(const std::string& path, const FileStamp& stamp, ScanReport& report);
    bool RetryDelete(const std::string& path, const FileStamp& stamp);

    Importer m_import;
    // Stamps seen by the previous scan, by full path.
    std::map<std::string, FileStamp> m_seen;
    // Imported files whose deletion failed; they are not imported again while
    // unchanged, and their deletion is tried again at every scan.
    std::map<std::string, FileStamp> m_importedKept;
};

} // namespace velmora
