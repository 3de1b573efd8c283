#include "support/WriteLog.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <stdexcept>
#include <sys/stat.h>

namespace velmora::test {

namespace fs = std::filesystem;

std::map<std::string, std::string> WriteLogEnvironment(const fs::path& logFile, const fs::path& folder)
{
    // A sanitized program wants its runtime first; the log library is not sanitized.
    const char* asan = std::getenv("ASAN_OPTIONS");
    return {{"LD_PRELOAD", VELMORA_WRITE_LOG_LIBRARY},
            {"VELMORA_WRITE_LOG", logFile.string()},
            {"VELMORA_WRITE_LOG_DIR", fs::canonical(folder).string()},
            {"ASAN_OPTIONS", std::string(asan ? asan : "") + ":verify_asan_link_order=0"}};
}

std::vector<WriteLogEntry> ReadWriteLog(const fs::path& logFile)
{
    std::ifstream in(logFile, std::ios::binary);
    if (!in)
        throw std::runtime_error("no write log at " + logFile.string());
    std::vector<WriteLogEntry> entries;
    WriteLogHeader header{};
    while (in.read(reinterpret_cast<char*>(&header), sizeof header)) {
        WriteLogEntry entry;
        entry.op = static_cast<WriteLogOp>(header.op);
        entry.number = header.number;
        entry.path.resize(header.pathLength);
        entry.second.resize(header.secondLength);
        entry.data.resize(header.dataLength);
        in.read(entry.path.data(), header.pathLength);
        in.read(entry.second.data(), header.secondLength);
        in.read(entry.data.data(), static_cast<std::streamsize>(header.dataLength));
        if (!in)
            throw std::runtime_error("the write log " + logFile.string() + " ends inside an entry");
        entries.push_back(std::move(entry));
    }
    return entries;
}

struct CrashStates::File {
    std::string current;   // every write
    std::string durable;   // as of the last sync
};

CrashStates::CrashStates(const fs::path& before, std::vector<WriteLogEntry> entries)
    : m_before(before), m_entries(std::move(entries))
{
    for (const WriteLogEntry& entry : m_entries)
        if (entry.op == WriteLogOp::Unsupported)
            throw std::runtime_error("the program changed " + entry.path + " in a way the log cannot replay (" +
                                     entry.second + ")");
    Reset();
}

CrashStates::~CrashStates() = default;

void CrashStates::Reset()
{
    m_names.clear();
    for (const auto& item : fs::directory_iterator(m_before)) {
        auto file = std::make_shared<File>();
        file->current = ReadFile(item.path());
        file->durable = file->current;
        m_names[item.path().filename().string()] = file;
    }
    m_durableNames = m_names;
    m_applied = 0;
}

void CrashStates::Apply(const WriteLogEntry& entry)
{
    auto named = [this, &entry]() -> File& {
        auto found = m_names.find(entry.path);
        if (found == m_names.end())   // made before the log could see it: taken as new
            found = m_names.emplace(entry.path, std::make_shared<File>()).first;
        return *found->second;
    };
    switch (entry.op) {
    case WriteLogOp::Write: {
        std::string& bytes = named().current;
        const auto end = static_cast<std::size_t>(entry.number) + entry.data.size();
        if (bytes.size() < end)
            bytes.resize(end, '\0');
        std::copy(entry.data.begin(), entry.data.end(), bytes.begin() + entry.number);
        break;
    }
    case WriteLogOp::Truncate:
        named().current.resize(static_cast<std::size_t>(entry.number), '\0');
        break;
    case WriteLogOp::Extend:
        if (entry.number >= 0 && named().current.size() < static_cast<std::size_t>(entry.number))
            named().current.resize(static_cast<std::size_t>(entry.number), '\0');
        break;
    case WriteLogOp::Sync:
        if (!entry.path.empty())
            named().durable = named().current;
        // A sync commits the file system's journal: every change of names made so far.
        m_durableNames = m_names;
        break;
    case WriteLogOp::Create:
        m_names[entry.path] = std::make_shared<File>();
        break;
    case WriteLogOp::Rename: {
        auto found = m_names.find(entry.path);
        if (found != m_names.end()) {
            m_names[entry.second] = found->second;
            m_names.erase(entry.path);
        }
        break;
    }
    case WriteLogOp::Unlink:
        m_names.erase(entry.path);
        break;
    case WriteLogOp::Output:
    case WriteLogOp::Unsupported:
        break;
    }
}

std::vector<std::size_t> CrashStates::Points(bool every) const
{
    std::set<std::size_t> points{0, m_entries.size()};
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (every) {
            points.insert(i);
            continue;
        }
        const WriteLogEntry& entry = m_entries[i];
        if (entry.op != WriteLogOp::Write) {
            points.insert(i);
            points.insert(i + 1);
            continue;
        }
        std::size_t end = i;
        while (end < m_entries.size() && m_entries[end].op == WriteLogOp::Write && m_entries[end].path == entry.path)
            ++end;
        points.insert(i);
        points.insert((i + end) / 2);
        points.insert(end);
        i = end - 1;
    }
    return {points.begin(), points.end()};
}

std::string CrashStates::OutputBefore(std::size_t point) const
{
    std::string output;
    for (std::size_t i = 0; i < point && i < m_entries.size(); ++i)
        if (m_entries[i].op == WriteLogOp::Output)
            output += m_entries[i].data;
    return output;
}

CrashStates::Files CrashStates::At(std::size_t point,
                                   const std::function<Persistence(const std::string& file)>& persistenceOf)
{
    if (point < m_applied)
        Reset();
    for (; m_applied < point && m_applied < m_entries.size(); ++m_applied)
        Apply(m_entries[m_applied]);

    auto kept = [](const std::string& name) { return name.size() < 4 || name.substr(name.size() - 4) != "-shm"; };
    // Names survive as of the last sync unless every file keeps everything written.
    bool anythingWhole = false;
    for (const auto& [name, file] : m_names)
        anythingWhole = anythingWhole || persistenceOf(name) == Persistence::Everything;
    Files files;
    for (const auto& [name, file] : anythingWhole ? m_names : m_durableNames)
        if (kept(name))
            files[name] = persistenceOf(name) == Persistence::Everything ? file->current : file->durable;
    return files;
}

void WriteFiles(const CrashStates::Files& files, const fs::path& folder)
{
    for (const auto& [name, bytes] : files) {
        WriteFile(folder / name, bytes);
        fs::permissions(folder / name, fs::perms::owner_read | fs::perms::owner_write);
    }
}

} // namespace velmora::test
