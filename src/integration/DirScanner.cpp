#include "integration/DirScanner.h"

#include "integration/FileClaim.h"
#include "store/AddItemOnThread.h"
#include "store/MediaExtensions.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

namespace velmora {

namespace {

struct Entry {
    std::string path;
    FileStamp stamp;
};

// The supported plain files of the folder in the file system's order. Hidden files
// (a leading dot) are the user's or other programs' business and are skipped.
std::vector<Entry> ListCandidates(const std::string& directory)
{
    std::vector<Entry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    for (const std::filesystem::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.' || !IsSupportedMediaFile(name))
            continue;
        std::string path = it->path().string();
        if (auto stamp = StampOfPath(path))
            entries.push_back({std::move(path), *stamp});
    }
    return entries;
}

} // namespace

DirScanner::DirScanner(Importer importer)
    : m_import(importer ? std::move(importer) : Importer(&AddMonitoredFile))
{
}

ScanReport DirScanner::Scan(const std::string& directory)
{
    ScanReport report;
    report.scanned = true;

    const std::vector<Entry> entries = ListCandidates(directory);
    std::map<std::string, FileStamp> previous = std::exchange(m_seen, {});
    for (const Entry& entry : entries)
        m_seen[entry.path] = entry.stamp;

    // Forget kept files that are gone or have changed: a changed file is new content.
    std::erase_if(m_importedKept, [this](const auto& kept) {
        const auto now = m_seen.find(kept.first);
        return now == m_seen.end() || now->second != kept.second;
    });
    for (auto it = m_importedKept.begin(); it != m_importedKept.end();) {
        if (RetryDelete(it->first, it->second)) {
            m_seen.erase(it->first);
            it = m_importedKept.erase(it);
        } else {
            ++it;
        }
    }

    for (const Entry& entry : entries) {
        if (!m_seen.contains(entry.path) || m_importedKept.contains(entry.path))
            continue;
        const auto before = previous.find(entry.path);
        if (before == previous.end() || before->second != entry.stamp)
            continue;   // new or still changing: look again next scan
        if (TryImport(entry.path, entry.stamp, report))
            break;
    }
    return report;
}

bool DirScanner::TryImport(const std::string& path, const FileStamp& stamp, ScanReport& report)
{
    FileClaim claim(path);
    if (!claim.Held()) {
        report.busy.push_back(path);
        return false;
    }
    const auto held = claim.Stamp();
    if (!held || *held != stamp)
        return false;   // written to since it was listed

    bool added = false;
    try {
        added = m_import(path);
    } catch (const std::exception&) {
        added = false;
    }
    if (!added) {
        report.refused.push_back(path);
        return false;
    }
    report.imported = path;

    // A writer that ignores locks may have changed the file while it was read: the
    // item may then lack part of it, so the file is kept and imported again once
    // it is still.
    const auto after = claim.Stamp();
    const auto named = StampOfPath(path);
    if (!after || *after != stamp || !named || *named != stamp)
        return true;
    if (::unlink(path.c_str()) == 0)
        report.deleted = true;
    else if (errno != ENOENT)
        m_importedKept[path] = stamp;   // otherwise every scan would add it again
    return true;
}

bool DirScanner::RetryDelete(const std::string& path, const FileStamp& stamp)
{
    const auto named = StampOfPath(path);
    if (!named || *named != stamp)
        return true;
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

} // namespace velmora
