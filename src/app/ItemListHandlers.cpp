// The item list of the Library page: filling it, its views, sorting and thumbnails,
// renaming descriptions, and files dropped on it from outside.
#include "app/ItemListHandlers.h"

#include "app/LibraryPageSeam.h"

#include "app/FileDropRule.h"
#include "app/ItemListView.h"
#include "app/StatusLine.h"
#include "catalogue/Categories.h"
#include "catalogue/DropEffect.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemSort.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/WaitCursor.h"
#include "playback/PictureLoader.h"
#include "store/Library.h"
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

ItemListHandlers::ItemListHandlers(ItemListHandlersParts parts)
    : m_parts(std::move(parts)), m_pictureLoader(std::make_unique<PictureLoader>())
{
    ItemListView* mainList = m_parts.mainList;
    connect(mainList, &ItemListView::ColumnClicked, this, &ItemListHandlers::mainList1ColumnClick);
    connect(mainList, &ItemListView::DescriptionEdited, this, &ItemListHandlers::mainList1Edited);
    connect(m_parts.actEditChangeDescription, &QAction::triggered, this, &ItemListHandlers::doChangeDescription);
    connect(m_parts.actViewDetails, &QAction::triggered, this, &ItemListHandlers::deViewDetails);
    connect(m_parts.actViewThumbnails, &QAction::triggered, this, &ItemListHandlers::doViewThumbnails);
    connect(m_parts.actViewRefresh, &QAction::triggered, this, &ItemListHandlers::btnRefreshClick);
    connect(m_parts.SelectAll1, &QAction::triggered, this, &ItemListHandlers::SelectAll1Click);
    m_parts.mainList->SetDropEffectRule(
        [this](Qt::KeyboardModifiers keys) { return FileDropEffectFor(*m_parts.fileImport, keys); });
    // The adding runs after the drop has been answered, so the file manager the files
    // came from is not kept waiting while they are stored.
    connect(mainList, &ItemListView::FilesDropped, this, &ItemListHandlers::listDropTargetDrop,
            Qt::QueuedConnection);
    connect(mainList, &ItemListView::SelectionChanged, this, &ItemListHandlers::mainList1SelectItem);
    connect(m_pictureLoader.get(), &PictureLoader::Loaded, this, &ItemListHandlers::PictureLoaded);
}

ItemListHandlers::~ItemListHandlers() = default;

void ItemListHandlers::StopPictureLoader()
{
    m_pictureLoader.reset();
}

void ItemListHandlers::ApplyThumbnailOptions()
{
    m_thumbnailOptionsApplied = true;
    bool enabled = true;
    bool byDefault = false;
    try {
        db::Query options(m_parts.library->MainConnection(), "Select * from options");
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
        m_parts.actViewThumbnails->setChecked(true);
        m_parts.actViewDetails->setChecked(false);
        m_parts.mainList->SetThumbnailView(true);
    }
}

void ItemListHandlers::ApplyThumbnailSwitch(bool enabled)
{
    if (!enabled) {
        m_parts.actViewThumbnails->setEnabled(false);
        SetHint(m_parts.actViewThumbnails, QStringLiteral("To enable thumbnail view, turn it on in Options"));
        m_parts.actViewThumbnails->setChecked(false);
        m_parts.actViewDetails->setChecked(true);
        m_parts.mainList->SetThumbnailView(false);   // stops the thumbnail workers
        return;
    }
    // Thumbnails are always 64 x 64, so nothing made so far needs making again.
    if (!m_parts.actViewThumbnails->isEnabled()) {
        const WaitCursor busy;
        m_parts.actViewThumbnails->setEnabled(true);
        SetHint(m_parts.actViewThumbnails, QStringLiteral("View Thumbnails"));
    }
}

