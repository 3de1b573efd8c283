#include "archive/ArchiveNames.h"
#include "archive/TransferArchive.h"

#include "catalogue/FileImport.h"
#include "store/Blowfish.h"
#include "ui/ProgressRoutines.h"

#include <optional>

namespace velmora {

namespace {

// The clean-up every import ends with: nothing stays selected in the reloaded list.
class ForgetLastAdded {
public:
    explicit ForgetLastAdded(FileImport& import) : m_import(import) {}
    ~ForgetLastAdded() { m_import.TakeLastAddedItem(); }
    ForgetLastAdded(const ForgetLastAdded&) = delete;
    ForgetLastAdded& operator=(const ForgetLastAdded&) = delete;

private:
    FileImport& m_import;
};

} // namespace

int ImportArchiveItems(TransferArchive& archive, const std::string& password, FileImport& import, int categoryId,
                       ProgressRoutines& progress)
{
    ForgetLastAdded forget(import);
    const TBlowfish cipher(password);
    progress.ShowProgress(kImportProgressTitle, false);
    ProgressScope hide(progress);

    progress.SetProgressTotal(kArchiveProgressText, archive.RowCount());
    // The archive stays: its items need to be on the disk only once the import ends, so
    // they are made durable a block at a time rather than one by one.
    FileImport::Batch batch(import, archive.RowCount());
    int added = 0;
    while (const std::optional<ArchiveRow> row = archive.NextRow()) {
        // The content is taken as it is stored and decrypted on the add's cipher threads.
        import.AddItemFromStream(categoryId, archive.Content(), row->description, row->name, row->size, &cipher);
        ++added;
        if (progress.ProgressCancelled())
            break;
    }
    batch.Complete();
    return added;
}

} // namespace velmora
