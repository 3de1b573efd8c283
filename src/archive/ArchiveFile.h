#pragma once

#include "archive/ArchiveReadLock.h"
#include "archive/ArchiveSchema.h"
#include "store/Connection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velmora {

class Stream;

// A transfer archive opened with the database engine, for reading: only the archive
// reader process does this (the engine's parser is not to be trusted with files from
// other people in the program itself). Opened immutable, exactly as it lies: no
// journal beside it is taken back into it and none is made (the file is someone
// else's). The readers' lock is held for the object's life (ArchiveReadLock), so no
// other connection can commit a change to the file while it is open. Everything that
// can be known without the password is checked by the constructor, which raises
// ArchiveError and keeps nothing open when
//   - the file is missing, is not a database or carries another database password
//     (NotAnArchive),
//   - another connection is in the middle of writing it (Locked),
//   - a journal of a change that never finished lies beside it (Damaged),
//   - its objects are not exactly those of the template: the same tables with the same
//     columns, and no view, trigger, index or other object; or those and exactly the
//     piece table of items in pieces (ArchiveSchema.h) (MissingSchema),
//   - the Options table has no check value (BadContent),
//   - the file is shorter than its own header says, or a page of it fails its check
//     (Damaged; every page is read once for this),
//   - a row's content is not rec_size rounded up to 8 bytes long (rec_object, or its
//     pieces: one missing, short, long, out of place, twice or of no item), rec_size
//     is not a number of 0 or more, or the row's texts are too long to pass on
//     (BadContent).
// So a reading that starts has a whole, consistent archive under it.
class ArchiveFile {
public:
    // templatePath: the shipped empty archive whose objects the archive must have.
    ArchiveFile(const std::string& path, const std::string& templatePath);
    ~ArchiveFile();
    ArchiveFile(const ArchiveFile&) = delete;
    ArchiveFile& operator=(const ArchiveFile&) = delete;

    // The number of rows of the record table.
    std::int64_t RowCount();
    // opt_pass of the first Options row, as stored.
    std::string CheckValue();

    struct Row {
        std::int64_t size = 0;
        std::string name;
        std::string description;
        std::string notes;
        Stream* object = nullptr;   // the content, read in place front to back; valid during the call
    };
    // Calls each with every row of the record table, in order.
    void ForEachRow(const std::function<void(Row&)>& each);

private:
    void CheckCheckValue();
    void CheckLength();
    void CheckPages();
    void CheckRows();

    std::string m_path;
    ArchiveForm m_form = ArchiveForm::Plain;
    // Let go of after the connection.
    std::unique_ptr<ArchiveReadLock> m_lock;
    db::Connection m_connection;
};

} // namespace velmora
