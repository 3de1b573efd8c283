#include "support/CraftedArchives.h"
#include "support/TestSupport.h"

#include "catalogue/Categories.h"
#include "store/Connection.h"
#include "store/LibraryFiles.h"

#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Two libraries with their own passwords, and velmora-tool between them.
class ArchiveCommandsTest : public ::testing::Test {
protected:
    ProcessResult Tool(const TempDir& library, const std::string& password, std::vector<std::string> args,
                       const std::string& archivePassword = "the archive's")
    {
        std::map<std::string, std::string> env{{"VELMORA_PASSWORD", password}};
        if (!archivePassword.empty())
            env["VELMORA_ARCHIVE_PASSWORD"] = archivePassword;
        args.insert(args.begin() + 1, {"--data", library.str()});
        return RunProgram("velmora-tool", args, env);
    }
    fs::path MakeFile(const std::string& name, std::size_t size, unsigned seed)
    {
        const fs::path file = sources.path() / name;
        WriteFile(file, PatternBytes(size, seed));
        return file;
    }
    // A category made in the library as the tree would make it.
    static int MakeCategory(const TempDir& library, const std::string& name)
    {
        SetDataDir(library.str());
        db::Connection main(LibraryConnectionString(0));
        main.Open();
        const int id = InsertCategory(main, 0, name);
        SetDataDir({});
        return id;
    }

    TempDir from;
    TempDir to;
    TempDir sources;
    const std::string archive = (sources.path() / "backup.eta").string();
};

TEST_F(ArchiveCommandsTest, ExportThenImportIntoALibraryWithAnotherPassword)
{
    ASSERT_EQ(Tool(from, "first", {"init"}).exitCode, 0);
    ASSERT_EQ(Tool(to, "second", {"init"}).exitCode, 0);
    const std::vector<fs::path> files{MakeFile("a.jpg", 10, 1), MakeFile("b.mpg", 1000001, 2),
                                      MakeFile("c.wav", 0, 3)};
    std::vector<std::string> add{"add"};
    for (const auto& f : files)
        add.push_back(f.string());
    auto r = Tool(from, "first", add);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> ids;
    std::istringstream lines(r.out);
    for (std::string id; lines >> id;)
        ids.push_back(id);
    ASSERT_EQ(ids.size(), 3u);

    std::vector<std::string> exportArgs{"export", "--archive", archive};
    exportArgs.insert(exportArgs.end(), ids.begin(), ids.end());
    r = Tool(from, "first", exportArgs);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "exported 3 item(s) to " + archive + "\n");
    EXPECT_FALSE(fs::exists(archive + ".eta")) << "the command line takes the name as given";

    const int category = MakeCategory(to, "From backup");
    r = Tool(to, "second", {"import", "--archive", archive, "--category", std::to_string(category)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "imported 3 item(s) from " + archive + "\n");

    r = Tool(to, "second", {"tree"});
    EXPECT_NE(r.out.find("From backup\t3"), std::string::npos) << r.out;
    for (std::size_t i = 0; i < files.size(); ++i) {
        r = Tool(to, "second", {"cat", std::to_string(i + 1)});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, ReadFile(files[i])) << files[i];
    }
    EXPECT_EQ(Tool(to, "second", {"fsck"}).exitCode, 0);
}

// Whether text would drive a terminal: a control character other than the tabs
// between fields and the line ends of lines, or an 8-bit control.
bool HasRawControls(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F || c == 0xFF)
            return true;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return true;
    }
    return false;
}

