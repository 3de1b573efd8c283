// What the Library page does with items: adding, pasting, deleting, removing from a
// category, searching, saving to disk and printing.
#include "app/LibraryOperations.h"

#include "app/LibraryPageSeam.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "catalogue/AddFilesFilter.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryLinks.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Confirmations.h"
#include "catalogue/DragMarkers.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemDeletion.h"
#include "catalogue/LocalFileUrl.h"
#include "catalogue/PrintItems.h"
#include "catalogue/SaveToDisk.h"
#include "catalogue/Search.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/WaitCursor.h"
#include "store/Library.h"
#include "playback/ImageAspect.h"
#include "playback/PrintPicture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>

#include <algorithm>
#include <exception>

namespace velmora {

namespace {

constexpr const char* kOpenPictureTitle = "Open picture";

QString OpenPictureFilter()
{
    return QString::fromStdString(AddFilesFilter());
}

// Sets a flag for as long as the scope lasts.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

LibraryOperations::LibraryOperations(LibraryOperationsParts parts) : m_parts(std::move(parts))
{
    connect(m_parts.actEditAddToCategory, &QAction::triggered, this,
            &LibraryOperations::addFilesToCurrentCategory);
    connect(m_parts.actEditPaste, &QAction::triggered, this, &LibraryOperations::doPaste);
    connect(m_parts.actEditRemoveFromCategory, &QAction::triggered, this, &LibraryOperations::doRemoveFromCategory);
    connect(m_parts.actEditDeleteFiles, &QAction::triggered, this, &LibraryOperations::doDeleteFiles);
    connect(m_parts.btnFind, &QPushButton::clicked, this, &LibraryOperations::btnFindNowClick);
    connect(m_parts.txtTextToFind, &QLineEdit::returnPressed, this, &LibraryOperations::btnFindNowClick);
    connect(m_parts.actFileSaveToDisk, &QAction::triggered, this, &LibraryOperations::doSaveToDisk);
    connect(m_parts.actFilePrint, &QAction::triggered, this, &LibraryOperations::actFilePrintExecute);
}

void LibraryOperations::addFilesToCurrentCategory()
{
    m_parts.page->SelectPage(2);
    const QList<QUrl> chosen =
        m_parts.fileDialogs->OpenFiles(m_parts.mainWindow, QString::fromLatin1(kOpenPictureTitle), OpenPictureFilter());
    if (chosen.isEmpty())
        return;
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(chosen.size()));
    for (const QUrl& file : chosen)
        if (auto path = LocalFilePath(file))
            files.push_back(std::move(*path));
    m_parts.fileImport->AddSelectedFiles(m_parts.page->SelectedNodeId().value_or(kUnclassifiedId), files);
    m_parts.page->ListSelectedNode();
}

void LibraryOperations::doPaste()
{
    m_parts.page->SelectPage(2);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return;
    const std::vector<std::string> files = DroppedPaths(*data);
    if (files.empty())
        return;
    // A paste keeps its sources even when they were cut in the file manager.
    m_parts.fileImport->Paste(m_parts.page->SelectedNodeId().value_or(kUnclassifiedId), files);
    m_parts.page->ListSelectedNode();
}

void LibraryOperations::doDeleteFiles()
{
    m_parts.page->SelectPage(2);
    // Del reaches this first even while the tree has the focus; the tree then deletes
    // its category when the key is released.
    if (!m_parts.mainList->HasKeyboardFocus())
        return;
    qCDebug(lcShell, "delete files: %d selected", m_parts.mainList->SelectedCount());
    std::vector<int> items = m_parts.mainList->SelectedIdents();
    if (!items.empty() && ConfirmDeleteItems(*m_parts.boxes, static_cast<int>(items.size()))) {
        // The list is walked from its last row up.
        std::reverse(items.begin(), items.end());
        FlagScope deleting(m_deletingRows);
        try {
            DeleteItems(m_parts.library->MainConnection(), items, *m_parts.progress);
        } catch (const std::exception&) {
            // The walk ends at the item that failed; those before it stay deleted.
        }
        // The pane showed the one selected item, which has gone (or is going).
        m_parts.clearPreviewPane();
    }
    m_parts.progress->HideProgress();
    // Refreshed as by "Refresh".
    m_parts.page->SelectPage(2);
    m_parts.page->ListSelectedNode();
}

void LibraryOperations::doRemoveFromCategory()
{
    m_parts.page->SelectPage(2);
    std::vector<int> items = m_parts.mainList->SelectedIdents();
    const std::optional<int> node = m_parts.page->SelectedNodeId();
    if (items.empty() || !node || *node == kUnclassifiedId)
        return;
    if (!ConfirmRemoveFromCategory(*m_parts.boxes, static_cast<int>(items.size())))
        return;
    std::reverse(items.begin(), items.end());
    {
        WaitCursor wait;
        RemoveFromCategory(m_parts.library->MainConnection(), *node, items);
    }
    m_parts.page->ListSelectedNode();
}

void LibraryOperations::btnFindNowClick()
{
    m_parts.page->SelectPage(2);
    const SearchResult result =
        RunSearch(m_parts.library->MainConnection(), m_parts.txtTextToFind->text().toStdString(), *m_parts.boxes);
    switch (result.status) {
    case SearchResult::Status::NoText:
        m_parts.txtTextToFind->setFocus();
        break;
    case SearchResult::Status::Rejected:
        // The list is left empty; the status line keeps the counts it showed.
        m_parts.mainList->SetRows({});
        m_parts.page->ScheduleActionUpdate();
        break;
    case SearchResult::Status::Listed:
        m_parts.fillItemList(result.listing);
        // The finds stay listed until a node is selected again.
        m_parts.mainTree->clearSelection();
        break;
    }
}

void LibraryOperations::doSaveToDisk()
{
    m_parts.page->SelectPage(2);
    const std::vector<int> items = m_parts.mainList->SelectedIdents();
    if (items.empty())
        return;
    const QString folder =
        m_parts.fileDialogs->ChooseFolder(m_parts.mainWindow, QString::fromLatin1(kSelectDirectoryTitle), {});
    if (folder.isEmpty())
        return;
    m_parts.hidePreviewPicture();
    try {
        SaveItemsToFolder(m_parts.library->MainConnection(), QFile::encodeName(folder).toStdString(), items,
                          *m_parts.progress, *m_parts.boxes);
    } catch (const std::exception&) {
        // Each item's failure has been shown; anything else ends the saving silently.
    }
}

void LibraryOperations::actFilePrintExecute()
{
    m_parts.page->SelectPage(2);
    const std::vector<int> items = m_parts.mainList->SelectedIdents();
    if (items.empty())
        return;
    m_parts.hidePreviewPicture();
    try {
        // The window keeps working while a print command runs, so Cancel can end it.
        PrintItems(m_parts.library->MainConnection(), items, *m_parts.progress,
                   [] { QCoreApplication::processEvents(); }, UprightPrintCopy);
    } catch (const std::exception&) {
        // Printing errors are not reported.
    }
}

} // namespace velmora
