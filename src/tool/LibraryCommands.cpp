#include "tool/AddCommand.h"
#include "tool/LibraryAccess.h"
#include "tool/TerminalText.h"
#include "tool/TextProgress.h"
#include "tool/ToolCommand.h"

#include "catalogue/ItemDeletion.h"
#include "store/ContentLock.h"
#include "store/SpaceReserve.h"
#include "store/FileStream.h"
#include "store/LibraryCheck.h"
#include "store/LibraryFiles.h"
#include "store/NewLibrary.h"
#include "store/ObjectStore.h"
#include "store/PrivateFiles.h"
#include "store/PasswordPolicy.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace velmora::tool {

namespace {

namespace fs = std::filesystem;

// The files of a library being made, removed again unless it is kept: a failed init
// leaves nothing that a second one would take for a library.
class LibraryInTheMaking {
public:
    explicit LibraryInTheMaking(const fs::path& folder) : m_folder(folder), m_folderExisted(fs::exists(folder)) {}
    ~LibraryInTheMaking()
    {
        if (m_kept)
            return;
        ObjectStore::ForThisThread().Close();
        std::error_code ignored;
        const fs::path main = m_folder / kMainDatabaseName;
        for (const fs::path& file : {main, fs::path(main.string() + "-wal"), fs::path(main.string() + "-shm"),
                                     m_folder / kContentLockName, m_folder / kSpaceReserveName})
            fs::remove(file, ignored);
        if (!m_folderExisted)
            fs::remove(m_folder, ignored);
    }
    LibraryInTheMaking(const LibraryInTheMaking&) = delete;
    LibraryInTheMaking& operator=(const LibraryInTheMaking&) = delete;
    void Keep() { m_kept = true; }

private:
    fs::path m_folder;
    bool m_folderExisted;
    bool m_kept = false;
};

int Init(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (!parsed.positional.empty())
        throw ToolError("init takes no arguments besides --data DIR");
    if (fs::exists(fs::path(parsed.dataDir) / kMainDatabaseName))
        throw ToolError("there is a library in " + parsed.dataDir + " already; init leaves it as it is");
    const char* password = std::getenv("VELMORA_PASSWORD");
    if (password)
        if (auto refusal = PasswordRefusal(password))
            throw ToolError(*refusal);
    LibraryInTheMaking made(parsed.dataDir);
    CreateLibrary(parsed.dataDir);
    if (password)
        OpenLibrary(parsed.dataDir);   // the first password given becomes the library's
    made.Keep();
    std::cout << "made an empty library in " << parsed.dataDir << '\n';
    return 0;
}

int List(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    auto library = OpenLibrary(parsed.dataDir);
    db::Query items(library->MainConnection(),
                    "Select rec_ident, rec_size, rec_tnorigname, rec_description from Record order by rec_ident");
    for (; !items.Eof(); items.Next())
        std::cout << items.AsInteger("rec_ident") << '\t' << items.AsInteger("rec_size") << '\t'
                  << ForTerminal(items.AsString("rec_tnorigname")) << '\t'
                  << ForTerminal(items.AsString("rec_description")) << '\n';
    return 0;
}

int Cat(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (parsed.positional.size() != 1)
        throw ToolError("cat takes one item number");
    const int id = std::stoi(parsed.positional[0]);
    auto library = OpenLibrary(parsed.dataDir);
    ObjectStore& store = ObjectStore::ForThisThread();
    std::int64_t size = 0;
    {
        db::Query record(library->MainConnection(), SqlFormat("Select rec_size from Record where rec_ident = %d", id));
        if (record.Eof())
            throw ToolError("there is no item " + parsed.positional[0]);
        size = record.AsInteger("rec_size");
    }
    FileStream out(1, "standard output");
    const std::int64_t written = store.ReadItem(out, id);
    if (written != size)
        throw ToolError("item " + parsed.positional[0] + " is damaged: only " + std::to_string(written) +
                        " of its " + std::to_string(size) + " bytes could be read");
    return 0;
}

int Fsck(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    auto library = OpenLibrary(parsed.dataDir);
    const auto problems = CheckLibrary(ObjectStore::ForThisThread());
    // Not an inconsistency, so the exit code does not change; files made before
    // libraries were private keep the modes they were made with.
    for (const auto& file : ExposedLibraryFiles(GetDataDir())) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(file.mode));
        std::cerr << "warning: " << file.path << " is readable by other users (mode " << mode
                  << "); chmod 600 it\n";
    }
    for (const auto& problem : problems)
        std::cout << problem << '\n';
    if (problems.empty())
        std::cout << "library is consistent\n";
    return problems.empty() ? 0 : 1;
}

int Remove(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (parsed.positional.empty())
        throw ToolError("rm needs at least one item number");
    std::vector<int> ids;
    for (const auto& text : parsed.positional) {
        std::size_t used = 0;
        int id = 0;
        try {
            id = std::stoi(text, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != text.size() || id <= 0)
            throw ToolError(text + " is not an item number");
        ids.push_back(id);
    }
    auto library = OpenLibrary(parsed.dataDir);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        db::Query record(library->MainConnection(), SqlFormat("Select rec_ident from Record where rec_ident = %d", ids[i]));
        if (record.Eof())
            throw ToolError("there is no item " + parsed.positional[i]);
    }
    TextProgress progress(true);
    DeleteItems(library->MainConnection(), ids, progress);
    return 0;
}

int Passwd(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    const std::string newPassword = RequiredEnvironment("VELMORA_NEW_PASSWORD", "the new password");
    if (auto refusal = PasswordRefusal(newPassword))
        throw ToolError(*refusal);
    auto library = OpenLibrary(parsed.dataDir);
    TextProgress progress(true);
    library->ChangePassword(newPassword, progress);
    std::cout << "password changed\n";
    return 0;
}

constexpr ToolCommand kLibraryCommands[] = {
    {"init", "--data DIR", "make a new, empty library in DIR", Init},
    {"add", "--data DIR PATH...",
     "add media files as unclassified items and folders as categories; prints the numbers", Add},
    {"ls", "--data DIR", "list the items: number, size, file name, description", List},
    {"cat", "--data DIR ID", "write an item's content to standard output", Cat},
    {"fsck", "--data DIR", "check the library's consistency; exit 0 only when consistent", Fsck},
    {"rm", "--data DIR ID...", "delete items with their content, as Delete Files does", Remove},
    {"passwd", "--data DIR", "change the password to VELMORA_NEW_PASSWORD", Passwd},
};

} // namespace

std::span<const ToolCommand> LibraryCommands()
{
    return kLibraryCommands;
}

} // namespace velmora::tool
