#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace velmora::test {

// A fresh folder under the system's temp folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    // Under the given folder instead.
    explicit TempDir(const std::filesystem::path& parent);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The folder the build puts every program and shipped file in.
std::filesystem::path BinDir();

// Writes bytes to a file, replacing it.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& file);
// count bytes of a repeatable pattern that differs from item to item by seed.
std::string PatternBytes(std::size_t count, unsigned seed);

struct ProcessResult {
    int exitCode = -1;      // -signal when killed by a signal
    std::string out;
    std::string err;
};

// Threads of this process now (a pipeline's threads must all be gone once it returns).
int ThreadCount();
// ThreadCount once it has come down to expected, or after ten seconds: a joined thread
// leaves the process's list a moment after it has ended.
int ThreadCountSettledAt(int expected);

// A number from a library's database file as it stands: read without opening the
// library, which would first finish or take back interrupted work.
std::int64_t RawScalar(const std::filesystem::path& databaseFile, const std::string& sql);

// Runs a program of the build folder (e.g. "velmora-tool") with arguments, extra
// environment variables and standard input; waits for it.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         const std::string& input = {});

// The same as a user without privileges: as root (as in CI), through setpriv as
// nobody, whose permission checks root would bypass; otherwise as this user.
ProcessResult RunProgramUnprivileged(const std::string& program, const std::vector<std::string>& args,
                                     const std::map<std::string, std::string>& env = {});
// Hands a file or folder tree over to the user RunProgramUnprivileged runs as.
void GiveToUnprivilegedUser(const std::filesystem::path& path);

} // namespace velmora::test
