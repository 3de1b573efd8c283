#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora {

enum class StartMode {
    SecondInstance,    // decided by the instance lock, never by the command line
    RegisterServer,    // "/regserver" or "-regserver": accept and end
    UnregisterServer,  // "/unregserver" or "-unregserver": accept and end
    AddFiles,          // add the paths to add without a window, then end
    Automation,        // no window, no password; serve the automation object
    Interactive,       // password gate, then the main window
};

// What a first instance was asked to do by its command line.
struct StartRequest {
    std::vector<std::string> pathsToAdd;    // media files and folders, in argument order
    std::string pendingArchive;             // the last ".eta" argument; empty if none
    bool automation = false;                // "-embedding" seen
    bool addFiles = false;                  // at least one path to add
    std::optional<std::string> dataDir;     // the data folder override to SetDataDir, if any
    bool regServer = false;
    bool unregServer = false;

    // RegisterServer / UnregisterServer when their switch was given; else AddFiles
    // when there are paths to add (even with "-embedding"); else Automation; else
    // Interactive.
    StartMode Mode() const;
};

// Reads a first instance's arguments.
class CommandLine {
public:
    // The program's arguments without the program name (argv[1..]).
    static std::vector<std::string> Arguments(int argc, const char* const* argv);

    // Classifies the arguments first to last:
    //  - ".eta": the pending archive (a later one replaces an earlier one);
    //  - a folder to add or a media file: appended to pathsToAdd, addFiles set;
    //  - "-embedding" (any case): automation set, the data folder reset to defaultDataDir;
    //  - anything else: the data folder.
    // An existing empty folder given alone is the data folder (for a new library).
    // The switches "regserver" / "unregserver" after "/" or "-" (any case) set their
    // flag and are no argument of any class.
    static StartRequest Parse(const std::vector<std::string>& arguments, const std::string& defaultDataDir);
    // The same with the default data folder GetDefaultDataDir() (the program folder
    // unless the program cannot write there).
    static StartRequest Parse(const std::vector<std::string>& arguments);
};

} // namespace velmora
