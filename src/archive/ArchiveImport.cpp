#include "archive/ArchiveNames.h"
#include "archive/TransferArchive.h"

#include "catalogue/FileImport.h"
#include "dialogs/ProgressRoutines.h"
#include "store/Blowfish.h"
#include "store/DecryptionStream.h"
#include "store/Query.h"

#include <memory>

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

    db::Query rows(archive.Connection(), "Select * From record");
    progress.SetProgressTotal(kArchiveProgressText, rows.RecordCount());
    int added = 0;
    while (!rows.Eof()) {
        {
            std::unique_ptr<Stream> blob = rows.OpenReadStream("rec_object");
            TDecryptionStream decrypt(*blob, cipher);
            import.AddItemFromStream(categoryId, decrypt, rows.AsString("rec_description"),
                                     rows.AsString("rec_tnorigname"), rows.AsInteger("rec_size"));
        }
        ++added;
        if (progress.ProgressCancelled())
            break;
        rows.Next();
    }
    return added;
}

} // namespace velmora
