// Transfer archives from the main window: export, import, the archive named at start
// and those a second start hands over.
#include "app/ArchiveHandlers.h"

#include "app/LibraryPageSeam.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "archive/ArchiveError.h"
#include "archive/ArchiveExport.h"
#include "archive/ArchiveNames.h"
#include "archive/TransferArchive.h"
#include "catalogue/Categories.h"
#include "catalogue/FileImport.h"
#include "dialogs/EnterPassDialog.h"
#include "dialogs/GetPassDialog.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/FileDialogs.h"
#include "store/Library.h"
#include "ui/MessageBoxes.h"

#include <QAction>

#include <memory>
#include <optional>

namespace velmora {

namespace {

// The choosers take Qt's filter form.
const QString kArchiveFileFilter = QStringLiteral("Encrypted Transfer Archive (*.eta)");

// An import that broke off part way is told with this note, so that nobody takes the
// archive for imported.
constexpr const char* kImportStoppedNote = "\r\nThe items imported before the error stay in the library.";

// Runs a clean-up when the scope is left, however it is left.
template <typename F>
class Finally {
public:
    explicit Finally(F action) : m_action(std::move(action)) {}
    ~Finally() { m_action(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F m_action;
};

} // namespace

ArchiveHandlers::ArchiveHandlers(ArchiveHandlersParts parts) : m_parts(std::move(parts))
{
    connect(m_parts.actFileExport, &QAction::triggered, this, &ArchiveHandlers::doExportToArchive);
    connect(m_parts.actExportCategory, &QAction::triggered, this, &ArchiveHandlers::actExportCategoryExecute);
    connect(m_parts.actFileImport, &QAction::triggered, this, &ArchiveHandlers::actFileImportExecute);
}

// ---- export ----

void ArchiveHandlers::doExportToArchive()
{
    m_parts.page->SelectPage(2);
    const std::vector<int> items = m_parts.mainList->SelectedIdents();
    if (items.empty())
        return;
    ExportItems(items, true);
}

void ArchiveHandlers::actExportCategoryExecute()
{
    m_parts.page->SelectPage(2);
    const std::vector<int> items = ListedItems();
    if (items.empty()) {
        m_parts.boxes->ShowMessageBox(kNoItemsInCategoryMessage, mb::kIconInformation);
        return;
    }
    if (!m_parts.page->SelectedNodeId())
        return;
    ExportItems(items, false);
}

std::vector<int> ArchiveHandlers::ListedItems() const
{
    // In the order the list shows them.
    std::vector<int> idents;
    idents.reserve(static_cast<std::size_t>(m_parts.mainList->RowCount()));
    for (int row = 0; row < m_parts.mainList->RowCount(); ++row)
        idents.push_back(m_parts.mainList->IdentAt(row));
    return idents;
}

void ArchiveHandlers::ExportItems(const std::vector<int>& items, bool selectedItems)
{
    const QString chosen = m_parts.fileDialogs->SaveFile(m_parts.mainWindow, QString::fromLatin1(kExportDialogTitle),
                                                         kArchiveFileFilter, QString::fromLatin1(kArchiveNamePreset));
    if (chosen.isEmpty())
        return;
    std::string path = chosen.toStdString();
    if (IsTemplateArchivePath(path)) {
        m_parts.boxes->ShowMessageBox(kTemplateRefusedMessage, mb::kIconError);
        return;
    }
    if (selectedItems)
        path = ExportArchiveName(path);

    std::string password;
    {
        TdlgGetPass dialog(*m_parts.boxes, m_parts.mainWindow);
        if (dialog.exec() != QDialog::Accepted)
            return;
        password = dialog.Password();
    }

    try {
        // Only the export of selected items can be cancelled.
        ExportToArchive(m_parts.library->MainConnection(), path, password, items, *m_parts.progress, selectedItems);
    } catch (const std::exception& error) {
        m_parts.progress->HideProgress();   // the message must not sit under the progress window
        m_parts.boxes->ShowMessageBox(std::string(kExportFailedPrefix) + error.what(), mb::kIconError);
    }
}

// ---- import ----

void ArchiveHandlers::actFileImportExecute()
{
    m_parts.page->SelectPage(2);
    const QString chosen = m_parts.fileDialogs->OpenFile(m_parts.mainWindow, QString::fromLatin1(kImportDialogTitle),
                                                         kArchiveFileFilter, QString::fromLatin1(kArchiveNamePreset));
    if (chosen.isEmpty())
        return;
    try {
        ImportArchiveNow(chosen.toStdString());
    } catch (const std::exception&) {
        // Not an archive, or one another program is writing: nothing happens, as for
        // every error no operation reports (dropped here rather than thrown through
        // the event loop).
    }
}

void ArchiveHandlers::WindowActivated()
{
    // An archive named on the command line is imported at the first activation; if it
    // could not be, it is tried again at the next one. It runs from the event loop just
    // after the activation: its dialogs must not run inside the window system's
    // activation handling.
    if (m_pendingArchive.empty() || m_pendingArchiveQueued)
        return;
    m_pendingArchiveQueued = true;
    QMetaObject::invokeMethod(this, &ArchiveHandlers::ImportPendingArchive, Qt::QueuedConnection);
}

void ArchiveHandlers::ImportPendingArchive()
{
    m_pendingArchiveQueued = false;
    // Not while an operation runs (the import's own dialogs, an export's progress
    // window activate the window again); the next activation tries.
    if (m_pendingArchive.empty() || m_importingArchive || !m_parts.mainWindow->isEnabled())
        return;
    try {
        // Shown on the Library page, as an import from the menu is.
        ImportArchiveNow(m_pendingArchive, true);
        m_pendingArchive.clear();
    } catch (const std::exception&) {
        // Kept for the next activation; dropped like every error no operation reports.
    }
}

void ArchiveHandlers::ImportArchive(const std::string& path)
{
    // A hand-over: see QueueHandOver for why it runs from the event loop.
    m_parts.queueHandOver([this, path] {
        qCDebug(lcHandOver, "import %s", path.c_str());
        ImportArchiveNow(path);
    });
}

void ArchiveHandlers::ImportArchiveNow(const std::string& path, bool showLibraryPage)
{
    if (m_importingArchive) {
        // The password dialog of another import is open: one archive after another.
        m_waitingArchives.push_back(path);
        return;
    }
    m_importingArchive = true;
    const Finally done([this] {
        m_importingArchive = false;
        // Their turn comes from the event loop, in the order they came.
        while (!m_waitingArchives.empty()) {
            m_parts.queueHandOver([this, path = m_waitingArchives.front()] { ImportArchiveNow(path); });
            m_waitingArchives.pop_front();
        }
    });

    std::unique_ptr<TransferArchive> archive;
    try {
        archive = std::make_unique<TransferArchive>(path);
    } catch (const ArchiveError& error) {
        if (!IsToldWhenOpening(error.reason()))
            throw;
        m_parts.boxes->ShowMessageBox(ImportFailedMessage(error), mb::kIconError);
        return;
    }
    if (showLibraryPage)
        m_parts.page->SelectPage(2);

    std::optional<std::string> failure;
    {
        // However the import ends: the archive closed, the progress window gone, no
        // item to select, the list read again.
        const Finally cleanUp([this, &archive] {
            archive.reset();
            m_parts.progress->HideProgress();
            m_parts.fileImport->TakeLastAddedItem();
            try {
                m_parts.page->ListSelectedNode();
            } catch (const std::exception&) {
                // The list keeps what it showed; the import itself is over.
            }
        });

        std::string password;
        {
            TransferArchive& opened = *archive;
            TdlgEnterPass dialog(
                [&opened](const std::string& candidate, bool base64) {
                    return opened.CheckArchivePassword(candidate, base64);
                },
                *m_parts.boxes, m_parts.mainWindow);
            if (dialog.exec() != QDialog::Accepted)
                return;
            password = dialog.Password();
        }

        try {
            ImportArchiveItems(*archive, password, *m_parts.fileImport,
                               m_parts.page->SelectedNodeId().value_or(kUnclassifiedId), *m_parts.progress);
        } catch (const std::exception& error) {
            failure = ImportFailedMessage(error);
        }
    }
    if (failure)
        m_parts.boxes->ShowMessageBox(*failure + kImportStoppedNote, mb::kIconError);
}

} // namespace velmora
