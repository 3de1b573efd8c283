// Archive commands: transfer archives written from and read into a library.
#include "tool/ArchiveCommands.h"
#include "tool/LibraryAccess.h"
#include "tool/TerminalText.h"
#include "tool/TextProgress.h"

#include "archive/ArchiveError.h"
#include "archive/ArchiveExport.h"
#include "archive/ArchiveNames.h"
#include "archive/TransferArchive.h"
#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

#include <charconv>
#include <iostream>

namespace velmora::tool {

namespace {

constexpr const char* kArchivePasswordVariable = "VELMORA_ARCHIVE_PASSWORD";

int ParseNumber(const std::string& text, const char* what)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0)
        throw ToolError(std::string(what) + " must be a number of 0 or more, not \"" + text + "\"");
    return value;
}

// Messages of the adding path go to standard error; questions are answered with OK.
class TextMessages final : public MessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int) override
    {
        std::cerr << MessageForTerminal(text) << '\n';
        return mb::kResultOk;
    }
};

int Export(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args, {"--archive"});
    const std::string archivePath = parsed.Option("--archive");
    if (archivePath.empty() || parsed.positional.empty())
        throw ToolError("usage: velmora-tool export --data DIR --archive FILE ID...");
    std::vector<int> items;
    for (const auto& id : parsed.positional)
        items.push_back(ParseNumber(id, "an item number"));
    if (IsTemplateArchivePath(archivePath))
        throw ToolError(kTemplateRefusedMessage);
    const std::string password = RequiredEnvironment(kArchivePasswordVariable, "the archive password");
    auto library = OpenLibrary(parsed.dataDir);
    TextProgress progress(false);
    const ExportResult result = ExportToArchive(library->MainConnection(), archivePath, password, items, progress, false);
    std::cout << "exported " << result.exported << " item(s) to " << archivePath << '\n';
    return 0;
}

int Import(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args, {"--archive", "--category"});
    const std::string archivePath = parsed.Option("--archive");
    if (archivePath.empty() || !parsed.positional.empty())
        throw ToolError("usage: velmora-tool import --data DIR --archive FILE [--category ID]");
    const std::string category = parsed.Option("--category");
    const int categoryId = category.empty() ? kUnclassifiedId : ParseNumber(category, "--category");
    const std::string password = RequiredEnvironment(kArchivePasswordVariable, "the archive password");
    auto library = OpenLibrary(parsed.dataDir);
    // Items filed under a category that is not there would be listed nowhere.
    if (categoryId != kUnclassifiedId && !CategoryExists(library->MainConnection(), categoryId))
        throw ToolError("there is no category " + category + " in the library");

    try {
        TransferArchive archive(archivePath);
        if (!archive.AcceptsPassword(password))
            throw ToolError("wrong password for the archive " + archivePath);
        TextProgress progress(false);
        TextMessages messages;
        FileImport import(*library, progress, messages);
        const int added = ImportArchiveItems(archive, password, import, categoryId, progress);
        std::cout << "imported " << added << " item(s) from " << archivePath << '\n';
        return 0;
    } catch (const ArchiveError& error) {
        // Told as the program tells it; no archive at all, or one being written, is
        // said plainly.
        if (!IsToldWhenOpening(error.reason()))
            throw;
        throw ToolError(ImportFailedMessage(error));
    }
}

constexpr ToolCommand kArchiveCommands[] = {
    {"export", "--data DIR --archive FILE ID...",
     "write the items to a transfer archive under the password in VELMORA_ARCHIVE_PASSWORD", Export},
    {"import", "--data DIR --archive FILE [--category ID]",
     "add every item of a transfer archive (password in VELMORA_ARCHIVE_PASSWORD) under the category", Import},
};

} // namespace

std::span<const ToolCommand> ArchiveCommands()
{
    return kArchiveCommands;
}

} // namespace velmora::tool
