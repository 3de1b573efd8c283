// The archive reader as it runs: no environment of the importer, no new privileges, a
// system-call filter; and the archive read exactly as it lies, whatever journal is
// beside it, with nothing made or rewritten.
#include "archive/ArchiveFixture.h"

#include "archive/ArchiveError.h"
#include "store/Transaction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <unistd.h>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;
using Reason = ArchiveError::Reason;

// The reader started by this process; 0 when there is none.
pid_t ReaderChild()
{
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream status(entry.path() / "status");
        std::string line, comm;
        pid_t parent = 0;
        while (std::getline(status, line)) {
            if (line.rfind("Name:\t", 0) == 0)
                comm = line.substr(6);
            if (line.rfind("PPid:\t", 0) == 0)
                parent = static_cast<pid_t>(std::stol(line.substr(6)));
        }
        if (parent == ::getpid() && comm == "velmora-archive")
            return static_cast<pid_t>(std::stol(name));
    }
    return 0;
}

std::string StatusField(pid_t pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":\t", 0) == 0)
            return line.substr(field.size() + 2);
    return {};
}

std::vector<std::string> Environment(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
    std::vector<std::string> variables;
    for (std::string variable; std::getline(in, variable, '\0');)
        variables.push_back(variable);
    return variables;
}

std::set<std::string> FilesIn(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class ArchiveReaderSandboxTest : public ArchiveFixture {
protected:
    void SetUp() override
    {
        ArchiveFixture::SetUp();
        AddItem("0123456789", "ten.jpg");
        AddItem(PatternBytes(1000001, 5), "big.mpg");
        Export({1, 2}, good);
        UseTarget();
    }

    const std::string good = ArchivePath("good.eta");
};

TEST_F(ArchiveReaderSandboxTest, TheReaderGetsNoPasswordNoNewPrivilegesAndAFilter)
{
    // As velmora-tool import has them.
    ::setenv("VELMORA_PASSWORD", "the library's secret", 1);
    ::setenv("VELMORA_ARCHIVE_PASSWORD", kArchivePassword, 1);
    struct Unset {
        ~Unset()
        {
            ::unsetenv("VELMORA_PASSWORD");
            ::unsetenv("VELMORA_ARCHIVE_PASSWORD");
        }
    } unset;

    TransferArchive archive(good);   // the reader holds the archive until this goes
    const pid_t reader = ReaderChild();
    ASSERT_NE(reader, 0);
    for (const std::string& variable : Environment(reader)) {
        // A sanitizer build's options are all it is given.
        const bool sanitizerOptions = variable.rfind("ASAN_OPTIONS=", 0) == 0 ||
                                      variable.rfind("LSAN_OPTIONS=", 0) == 0 ||
                                      variable.rfind("UBSAN_OPTIONS=", 0) == 0;
        EXPECT_TRUE(sanitizerOptions) << variable;
    }
    EXPECT_EQ(StatusField(reader, "NoNewPrivs"), "1");
#if !defined(__SANITIZE_ADDRESS__)
    EXPECT_EQ(StatusField(reader, "Seccomp"), "2") << "no system-call filter";
#endif
    EXPECT_TRUE(archive.AcceptsPassword(kArchivePassword));
    EXPECT_EQ(ImportArchiveItems(archive, kArchivePassword, *import, 0, importProgress), 2);
}

TEST_F(ArchiveReaderSandboxTest, AJournalBesideTheArchiveIsNeitherRolledBackNorRemoved)
{
    // The journal of a change that was made after all: taking it back would rewrite the
    // archive as it was before.
    const std::string path = ArchivePath("journal.eta");
    fs::copy_file(good, path);
    std::string journal;
    {
        auto writer = OpenForWriting(path);
        db::Transaction change(*writer);
        writer->Execute("UPDATE record SET rec_description = 'changed'");
        journal = ReadFile(path + "-journal");
        change.Commit();
    }
    ASSERT_FALSE(journal.empty());
    WriteFile(path + "-journal", journal);
    const std::string before = ReadFile(path);
    const auto filesBefore = FilesIn(files.path());

    try {
        TransferArchive archive(path);
        ADD_FAILURE() << "a half-written archive was opened";
    } catch (const ArchiveError& refused) {
        EXPECT_EQ(refused.reason(), Reason::Damaged) << refused.what();
        EXPECT_NE(std::string(refused.what()).find(path + "-journal"), std::string::npos) << refused.what();
    }
    EXPECT_TRUE(ReadFile(path) == before) << "the archive was rewritten";
    EXPECT_TRUE(ReadFile(path + "-journal") == journal) << "the journal was changed";
    EXPECT_EQ(FilesIn(files.path()), filesBefore);
    EXPECT_EQ(Scalar("select count(*) from Record"), 0);
}

TEST_F(ArchiveReaderSandboxTest, AnArchiveWhoseHeaderSaysWalIsReadWithoutFilesBesideIt)
{
    const std::string path = ArchivePath("wal.eta");
    fs::copy_file(good, path);
    ArchiveExecute(path, "PRAGMA journal_mode = WAL");
    ASSERT_FALSE(fs::exists(path + "-wal"));
    const std::string before = ReadFile(path);
    const auto filesBefore = FilesIn(files.path());

    EXPECT_EQ(Import(path), 2);
    EXPECT_EQ(FilesIn(files.path()), filesBefore);
    EXPECT_TRUE(ReadFile(path) == before);
}

} // namespace
} // namespace velmora::test
