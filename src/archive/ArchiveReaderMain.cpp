// velmora-archive-reader ARCHIVE: opens a transfer archive, checks it and writes what
// it holds to standard output as frames (ArchiveReaderProtocol.h), then keeps the
// archive open and locked until its standard input ends. The importer runs it in a
// process of its own under resource limits, with an empty environment and no new
// privileges, and it shuts itself in (ReaderSandbox.h) before the archive is opened:
// files from other people meet the database engine's parser only here, where a crash,
// a hang or a take-over costs nothing but this process.
#include "archive/ArchiveError.h"
#include "archive/ArchiveFile.h"
#include "archive/ArchiveReaderProtocol.h"
#include "archive/ReaderSandbox.h"
#include "store/LibraryFiles.h"
#include "store/Stream.h"

#include <openssl/crypto.h>

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

// The database engine's cipher library reads its configuration file when it first
// works; read now, before the sandbox would refuse it (it would go on without).
void PrepareCipherLibrary()
{
    if (OPENSSL_init_crypto(OPENSSL_INIT_LOAD_CONFIG, nullptr) != 1)
        throw std::runtime_error("the cipher library cannot start");
}

void SendArchive(const std::string& path, const std::string& templatePath, reader::FrameWriter& out)
{
    ArchiveFile archive(path, templatePath);
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
        const std::string path = argv[1];
        const std::string templatePath = JoinPath(GetAppDir(), kArchiveTemplateName);
        try {
            PrepareCipherLibrary();
            EnterReaderSandbox({path, templatePath});
        } catch (const std::exception& failure) {
            // Never read without it.
            out.Refusal(ArchiveError::Reason::Unreadable,
                        std::string("the archive reader cannot shut itself in: ") + failure.what());
            return 1;
        }
        try {
            SendArchive(path, templatePath, out);
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
