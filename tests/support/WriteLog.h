#pragma once

#include "support/WriteLogFormat.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace velmora::test {

// What a program changed in a folder, in order, as WriteLogPreload.cpp records it.
struct WriteLogEntry {
    WriteLogOp op{};
    std::string path;     // relative to the folder; "" is the folder itself
    std::string second;   // a rename's new name; what an unsupported call was
    std::int64_t number = 0;
    std::string data;
};

// The environment that makes a program started with it log into logFile the changes it
// makes to the files of folder.
std::map<std::string, std::string> WriteLogEnvironment(const std::filesystem::path& logFile,
                                                       const std::filesystem::path& folder);
std::vector<WriteLogEntry> ReadWriteLog(const std::filesystem::path& logFile);

// How much of what was written before a power cut is on the disk afterwards, file by file.
enum class Persistence {
    Everything,   // every write made before the cut
    SyncedOnly,   // what the file held when it was last synced (its creation, rename or
                  // removal counts once anything at all has been synced after it)
};

// The states that power cuts during the logged run can leave the folder in: a cut after
// any number of entries ("point"), each file as the given persistence has it.
class CrashStates {
public:
    // before: a copy of the folder as it was when the logged run started.
    CrashStates(const std::filesystem::path& before, std::vector<WriteLogEntry> entries);
    ~CrashStates();
    CrashStates(const CrashStates&) = delete;
    CrashStates& operator=(const CrashStates&) = delete;

    std::size_t Size() const { return m_entries.size(); }
    const std::vector<WriteLogEntry>& Entries() const { return m_entries; }
    // The points worth a cut: every one, or (sampled) where something other than more
    // bytes of the same file happens: before and after each sync, creation, rename,
    // removal, truncation and report, at the start, middle and end of each run of writes
    // to one file, and at both ends of the log.
    std::vector<std::size_t> Points(bool every) const;
    // What the program had written to its standard output before point.
    std::string OutputBefore(std::size_t point) const;

    using Files = std::map<std::string, std::string>;
    // The folder's files after a cut at point; persistenceOf says how much of each file
    // survives. The engine's shared-memory index (-shm) is never part of it: it is
    // rebuilt from the log when a database is opened after a crash.
    Files At(std::size_t point, const std::function<Persistence(const std::string& file)>& persistenceOf);

private:
    struct File;
    void Reset();
    void Apply(const WriteLogEntry& entry);

    std::filesystem::path m_before;
    std::vector<WriteLogEntry> m_entries;
    std::size_t m_applied = 0;
    std::map<std::string, std::shared_ptr<File>> m_names;          // as the program sees them
    std::map<std::string, std::shared_ptr<File>> m_durableNames;   // as of the last sync
};

// Writes files into folder (which must be empty), each private to the user.
void WriteFiles(const CrashStates::Files& files, const std::filesystem::path& folder);

} // namespace velmora::test
