// velmora-tool: the cipher and the library from the command line.
#include "tool/ToolCommand.h"
#include "tool/ArchiveCommands.h"
#include "tool/TerminalText.h"

#include "app/ProgramInfo.h"
#include "platform/NonDumpable.h"

#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

using velmora::tool::ToolCommand;

namespace {

std::vector<ToolCommand> AllCommands()
{
    std::vector<ToolCommand> all;
    for (auto group : {velmora::tool::CipherCommands(), velmora::tool::LibraryCommands(),
                        velmora::tool::CatalogueCommands(),
                        velmora::tool::StreamCommands(), velmora::tool::ArchiveCommands()})
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

void PrintUsage(const std::vector<ToolCommand>& commands, std::ostream& out)
{
    out << "usage: velmora-tool COMMAND [ARGS]\n       velmora-tool --version\n\ncommands:\n";
    for (const auto& c : commands) {
        std::string head = std::string(c.name) + (c.usage.empty() ? "" : " ") + std::string(c.usage);
        out << "  " << head;
        for (std::size_t i = head.size(); i < 40; ++i)
            out << ' ';
        out << ' ' << c.summary << '\n';
    }
    out << "\nKEY left out: the key is taken from the environment variable VELMORA_KEY. A KEY given as\n"
           "an argument is visible to other users of the machine while the command runs\n"
           "(ps, /proc/PID/cmdline); prefer VELMORA_KEY.\n";
}

} // namespace

int main(int argc, char** argv)
{
    // Before a password is read from the environment or a key derived from it.
    try {
        velmora::MakeProcessNonDumpable();
    } catch (const std::system_error& refused) {
        std::cerr << "velmora-tool: " << refused.what() << '\n';
        return 2;
    }
    const auto commands = AllCommands();
    if (argc < 2) {
        PrintUsage(commands, std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "help" || name == "--help" || name == "-h") {
        PrintUsage(commands, std::cout);
        return 0;
    }
    if (name == "--version") {
        std::cout << "velmora-tool " << velmora::ProgramVersion() << '\n';
        return 0;
    }
    for (const auto& c : commands) {
        if (c.name != name)
            continue;
        try {
            return c.run(std::vector<std::string>(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            std::fflush(stdout);
            // A message may carry a name from an archive or a library.
            std::cerr << "velmora-tool " << name << ": " << velmora::tool::MessageForTerminal(e.what()) << '\n';
            return 2;
        }
    }
    std::cerr << "velmora-tool: unknown command \"" << name << "\" (try velmora-tool help)\n";
    return 2;
}