TEST_F(ArchiveCommandsTest, NamesFromAnArchiveReachTheTerminalEscaped)
{
    ASSERT_EQ(Tool(from, "first", {"init"}).exitCode, 0);
    ASSERT_EQ(Tool(to, "second", {"init"}).exitCode, 0);
    // A title escape, a bell, a line and a tab that would fake listing lines and
    // columns, an 8-bit CSI, and letters that stay.
    const std::string hostile = "a\x1b]0;owned\a\n2\tfake\xc2\x9b" "2J\xc3\xa9t\xc3\xa9.jpg";
    const std::string shown = "a\\x1b]0;owned\\a\\n2\\tfake\\u009b2J\xc3\xa9t\xc3\xa9.jpg";
    auto r = Tool(from, "first", {"add", MakeFile(hostile, 10, 1).string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(Tool(from, "first", {"export", "--archive", archive, "1"}).exitCode, 0);
    const int category = MakeCategory(to, "in\x1b[2Jbox");

    r = Tool(to, "second", {"import", "--archive", archive, "--category", std::to_string(category)});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_FALSE(HasRawControls(r.err)) << r.err;
    EXPECT_NE(r.err.find("[1/1] " + shown + "\n"), std::string::npos) << r.err;

    struct Case {
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {{"ls"}, "1\t10\t" + shown + "\t" + shown + "\n"},
        {{"search", "owned"}, "1\t" + shown + "\t" + shown + "\n"},
        {{"tree"}, "in\\x1b[2Jbox\t1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        r = Tool(to, "second", c.args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_FALSE(HasRawControls(r.out)) << r.out;
        EXPECT_NE(r.out.find(c.line), std::string::npos) << r.out;
    }
    // A message keeps its own line breaks; a name inside it drives nothing.
    r = Tool(to, "second", {"import", "--archive", (sources.path() / "gone\x1b[2J.eta").string()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(HasRawControls(r.err)) << r.err;
    EXPECT_NE(r.err.find("gone\\x1b[2J.eta"), std::string::npos) << r.err;
}

TEST_F(ArchiveCommandsTest, RefusalsGiveOneLineAndAddNothing)
{
    ASSERT_EQ(Tool(from, "first", {"init"}).exitCode, 0);
    ASSERT_EQ(Tool(to, "second", {"init"}).exitCode, 0);
    ASSERT_EQ(Tool(from, "first", {"add", MakeFile("a.jpg", 10, 1).string()}).exitCode, 0);
    ASSERT_EQ(Tool(from, "first", {"export", "--archive", archive, "1"}).exitCode, 0);
    const std::string text = MakeFile("notes.eta", 5000, 4).string();
    const std::string templateCopy = (BinDir() / "TEMPLATE.TNT").string();

    struct Case {
        const TempDir& library;
        const char* password;
        std::vector<std::string> args;
        std::string archivePassword;
        std::string says;
    } cases[] = {
        {to, "second", {"import", "--archive", archive}, "", "VELMORA_ARCHIVE_PASSWORD is not set"},
        {to, "second", {"import", "--archive", archive}, "not it", "wrong password for the archive"},
        {to, "second", {"import", "--archive", text}, "the archive's", "is not a transfer archive"},
        {to, "second", {"import", "--archive", archive, "--category", "42"}, "the archive's", "no category 42"},
        {to, "second", {"import", "--archive", archive, "--category", "x"}, "the archive's", "must be a number"},
        {to, "second", {"import"}, "the archive's", "usage"},
        {from, "first", {"export", "--archive", templateCopy, "1"}, "the archive's", "Template.tnt is required"},
        {from, "first", {"export", "--archive", archive + "2", "7"}, "the archive's", "no item 7"},
        {from, "first", {"export", "--archive", archive + "2", "one"}, "the archive's", "must be a number"},
        {from, "first", {"export", "--archive", archive + "2", "1"}, "zerkat", "unencrypted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        const auto r = Tool(c.library, c.password, c.args, c.archivePassword);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_EQ(Tool(to, "second", {"ls"}).out, "");
    EXPECT_FALSE(fs::exists(templateCopy));
    EXPECT_FALSE(fs::exists(archive + "2"));
}

TEST_F(ArchiveCommandsTest, CraftedArchivesAreRefusedWithTheMessageAndAddNothing)
{
    ASSERT_EQ(Tool(to, "second", {"init"}).exitCode, 0);
    const fs::path crashing = sources.path() / "crash.eta";
    const fs::path endless = sources.path() / "endless.eta";
    MakeSchemaCrashArchive(crashing, "the archive's");
    MakeEndlessViewArchive(endless, "the archive's");
    for (const fs::path& path : {crashing, endless}) {
        SCOPED_TRACE(path.filename().string());
        const auto r = Tool(to, "second", {"import", "--archive", path.string()});
        EXPECT_EQ(r.exitCode, 2) << r.err;   // neither killed by a signal nor hung
        EXPECT_EQ(r.err, "velmora-tool import: Unable to import the archive for the following reason: \r\n"
                         "the file is not a valid transfer archive\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Tool(to, "second", {"ls"}).out, "");
}

// Starts velmora-tool and kills it with SIGKILL once ready() says so; -1 when killed.
int KillWhen(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
             const std::function<bool()>& ready)
{
    QProcess process;
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const auto& [k, v] : env)
        environment.insert(QString::fromStdString(k), QString::fromStdString(v));
    process.setProcessEnvironment(environment);
    QStringList arguments;
    for (const auto& a : args)
        arguments << QString::fromStdString(a);
    process.start(QString::fromStdString((BinDir() / "velmora-tool").string()), arguments);
    EXPECT_TRUE(process.waitForStarted());
    while (process.state() == QProcess::Running) {
        process.waitForFinished(5);
        if (ready()) {
            process.kill();
            break;
        }
    }
    process.waitForFinished();
    return process.exitStatus() == QProcess::CrashExit ? -1 : process.exitCode();
}

TEST_F(ArchiveCommandsTest, AnArchiveLeftHalfWrittenIsRefusedAndLeftAsItIs)
{
    ASSERT_EQ(Tool(from, "first", {"init"}).exitCode, 0);
    ASSERT_EQ(Tool(to, "second", {"init"}).exitCode, 0);
    const fs::path small = MakeFile("keep.jpg", 700000, 1);
    ASSERT_EQ(Tool(from, "first", {"add", small.string(), MakeFile("big.avi", 200u << 20, 2).string()}).exitCode, 0);
    const int status = KillWhen({"export", "--data", from.str(), "--archive", archive, "1", "2"},
                                {{"VELMORA_PASSWORD", "first"}, {"VELMORA_ARCHIVE_PASSWORD", "the archive's"}},
                                [&] {
                                    std::error_code e;
                                    return fs::file_size(archive, e) > (20u << 20) && !e;
                                });
    ASSERT_EQ(status, -1) << "the export ended before it could be interrupted";
    ASSERT_TRUE(fs::exists(archive + "-journal")) << "the half-written row is still to be taken back";
    const std::string archiveBytes = ReadFile(archive);
    const std::string journalBytes = ReadFile(archive + "-journal");

    // Part of the unfinished row may lie in the file: nothing of it is imported, and the
    // journal, someone else's file, is not played back into it.
    const auto r = Tool(to, "second", {"import", "--archive", archive});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("was left half-written"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(archive + "-journal"), std::string::npos) << r.err;
    EXPECT_EQ(Tool(to, "second", {"ls"}).out, "");
    EXPECT_TRUE(ReadFile(archive) == archiveBytes);
    EXPECT_TRUE(ReadFile(archive + "-journal") == journalBytes);
}

} // namespace
} // namespace velmora::test
