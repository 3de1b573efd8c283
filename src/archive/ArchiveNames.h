#pragma once

#include "archive/ArchiveError.h"

#include <exception>
#include <string>

namespace velmora {

// Texts of the export and import, shown by the windows and the command line alike.
inline constexpr const char* kExportFailedPrefix = "Unable to export for the following reason: ";
inline constexpr const char* kImportFailedPrefix = "Unable to import the archive for the following reason: ";
inline constexpr const char* kNotValidArchiveReason = "the file is not a valid transfer archive";
inline constexpr const char* kTemplateRefusedMessage =
    "Template.tnt is required by the application, and cannot be overwritten";
inline constexpr const char* kNoItemsInCategoryMessage = "There are no items in this category.";
inline constexpr const char* kInvalidArchivePasswordMessage = "Invalid Password, please try again";
inline constexpr const char* kEmptyArchivePasswordMessage = "You must enter a password.";

inline constexpr const char* kExportProgressTitle = "Exporting Items";
inline constexpr const char* kImportProgressTitle = "Importing Items";
inline constexpr const char* kArchiveProgressText = "Please Wait";

// The file choosers of the export and the import.
inline constexpr const char* kArchiveFilter = "Encrypted Transfer Archive (*.eta)|*.eta";
inline constexpr const char* kArchiveNamePreset = "*.eta";
inline constexpr const char* kExportDialogTitle = "Select File To Save file";
inline constexpr const char* kImportDialogTitle = "Open file";

inline constexpr const char* kArchiveExtension = ".eta";

// What an import that was refused or broke off tells: kImportFailedPrefix, a line
// break and the reason. An archive whose reader failed, or whose tables are not the
// template's, is kNotValidArchiveReason (what exactly is wrong with a crafted file
// helps nobody); any other error tells its own text.
std::string ImportFailedMessage(const std::exception& error);
// Whether a refusal when the archive is opened is told at all: a file that is no
// archive (or a missing one) and one that another program is writing end silently.
bool IsToldWhenOpening(ArchiveError::Reason reason);

// The empty archive every export starts from: GetAppDir() + "/template.tnt".
std::string TemplateArchivePath();

// Whether the name chosen in the save dialog (as the dialog returned it) names the
// template: the lower-cased name equals the lower-cased template path, or the name
// leads to the template file by any other way (a relative path, a link, "..") - the
// export would otherwise overwrite the file every later export copies.
bool IsTemplateArchivePath(const std::string& chosen);

// The archive name of an export of selected items: chosen with ".eta" appended unless
// its last four characters are ".eta" in any letter case (a name of four characters or
// fewer always gets it). photos -> photos.eta, a.et -> a.et.eta, X.ETA stays.
// The export of a category uses the chosen name as it is.
std::string ExportArchiveName(const std::string& chosen);

} // namespace velmora
