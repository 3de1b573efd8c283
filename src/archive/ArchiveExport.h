#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

namespace db {
class Connection;
}
class ProgressRoutines;

struct ExportResult {
    int exported = 0;        // rows written to the archive
    bool cancelled = false;  // Cancel in the progress window stopped it early
};

// Writes a transfer archive at archivePath holding the given library items, in the
// order given, their content re-encrypted under password (one TBlowfish for the check
// value and every item). The caller has asked for the name and the password already;
// this does the rest of the export:
//   - refuses, before any file is touched, with ArchiveError: a password that would
//     leave the content readable (empty, or the cipher's default key), a target that
//     is the template or a file of the library (its main database, a store file, the
//     store template), and an item whose name, description and notes alone leave its
//     row no room for content;
//   - copies template.tnt from the program folder beside the target and moves the copy
//     over it (an existing file is replaced whole; a reader of the old file keeps
//     reading the old content), then opens it with Mode "Share Deny None";
//   - ShowProgress(kExportProgressTitle, !cancellable), SetProgressTotal(kArchiveProgressText,
//     number of items), writes opt_pass (the Base64 check value) into the Options row;
//   - per item: SetProgressItem(rec_tnorigname, rec_size / 500000 + 1), a new record row
//     with rec_size, rec_tnorigname, rec_description, rec_notes copied (null stays null),
//     rec_date_added today, the content encrypted straight from the object store into
//     the archive file (one chunk in memory at a time, no spool): into rec_object, or,
//     when it is longer than one value may be, in pieces (ArchivePieces.h) of
//     pieceLength bytes (0: as long as the database engine allows; tests choose less);
//     committed as a whole, StepProgress;
//   - with cancellable, ProgressCancelled() is asked before each item and ends the loop;
//   - closes the archive and hides the progress window however it ends.
// Errors pass on to the caller after that clean-up (the window shows them after
// kExportFailedPrefix); rows already posted stay in the archive file.
ExportResult ExportToArchive(db::Connection& library, const std::string& archivePath, const std::string& password,
                             const std::vector<int>& items, ProgressRoutines& progress, bool cancellable,
                             std::int64_t pieceLength = 0);

} // namespace velmora
