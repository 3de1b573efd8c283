#pragma once

#include "store/Connection.h"

#include <cstdint>
#include <string>

namespace velmora {

class FileImport;
class ProgressRoutines;

// An archive opened for import: read-only, with a read transaction held for the
// object's life (Mode "Read|Share Deny Read|Share Deny Write"), so no other connection
// can commit a change to the file while it is open. Everything that can be known
// without the password is checked by the constructor, which raises ArchiveError and
// keeps nothing open when
//   - the file is missing, is not a database or carries another database password
//     (NotAnArchive),
//   - another connection is in the middle of writing it (Locked),
//   - the Options table or the record table or one of their columns is missing
//     (MissingSchema),
//   - the file is shorter than its own header says, or a page of it fails its check
//     (Damaged; every page is read once for this),
//   - a row's rec_object is not rec_size rounded up to 8 bytes long, or rec_size is
//     not a number of 0 or more (BadContent).
// So an import that starts has a whole, consistent archive under it.
class TransferArchive {
public:
    explicit TransferArchive(const std::string& path);
    ~TransferArchive();
    TransferArchive(const TransferArchive&) = delete;
    TransferArchive& operator=(const TransferArchive&) = delete;

    const std::string& Path() const { return m_path; }
    db::Connection& Connection() { return m_connection; }

    // Whether candidate opens the check value in opt_pass of the first Options row:
    // with base64 the text is Base64-decoded first (text that does not decode fails),
    // else its bytes are the cipher bytes. Any error makes it false.
    bool CheckArchivePassword(const std::string& candidate, bool base64);
    // CheckArchivePassword with base64, then without: what the password dialog asks.
    bool AcceptsPassword(const std::string& candidate);

    // Number of rows of the record table: the items an import adds.
    int RowCount();

private:
    void CheckSchema();
    void CheckLength();
    void CheckPages();
    void CheckRows();

    std::string m_path;
    db::Connection m_connection;
};

// Adds every row of the archive to the library as a new item filed under categoryId
// (kUnclassifiedId: no category), through FileImport::AddItemFromStream: description
// and file name from the row, rec_size as the size, today as date added, no notes; the
// whole decrypted rec_object is stored (its zero fill included; rec_size keeps the true
// length). ShowProgress(kImportProgressTitle, with Cancel), SetProgressTotal(
// kArchiveProgressText, rows); ProgressCancelled() is asked after each item and ends
// the loop. However it ends, the progress window is hidden and the last added item
// forgotten (the list is reloaded afterwards with nothing selected). Items added
// before an error stay. The password is not checked here: the dialog has done that.
// Returns the number of items added.
int ImportArchiveItems(TransferArchive& archive, const std::string& password, FileImport& import, int categoryId,
                       ProgressRoutines& progress);

} // namespace velmora
