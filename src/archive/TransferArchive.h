#pragma once

#include "archive/ArchiveReaderProcess.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace velmora {

class FileImport;
class ProgressRoutines;
class Stream;

// The descriptive columns of one row of an archive's record table.
struct ArchiveRow {
    std::int64_t size = 0;   // rec_size
    std::string name;        // rec_tnorigname
    std::string description; // rec_description
    std::string notes;       // rec_notes
};

// An archive opened for import. The file itself is opened and read only by the
// archive reader, a process of its own under resource limits (ArchiveReaderProcess):
// an archive comes from someone else, and the database engine's parser has known
// crashes on crafted files. The reader checks everything that can be known without
// the password before the constructor returns (ArchiveFile says what), and holds the
// archive open and locked against writers for this object's life. The constructor
// raises ArchiveError with the reader's reason when it refuses the archive, and with
// Unreadable when the reader crashes, exceeds a limit, hangs or answers nonsense; a
// failure of the reader later, while rows are read, raises the same.
class TransferArchive {
public:
    explicit TransferArchive(const std::string& path);
    TransferArchive(const std::string& path, const ReaderOptions& options);
    ~TransferArchive();
    TransferArchive(const TransferArchive&) = delete;
    TransferArchive& operator=(const TransferArchive&) = delete;

    const std::string& Path() const { return m_path; }

    // Whether candidate opens the check value in opt_pass of the first Options row:
    // with base64 the text is Base64-decoded first (text that does not decode fails),
    // else its bytes are the cipher bytes. Any error makes it false.
    bool CheckArchivePassword(const std::string& candidate, bool base64);
    // CheckArchivePassword with base64, then without: what the password dialog asks.
    bool AcceptsPassword(const std::string& candidate);

    // Number of rows of the record table: the items an import adds.
    int RowCount() const { return m_rowCount; }

    // The next row of the record table, in order; none after the last. Its rec_object
    // (rec_size rounded up to whole cipher blocks) is read from Content() until the
    // next call, which skips what was not read.
    std::optional<ArchiveRow> NextRow();
    Stream& Content();

private:
    class ContentStream;

    [[noreturn]] void Fail(const std::string& what);
    // Reads the next frame's header; a refusal is raised.
    std::uint8_t NextFrame(std::uint32_t& length, std::chrono::milliseconds wait);
    std::string ReadPayload(std::uint32_t length, std::chrono::milliseconds wait);
    void ReadExact(void* buffer, std::size_t count, std::chrono::milliseconds wait);

    std::string m_path;
    ReaderOptions m_options;
    std::unique_ptr<ArchiveReaderProcess> m_reader;
    int m_rowCount = 0;
    std::string m_checkValue;
    std::unique_ptr<ContentStream> m_content;
    bool m_ended = false;
};

// Adds every row of the archive to the library as a new item filed under categoryId
// (kUnclassifiedId: no category), through FileImport::AddItemFromStream: description
// and file name from the row, rec_size as the size, today as date added, no notes; the
// whole decrypted rec_object is stored (its zero fill included; rec_size keeps the true
// length). ShowProgress(kImportProgressTitle, with Cancel), SetProgressTotal(
// kArchiveProgressText, rows); ProgressCancelled() is asked after each item and ends
// the loop. However it ends, the progress window is hidden and the last added item
// forgotten (the list is reloaded afterwards with nothing selected). Items added
// before an error stay. The items are made durable a block at a time (FileImport::Batch),
// all of them before it returns. The password is not checked here: the dialog has done that.
// Returns the number of items added.
int ImportArchiveItems(TransferArchive& archive, const std::string& password, FileImport& import, int categoryId,
                       ProgressRoutines& progress);

} // namespace velmora
