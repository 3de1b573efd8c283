#pragma once

#include <string>

namespace velmora {

// The type of transfer archives ("*.eta", any case) on the desktop.
inline constexpr const char* kArchiveMimeType = "application/x-velmora-transfer-archive";
inline constexpr const char* kArchiveTypeComment = "Velmora Transfer Archive";
// The desktop entry that opens archives; hidden from menus, where the launcher of the
// installed program (or none, for a copy run where it was built) stands.
inline constexpr const char* kArchiveDesktopId = "velmora-archive.desktop";

// Where the association lives, under the user's data folder ($XDG_DATA_HOME, else
// ~/.local/share) and configuration folder ($XDG_CONFIG_HOME, else ~/.config).
struct FileAssociationPaths {
    std::string mimePackage;    // DATA/mime/packages/velmora-archive.xml
    std::string desktopEntry;   // DATA/applications/velmora-archive.desktop
    std::string mimeApps;       // CONFIG/mimeapps.list, naming the entry the default

    // From the environment as of now.
    static FileAssociationPaths ForUser();
};

// A desktop entry's Exec value that starts program with the archive's path as its only
// argument: the program's path quoted (blanks and the characters the desktop quotes
// survive), then the launcher's single-file placeholder, which the launcher passes as
// one argument whatever it holds. Throws std::invalid_argument for a path no Exec line
// can carry (a line break in it).
std::string ArchiveOpenCommand(const std::string& program);

// The shared-mime-info package and the desktop entry, as written.
std::string ArchiveMimePackage();
std::string ArchiveDesktopEntry(const std::string& program);

// mimeapps.list's text with the archive type's default set to the archive entry; every
// other line is kept.
std::string WithArchiveDefault(const std::string& mimeApps);

// mimeApps's text without the archive entry: the archive type's lines lose the entry's
// name (in any section), and a line left naming nothing goes; every other line is kept.
std::string WithoutArchiveEntry(const std::string& mimeApps);

// The association of transfer archives with program, written at every start: the MIME
// package, the desktop entry and the default in mimeapps.list, each replaced as a
// whole; then the desktop's caches are brought up to date with update-mime-database
// and update-desktop-database where they are installed. The last program to start owns
// the association, so a copy moved or run from elsewhere takes it over. Throws
// std::runtime_error when a file cannot be written; the caches are best effort.
void RegisterFileAssociation(const std::string& program, const FileAssociationPaths& paths);

// Takes a start's association away again: the MIME package, the desktop entry, the
// archive entry in mimeapps.list (the file goes when no entry is left in it), and the
// caches made for them, brought up to date where other packages or entries remain and
// removed where nothing is left to describe. Nothing is touched when none of it is
// there. Throws std::runtime_error naming what could not be removed or written.
void UnregisterFileAssociation(const FileAssociationPaths& paths);

} // namespace velmora
