#include "app/CommandLine.h"

#include "app/ArgumentClasses.h"
#include "store/LibraryFiles.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

// "/regserver", "-RegServer", ...: the switch name after "/" or "-", in any letter case.
bool IsSwitch(const std::string& argument, const std::string& name)
{
    if (argument.size() != name.size() + 1 || (argument[0] != '/' && argument[0] != '-'))
        return false;
    return std::equal(name.begin(), name.end(), argument.begin() + 1, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace

StartMode StartRequest::Mode() const
{
    if (regServer)
        return StartMode::RegisterServer;
    if (unregServer)
        return StartMode::UnregisterServer;
    if (addFiles)
        return StartMode::AddFiles;
    if (automation)
        return StartMode::Automation;
    return StartMode::Interactive;
}

std::vector<std::string> CommandLine::Arguments(int argc, const char* const* argv)
{
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(argv[i]);
    return arguments;
}

StartRequest CommandLine::Parse(const std::vector<std::string>& arguments, const std::string& defaultDataDir)
{
    StartRequest request;
    if (IsNewLibraryFolderAlone(arguments)) {
        request.dataDir = arguments.front();
        return request;
    }
    for (const std::string& argument : arguments) {
        if (IsSwitch(argument, "regserver")) {
            request.regServer = true;
            continue;
        }
        if (IsSwitch(argument, "unregserver")) {
            request.unregServer = true;
            continue;
        }
        switch (ClassifyArgument(argument)) {
        case ArgumentClass::Archive:
            request.pendingArchive = argument;
            break;
        case ArgumentClass::PathToAdd:
            request.pathsToAdd.push_back(argument);
            request.addFiles = true;
            break;
        case ArgumentClass::Embedding:
            request.automation = true;
            request.dataDir = defaultDataDir;
            break;
        case ArgumentClass::DataFolder:
            request.dataDir = argument;
            break;
        }
    }
    return request;
}

StartRequest CommandLine::Parse(const std::vector<std::string>& arguments)
{
    return Parse(arguments, GetDefaultDataDir());
}

} // namespace velmora
