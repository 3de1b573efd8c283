#include "tool/LibraryAccess.h"

#include "dialogs/ProgressRoutines.h"
#include "store/LibraryFiles.h"
#include "store/PasswordPolicy.h"
#include "tool/ToolCommand.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

namespace velmora::tool {

std::string LibraryArgs::Option(const std::string& name) const
{
    for (const auto& [key, value] : options)
        if (key == name)
            return value;
    return {};
}

LibraryArgs ParseLibraryArgs(const std::vector<std::string>& args,
                             const std::vector<std::string>& valueOptions)
{
    LibraryArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isData = arg == "--data";
        const bool isOther = std::find(valueOptions.begin(), valueOptions.end(), arg) != valueOptions.end();
        if (isData || isOther) {
            if (i + 1 >= args.size())
                throw ToolError(arg + " needs a value");
            if (isData)
                parsed.dataDir = args[++i];
            else
                parsed.options.emplace_back(arg, args[++i]);
        } else if (arg.size() > 2 && arg.rfind("--", 0) == 0) {
            throw ToolError("unknown option " + arg);
        } else {
            parsed.positional.push_back(arg);
        }
    }
    if (parsed.dataDir.empty())
        throw ToolError("--data DIR is required: the folder that holds the library");
    return parsed;
}

std::string RequiredEnvironment(const char* name, const std::string& purpose)
{
    const char* value = std::getenv(name);
    if (!value)
        throw ToolError(std::string(name) + " is not set: give " + purpose + " in it");
    return value;
}

std::unique_ptr<Library> OpenLibrary(const std::string& dataDir)
{
    SetDataDir(dataDir);
    const std::string mainFile = JoinPath(GetDataDir(), kMainDatabaseName);
    if (!std::filesystem::exists(mainFile))
        throw ToolError("there is no library in " + dataDir + " (" + kMainDatabaseName +
                        " is missing); make one with: velmora-tool init --data " + dataDir);
    const std::string password = RequiredEnvironment("VELMORA_PASSWORD", "the library password");

    auto library = std::make_unique<Library>();
    library->Open();
    bool accepted = false;
    try {
        accepted = library->VerifyPassword(password, true) || library->VerifyPassword(password, false);
    } catch (const PasswordRefused& refused) {
        throw ToolError(refused.what());
    }
    if (!accepted)
        throw ToolError("wrong password for the library in " + dataDir);

    if (library->PasswordChangePending())
        std::cerr << "velmora-tool: completing an interrupted password change\n";
    NullProgress quiet;
    const RecoveryReport report = library->RecoverInterruptedWork(quiet);
    if (report.addsTakenBack)
        std::cerr << "velmora-tool: took back " << report.addsTakenBack << " add(s) that did not complete\n";
    if (report.deletesFinished)
        std::cerr << "velmora-tool: finished " << report.deletesFinished << " interrupted delete(s)\n";
    for (const std::string& waiting : report.postponed)
        std::cerr << "velmora-tool: " << waiting << '\n';
    return library;
}

} // namespace velmora::tool