void ItemListHandlers::ListSelectedNode()
{
    const std::optional<int> node = m_parts.page->SelectedNodeId();
    if (!node || !m_parts.libraryOpened())
        return;
    // The first listing comes after the password check, with the options readable.
    if (!m_thumbnailOptionsApplied)
        ApplyThumbnailOptions();
    try {
        FillItemList(ReadItemRows(m_parts.library->MainConnection(), ItemsQueryForNode(*node)));
    } catch (const std::exception&) {
        // A listing that cannot be read leaves the list empty; the status line keeps
        // what it said.
        m_parts.mainList->SetRows({});
    }
}

void ItemListHandlers::FillItemList(const ItemListing& listing)
{
    const WaitCursor busy;
    m_parts.mainList->setUpdatesEnabled(false);
    m_parts.mainList->SetRows(listing.rows);
    m_parts.mainList->setUpdatesEnabled(true);
    m_counts = listing.counters;
    // The item just added is selected, once.
    if (const std::optional<int> last = m_parts.fileImport->LastAddedItem();
        last && m_parts.mainList->SelectIdent(*last))
        m_parts.fileImport->TakeLastAddedItem();
    m_parts.actViewSlideshow->setEnabled(m_counts.images > 0);
    updTimerTimer();
    m_parts.page->ScheduleActionUpdate();
}

void ItemListHandlers::updTimerTimer()
{
    const StatusLineTexts texts = StatusLineFor(m_counts, m_parts.mainList->SelectedCount());
    m_parts.btnViewSlideShow3->setVisible(texts.slideshowVisible);
    m_parts.btnPrint->hide();
    m_printAllowed = false;
    m_parts.Print1->setEnabled(false);
    m_parts.Print2->setEnabled(false);
    // The two view buttons show their actions' checked states themselves.
    m_parts.lblFileInfo1->setText(QString::fromStdString(texts.items));
    m_parts.lblFileInfo3->setText(QString::fromStdString(texts.movies));
    m_parts.lblFileInfo4->setText(QString::fromStdString(texts.audio));
    m_parts.lblFileInfo5->setText(QString::fromStdString(texts.images));
    m_parts.actFileSaveToDisk->setEnabled(texts.saveToDiskEnabled);
}

void ItemListHandlers::deViewDetails()
{
    m_parts.page->SelectPage(2);
    m_parts.actViewDetails->setChecked(true);
    m_parts.actViewThumbnails->setChecked(false);
    m_parts.mainList->SetThumbnailView(false);   // stops the thumbnail workers
}

void ItemListHandlers::doViewThumbnails()
{
    m_parts.page->SelectPage(2);
    m_parts.actViewThumbnails->setChecked(true);
    m_parts.actViewDetails->setChecked(false);
    m_parts.mainList->SetThumbnailView(true);   // starts the thumbnail workers
}

void ItemListHandlers::btnRefreshClick()
{
    m_parts.page->SelectPage(2);
    ListSelectedNode();
}

void ItemListHandlers::SelectAll1Click()
{
    m_parts.page->SelectPage(2);
    m_parts.mainList->SelectAll();
}

void ItemListHandlers::mainList1ColumnClick(int column)
{
    ItemListSort sort{m_sortColumn, m_sortDirection};
    sort.ColumnClick(column);
    m_sortColumn = sort.column;
    m_sortDirection = sort.direction;
    m_parts.mainList->SortRows(m_sortColumn, m_sortDirection);
}

void ItemListHandlers::doChangeDescription()
{
    m_parts.page->SelectPage(2);
    m_parts.mainList->EditDescription();
}

void ItemListHandlers::mainList1Edited(int recIdent, const QString& description)
{
    if (recIdent == 0)
        return;
    try {
        RenameItemDescription(m_parts.library->MainConnection(), recIdent, description.toStdString());
    } catch (const std::exception&) {
        // Dropped like every uncaught error: the list keeps the new text.
    }
}

void ItemListHandlers::listDropTargetDrop(const std::vector<std::string>& paths, int effect)
{
    int mode = effect;
    try {
        m_parts.fileImport->AddFileList(m_parts.page->SelectedNodeId().value_or(kUnclassifiedId), paths, false, false,
                                        mode);
    } catch (const std::exception&) {
        // Ends silently, keeping what was added.
    }
    ListSelectedNode();
}

} // namespace velmora
