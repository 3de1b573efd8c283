// What the Library page does with items: adding, pasting, deleting, removing from a
// category, searching, saving to disk and printing.
#include "app/MainWindow.h"

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
#include "dialogs/WaitCursor.h"
#include "playback/ImageAspect.h"
#include "playback/PrintPicture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

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

void TfrmMain::ConnectLibraryOperations()
{
    connect(actEditAddToCategory, &QAction::triggered, this, &TfrmMain::addFilesToCurrentCategory);
    connect(actEditPaste, &QAction::triggered, this, &TfrmMain::doPaste);
    connect(actEditRemoveFromCategory, &QAction::triggered, this, &TfrmMain::doRemoveFromCategory);
    connect(btnFind, &QPushButton::clicked, this, &TfrmMain::btnFindNowClick);
    connect(txtTextToFind, &QLineEdit::returnPressed, this, &TfrmMain::btnFindNowClick);
    connect(actFileSaveToDisk, &QAction::triggered, this, &TfrmMain::doSaveToDisk);
    connect(actFilePrint, &QAction::triggered, this, &TfrmMain::actFilePrintExecute);
    // "Delete Files" is connected with the Del routing (MainActions.cpp).
}

void TfrmMain::HidePreviewPicture()
{
    // Stays hidden until another row is selected.
    picture->hide();
    StopPlaylistForOperation();
    actViewSlideshow->setEnabled(false);
}

void TfrmMain::addFilesToCurrentCategory()
{
    SelectPage(2);
    const QList<QUrl> chosen =
        m_fileDialogs->OpenFiles(this, QString::fromLatin1(kOpenPictureTitle), OpenPictureFilter());
    if (chosen.isEmpty())
        return;
    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(chosen.size()));
    for (const QUrl& file : chosen)
        if (auto path = LocalFilePath(file))
            files.push_back(std::move(*path));
    m_fileImport->AddSelectedFiles(SelectedNodeId().value_or(kUnclassifiedId), files);
    ListSelectedNode();
}

void TfrmMain::doPaste()
{
    SelectPage(2);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return;
    const std::vector<std::string> files = DroppedPaths(*data);
    if (files.empty())
        return;
    // A paste keeps its sources even when they were cut in the file manager.
    m_fileImport->Paste(SelectedNodeId().value_or(kUnclassifiedId), files);
    ListSelectedNode();
}

void TfrmMain::doDeleteFiles()
{
    SelectPage(2);
    // Del reaches this first even while the tree has the focus; the tree then deletes
    // its category when the key is released.
    if (!mainList->HasKeyboardFocus())
        return;
    qCDebug(lcShell, "delete files: %d selected", mainList->SelectedCount());
    std::vector<int> items = mainList->SelectedIdents();
    if (!items.empty() && ConfirmDeleteItems(*m_boxes, static_cast<int>(items.size()))) {
        // The list is walked from its last row up.
        std::reverse(items.begin(), items.end());
        FlagScope deleting(m_deletingRows);
        try {
            DeleteItems(m_library.MainConnection(), items, m_progress);
        } catch (const std::exception&) {
            // The walk ends at the item that failed; those before it stay deleted.
        }
        // The pane showed the one selected item, which has gone (or is going).
        ClearPreviewPane();
    }
    m_progress.HideProgress();
    btnRefreshClick();
}

void TfrmMain::doRemoveFromCategory()
{
    SelectPage(2);
    std::vector<int> items = mainList->SelectedIdents();
    const std::optional<int> node = SelectedNodeId();
    if (items.empty() || !node || *node == kUnclassifiedId)
        return;
    if (!ConfirmRemoveFromCategory(*m_boxes, static_cast<int>(items.size())))
        return;
    std::reverse(items.begin(), items.end());
    {
        WaitCursor wait;
        RemoveFromCategory(m_library.MainConnection(), *node, items);
    }
    ListSelectedNode();
}

void TfrmMain::btnFindNowClick()
{
    SelectPage(2);
    const SearchResult result =
        RunSearch(m_library.MainConnection(), txtTextToFind->text().toStdString(), *m_boxes);
    switch (result.status) {
    case SearchResult::Status::NoText:
        txtTextToFind->setFocus();
        break;
    case SearchResult::Status::Rejected:
        // The list is left empty; the status line keeps the counts it showed.
        mainList->SetRows({});
        ScheduleActionUpdate();
        break;
    case SearchResult::Status::Listed:
        FillItemList(result.listing);
        // The finds stay listed until a node is selected again.
        mainTree->clearSelection();
        break;
    }
}

void TfrmMain::doSaveToDisk()
{
    SelectPage(2);
    const std::vector<int> items = mainList->SelectedIdents();
    if (items.empty())
        return;
    const QString folder = m_fileDialogs->ChooseFolder(this, QString::fromLatin1(kSelectDirectoryTitle), {});
    if (folder.isEmpty())
        return;
    HidePreviewPicture();
    try {
        SaveItemsToFolder(m_library.MainConnection(), QFile::encodeName(folder).toStdString(), items, m_progress,
                          *m_boxes);
    } catch (const std::exception&) {
        // Each item's failure has been shown; anything else ends the saving silently.
    }
}

void TfrmMain::actFilePrintExecute()
{
    SelectPage(2);
    const std::vector<int> items = mainList->SelectedIdents();
    if (items.empty())
        return;
    HidePreviewPicture();
    try {
        // The window keeps working while a print command runs, so Cancel can end it.
        PrintItems(m_library.MainConnection(), items, m_progress, [] { QCoreApplication::processEvents(); },
                   UprightPrintCopy);
    } catch (const std::exception&) {
        // Printing errors are not reported.
    }
}

} // namespace velmora
