// The item list of the Library page: filling it, its views, sorting and thumbnails,
// renaming descriptions, and files dropped on it from outside.
#include "app/MainWindow.h"

#include "app/FileDropRule.h"
#include "app/ItemListView.h"
#include "app/StatusLine.h"
#include "catalogue/Categories.h"
#include "catalogue/DropEffect.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemSort.h"
#include "dialogs/WaitCursor.h"
#include "store/Query.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

#include <exception>

namespace velmora {

namespace {

// An action's hint shows in the hint line and as its button's tip.
void SetHint(QAction* action, const QString& hint)
{
    action->setStatusTip(hint);
    action->setToolTip(hint);
}

} // namespace

void TfrmMain::ConnectItemListHandlers()
{
    connect(mainList, &ItemListView::ColumnClicked, this, &TfrmMain::mainList1ColumnClick);
    connect(mainList, &ItemListView::DescriptionEdited, this, &TfrmMain::mainList1Edited);
    connect(actEditChangeDescription, &QAction::triggered, this, &TfrmMain::doChangeDescription);
    mainList->SetDropEffectRule([this](Qt::KeyboardModifiers keys) { return FileDropEffectFor(*m_fileImport, keys); });
    // The adding runs after the drop has been answered, so the file manager the files
    // came from is not kept waiting while they are stored.
    connect(mainList, &ItemListView::FilesDropped, this, &TfrmMain::listDropTargetDrop, Qt::QueuedConnection);
}

void TfrmMain::ApplyThumbnailOptions()
{
    m_thumbnailOptionsApplied = true;
    bool enabled = true;
    bool byDefault = false;
    try {
        db::Query options(m_library.MainConnection(), "Select * from options");
        if (!options.Eof()) {
            enabled = options.AsBoolean("opt_enablethumb");
            byDefault = options.AsBoolean("opt_thumbdefault");
        }
    } catch (const std::exception&) {
        // No options row: the view stays as it is.
    }
    ApplyThumbnailSwitch(enabled);
    if (!enabled)
        return;
    if (byDefault) {
        actViewThumbnails->setChecked(true);
        actViewDetails->setChecked(false);
        mainList->SetThumbnailView(true);
    }
}

void TfrmMain::ApplyThumbnailSwitch(bool enabled)
{
    if (!enabled) {
        actViewThumbnails->setEnabled(false);
        SetHint(actViewThumbnails, QStringLiteral("To enable thumbnail view, turn it on in Options"));
        actViewThumbnails->setChecked(false);
        actViewDetails->setChecked(true);
        mainList->SetThumbnailView(false);   // stops thumbTimer
        return;
    }
    // Thumbnails are always 64 x 64, so nothing made so far needs making again.
    if (!actViewThumbnails->isEnabled()) {
        const WaitCursor busy;
        actViewThumbnails->setEnabled(true);
        SetHint(actViewThumbnails, QStringLiteral("View Thumbnails"));
    }
}

void TfrmMain::ListSelectedNode()
{
    const std::optional<int> node = SelectedNodeId();
    if (!node || !m_libraryOpened)
        return;
    // The first listing comes after the password check, with the options readable.
    if (!m_thumbnailOptionsApplied)
        ApplyThumbnailOptions();
    try {
        FillItemList(ReadItemRows(m_library.MainConnection(), ItemsQueryForNode(*node)));
    } catch (const std::exception&) {
        // A listing that cannot be read leaves the list empty; the status line keeps
        // what it said.
        mainList->SetRows({});
    }
}

void TfrmMain::FillItemList(const ItemListing& listing)
{
    const WaitCursor busy;
    mainList->setUpdatesEnabled(false);
    mainList->SetRows(listing.rows);
    mainList->setUpdatesEnabled(true);
    m_counts = listing.counters;
    // The item just added is selected, once.
    if (const std::optional<int> last = m_fileImport->LastAddedItem(); last && mainList->SelectIdent(*last))
        m_fileImport->TakeLastAddedItem();
    actViewSlideshow->setEnabled(m_counts.images > 0);
    updTimerTimer();
    ScheduleActionUpdate();
}

void TfrmMain::updTimerTimer()
{
    const StatusLineTexts texts = StatusLineFor(m_counts, mainList->SelectedCount());
    btnViewSlideShow3->setVisible(texts.slideshowVisible);
    btnPrint->hide();
    m_printAllowed = false;
    Print1->setEnabled(false);
    Print2->setEnabled(false);
    // The two view buttons show their actions' checked states themselves.
    lblFileInfo1->setText(QString::fromStdString(texts.items));
    lblFileInfo3->setText(QString::fromStdString(texts.movies));
    lblFileInfo4->setText(QString::fromStdString(texts.audio));
    lblFileInfo5->setText(QString::fromStdString(texts.images));
    actFileSaveToDisk->setEnabled(texts.saveToDiskEnabled);
}

void TfrmMain::deViewDetails()
{
    SelectPage(2);
    actViewDetails->setChecked(true);
    actViewThumbnails->setChecked(false);
    mainList->SetThumbnailView(false);   // stops thumbTimer
}

void TfrmMain::doViewThumbnails()
{
    SelectPage(2);
    actViewThumbnails->setChecked(true);
    actViewDetails->setChecked(false);
    mainList->SetThumbnailView(true);   // starts thumbTimer
}

void TfrmMain::btnRefreshClick()
{
    SelectPage(2);
    ListSelectedNode();
}

void TfrmMain::SelectAll1Click()
{
    SelectPage(2);
    mainList->SelectAll();
}

void TfrmMain::mainList1ColumnClick(int column)
{
    ItemListSort sort{m_sortColumn, m_sortDirection};
    sort.ColumnClick(column);
    m_sortColumn = sort.column;
    m_sortDirection = sort.direction;
    mainList->SortRows(m_sortColumn, m_sortDirection);
}

void TfrmMain::doChangeDescription()
{
    SelectPage(2);
    mainList->EditDescription();
}

void TfrmMain::mainList1Edited(int recIdent, const QString& description)
{
    if (recIdent == 0)
        return;
    try {
        RenameItemDescription(m_library.MainConnection(), recIdent, description.toStdString());
    } catch (const std::exception&) {
        // Dropped like every uncaught error: the list keeps the new text.
    }
}

void TfrmMain::listDropTargetDrop(const std::vector<std::string>& paths, int effect)
{
    int mode = effect;
    try {
        m_fileImport->AddFileList(SelectedNodeId().value_or(kUnclassifiedId), paths, false, false, mode);
    } catch (const std::exception&) {
        // Ends silently, keeping what was added.
    }
    ListSelectedNode();
}

} // namespace velmora
