// The item list of the Library page: filling it, its views, sorting and thumbnails.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/StatusLine.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>

namespace velmora {

void TfrmMain::ConnectItemListHandlers()
{
}

void TfrmMain::ListSelectedNode()
{
    const std::optional<int> node = SelectedNodeId();
    if (!node || !m_libraryOpened)
        return;
    FillItemList(ReadItemRows(m_library.MainConnection(), ItemsQueryForNode(*node)));
}

void TfrmMain::FillItemList(const ItemListing& listing)
{
    mainList->SetRows(listing.rows);
    m_counts = listing.counters;
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
    mainList->SetThumbnailView(false);
}

void TfrmMain::doViewThumbnails()
{
    SelectPage(2);
    actViewThumbnails->setChecked(true);
    mainList->SetThumbnailView(true);
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

} // namespace velmora
