#include "catalogue/PrintItems.h"

#include "catalogue/ItemContent.h"
#include "catalogue/PrintJob.h"
#include "store/FileStream.h"
#include "store/MemoryStream.h"
#include "store/MediaExtensions.h"
#include "store/Query.h"
#include "store/SqlText.h"
#include "ui/ProgressRoutines.h"

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace velmora {

namespace {

constexpr auto kWaitInterval = std::chrono::milliseconds(10);

// A uniquely named file in the temporary folder, made with the item's extension
// in one step (no window in which another process could take the name), and
// removed however printing ends.
class TemporaryPrintCopy {
public:
    explicit TemporaryPrintCopy(const std::string& extension)
    {
        std::error_code error;
        std::filesystem::path folder = std::filesystem::temp_directory_path(error);
        if (error)
            folder = "/tmp";
        std::string pattern = (folder / "tnXXXXXX").string() + extension;
        const int fd = ::mkstemps(pattern.data(), static_cast<int>(extension.size()));
        if (fd < 0)
            throw std::runtime_error("Cannot make a temporary copy to print");
        ::close(fd);
        m_path = pattern;
    }
    ~TemporaryPrintCopy()
    {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    TemporaryPrintCopy(const TemporaryPrintCopy&) = delete;
    TemporaryPrintCopy& operator=(const TemporaryPrintCopy&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

} // namespace

bool IsPrintableFile(std::string_view fileName)
{
    const MediaType* type = FindMediaType(fileName);
    return type && type->printable;
}

void PrintItem(db::Connection& connection, int recIdent, ProgressRoutines& progress,
               const ProcessMessages& processMessages, const PrintCopyMaker& makeCopy)
{
    try {
        std::string name;
        {
            db::Query record(connection, SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", recIdent));
            if (record.Eof())
                return;
            name = record.AsString("rec_tnorigname");
        }
        progress.SetProgressTotal(name, -1);   // the text only; the steps stay
        std::optional<PrintCopy> made;
        if (makeCopy) {
            MemoryStream content;
            ReadItemToStream(connection, recIdent, content, progress);
            std::string bytes(static_cast<std::size_t>(content.Size()), '\0');
            content.SetPosition(0);
            content.ReadBuffer(bytes.data(), content.Size());
            made = makeCopy(UpperExtension(name), bytes);
            if (!made)
                made = PrintCopy{UpperExtension(name), std::move(bytes)};
        }
        TemporaryPrintCopy copy(made ? made->extension : UpperExtension(name));
        {
            FileStream file(copy.Path(), FileMode::Create);
            if (made)
                file.WriteBuffer(made->bytes.data(), static_cast<std::int64_t>(made->bytes.size()));
            else
                ReadItemToStream(connection, recIdent, file, progress);
        }
        PrintJob job(PrintCommand(), copy.Path());
        while (!job.Finished()) {
            if (progress.ProgressCancelled()) {
                job.Terminate();
                break;
            }
            if (processMessages)
                processMessages();
            std::this_thread::sleep_for(kWaitInterval);
        }
    } catch (const std::exception&) {
        // Printing errors are not reported.
    }
}

void PrintItems(db::Connection& connection, const std::vector<int>& items, ProgressRoutines& progress,
                const ProcessMessages& processMessages, const PrintCopyMaker& makeCopy)
{
    progress.ShowProgress("Printing Files, Please Wait", false);
    ProgressScope scope(progress);
    progress.SetProgressTotal("Printing Files", static_cast<int>(items.size()));
    for (int recIdent : items) {
        std::string name;
        {
            db::Query record(connection, SqlFormat("Select rec_tnorigname from Record where rec_ident = %d", recIdent));
            if (!record.Eof())
                name = record.AsString("rec_tnorigname");
        }
        if (IsPrintableFile(name))
            PrintItem(connection, recIdent, progress, processMessages, makeCopy);
        progress.StepProgress();
        if (progress.ProgressCancelled())
            break;
    }
}

} // namespace velmora
