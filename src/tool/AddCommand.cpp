#include "tool/AddCommand.h"

#include "tool/LibraryAccess.h"
#include "tool/ToolCommand.h"

#include "catalogue/Categories.h"
#include "catalogue/DropEffect.h"
#include "catalogue/FileImport.h"
#include "store/MediaExtensions.h"
#include "ui/MessageBoxes.h"
#include "ui/ProgressRoutines.h"

#include <filesystem>
#include <iostream>
#include <sstream>
#include <system_error>

namespace velmora::tool {

namespace {

// The adding path's messages, each on one line of standard error, counted: every one
// names a file or folder that was not added.
class SkipReports final : public MessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int) override
    {
        std::istringstream lines(text);
        std::string oneLine;
        for (std::string line; std::getline(lines, line);) {
            std::erase(line, '\r');
            if (!line.empty())
                oneLine += (oneLine.empty() ? "" : " ") + line;
        }
        std::cerr << "velmora-tool add: " << oneLine << '\n';
        ++m_count;
        return mb::kResultOk;
    }
    int Count() const { return m_count; }

private:
    int m_count = 0;
};

bool IsFolder(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

} // namespace

int Add(const std::vector<std::string>& args)
{
    const LibraryArgs parsed = ParseLibraryArgs(args);
    if (parsed.positional.empty())
        throw ToolError("add needs at least one file or folder");
    auto library = OpenLibrary(parsed.dataDir);
    NullProgress progress;
    SkipReports skipped;
    FileImport import(*library, progress, skipped);
    import.SetItemAdded([](int ident) { std::cout << ident << std::endl; });

    int refused = 0;
    for (const std::string& path : parsed.positional) {
        if (IsFolder(path)) {
            import.AddFolder(kUnclassifiedId, path, kKeepSources);
        } else if (!IsSupportedMediaFile(path)) {
            std::cerr << "velmora-tool add: skipped " << path
                      << ": not a supported media file (its extension is not one the library accepts)\n";
            ++refused;
        } else {
            import.AddFile(kUnclassifiedId, path);
        }
    }
    // As when an add fails outright: whoever runs it learns that not everything is in.
    return refused + skipped.Count() == 0 ? 0 : 2;
}

} // namespace velmora::tool
