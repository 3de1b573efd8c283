#pragma once

#include <QTime>

#include <string>
#include <vector>

namespace velmora {

// What a second instance's hand-over did.
struct HandOverResult {
    std::string listFile;     // full path of the list file it wrote (removed again unless posted)
    int written = 0;          // paths written to the list file
    bool windowFound = false; // the last look-up found the hand-over window
    bool posted = false;      // WM_OPENETA was posted
};

// The second instance's work: writes the qualifying arguments (archives, folders to
// add, media files; each made absolute against this process's working folder, since
// the running instance resolves them from its own) to the list file named after `now`
// ("hhmmss") in appDir, one per line ended by CR LF, in argument order, while the
// hand-over window can be found; a data folder named on the command line goes first,
// as the kDataFolderLine, so that the running instance can refuse what was meant for
// another library; then posts WM_OPENETA (wParam 0, lParam the name as a
// number) when at least one path was written and the window was found. A list file
// that was not handed over is removed. A list file that cannot be written is
// not handed over (no error is thrown for it); only an invalid `now` throws.
HandOverResult HandOverToRunningInstance(const std::vector<std::string>& arguments,
                                         const QTime& now, const std::string& appDir);
// The same in HandOverFolder() (the program folder) at the current local time.
HandOverResult HandOverToRunningInstance(const std::vector<std::string>& arguments);

} // namespace velmora
