#pragma once

#include <string>
#include <vector>

namespace velmora {

// What the running instance does with a hand-over; the main window implements it,
// tests observe it.
class HandOverTarget {
public:
    virtual ~HandOverTarget() = default;
    // Restore the application window and bring it to the front.
    virtual void BringToFront() = 0;
    // The library option "delete source files by default" (opt_defdelete).
    virtual bool DeleteSourceByDefault() = 0;
    // Add the files and folders to the category selected in the tree; deleteMode 2
    // deletes the sources after adding, 0 keeps them.
    virtual void AddFileList(const std::vector<std::string>& files, int deleteMode) = 0;
    // Import one transfer archive.
    virtual void ImportArchive(const std::string& path) = 0;
    // The second start named another library than the one open: tell the user so
    // (nothing of it is added or imported).
    virtual void RefuseHandOver(const std::string& message) = 0;
};

} // namespace velmora
