// velmora-archive-reader ARCHIVE: opens a transfer archive, checks it and writes what
// it holds to standard output as frames (ArchiveReaderProtocol.h), then keeps the
// archive open and locked until its standard input ends. The importer runs it in a
// process of its own under resource limits: files from other people meet the database
// engine's parser only here, where a crash or a hang costs nothing but this process.
#include "archive/ArchiveError.h"
#include "archive/ArchiveFile.h"
#include "archive/ArchiveReaderProtocol.h"
#include "store/LibraryFiles.h"
#include "store/Stream.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

// The importer closes our input when it is done with the archive.
void WaitForInputEnd()
{
    char byte;
    while (::read(STDIN_FILENO, &byte, 1) > 0) {
    }
}

void SendArchive(const std::string& path, reader::FrameWriter& out)
{
    ArchiveFile archive(path, JoinPath(GetAppDir(), kArchiveTemplateName));
    out.Header(archive.RowCount(), archive.CheckValue());
    std::vector<char> piece(reader::kMaxDataPayload);
    archive.ForEachRow([&](ArchiveFile::Row& row) {
        const std::int64_t length = row.object->Size();
        out.Row(row.size, length, row.name, row.description, row.notes);
        for (std::int64_t left = length; left > 0;) {
            const std::int64_t n =
                row.object->Read(piece.data(), std::min<std::int64_t>(left, reader::kMaxDataPayload));
            if (n <= 0)
                throw StreamError("the content of \"" + row.name + "\" ends early");
            out.Data(piece.data(), static_cast<std::size_t>(n));
            left -= n;
        }
    });
    out.End();
    WaitForInputEnd();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    reader::FrameWriter out(STDOUT_FILENO);
    try {
        try {
            SendArchive(argv[1], out);
        } catch (const ArchiveError& refused) {
            out.Refusal(refused.reason(), refused.what());
        } catch (const std::exception& failure) {
            // A read that failed half-way: a page the check passed cannot be read now.
            out.Refusal(ArchiveError::Reason::Damaged, failure.what());
        }
    } catch (const std::exception&) {
        return 1;   // the importer has gone
    }
    return 0;
}
