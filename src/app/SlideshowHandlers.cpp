// The slideshow window and the double-click rules of the item list, which decide
// between the slideshow and the play list.
#include "app/MainWindow.h"

#include "app/ItemListHandlers.h"

#include "app/ItemListSlideshow.h"
#include "app/ItemListView.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemKind.h"
#include "playback/ImageAspect.h"
#include "playback/PictureLoader.h"
#include "playback/PlayerHost.h"
#include "playback/Playlist.h"
#include "playback/Preview.h"
#include "store/MediaExtensions.h"

#include <QAbstractItemView>
#include <QGridLayout>
#include <QKeyEvent>
#include <QListView>
#include <QTreeView>

namespace velmora {

void TfrmMain::ConnectSlideshowHandlers()
{
    m_slideshowList = std::make_unique<ItemListSlideshow>(*mainList);
    m_preview = std::make_unique<TfrmPreview>(
        *m_slideshowList, [this] { return ReadSlideshowOptions(m_library.MainConnection()); },
        [this] { ReturnPictureToPane(); });
    connect(m_preview.get(), &TfrmPreview::CycleToggled, this, &TfrmMain::SetSlideshowCycle);
    m_fileImport->SetBeforeAdding([this] { WithdrawSlideshow(); });

    connect(actViewSlideshow, &QAction::triggered, this, &TfrmMain::doViewSlideshow);
    connect(picture, &TImageAspect::DblClick, this, &TfrmMain::pictureDblClick);
    Panel4->installEventFilter(this);   // double click on the pane
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(mainList->DetailView()),
                                    static_cast<QAbstractItemView*>(mainList->ThumbnailView())}) {
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex& index) { mainList1DblClick(index.row()); });
        view->installEventFilter(this);   // Enter
    }
}

bool TfrmMain::SlideshowEvent(QObject* watched, QEvent* event)
{
    if (watched == Panel4 && event->type() == QEvent::MouseButtonDblClick) {
        doViewSlideshow();
        return true;
    }
    if ((watched == mainList->DetailView() || watched == mainList->ThumbnailView()) &&
        event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // mainList1KeyPress: Enter while a picture is previewed starts the show.
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && picture->isVisible()) {
            doViewSlideshow();
            return true;
        }
    }
    return false;
}

void TfrmMain::doViewSlideshow()
{
    if (m_itemList->Counts().images <= 0 || mainList->RowCount() == 0)
        return;
    m_player->PauseForSlideshow();
    if (!m_preview->Start() || mainList->SelectedCount() == 0)
        return;
    m_preview->TakePicture(picture);
    m_preview->showFullScreen();
    m_preview->raise();
    m_preview->activateWindow();
}

void TfrmMain::mainList1DblClick(int row)
{
    if (row < 0 || row >= mainList->RowCount())
        return;
    if (const ItemCounters& counts = m_itemList->Counts();
        counts.images > 0 && counts.movies == 0 && counts.audio == 0 && counts.unknown == 0) {
        doViewSlideshow();
        return;
    }
    const int selected = m_slideshowList->SelectedRow();
    if (selected < 0)
        return;
    if (m_slideshowList->IsPicture(selected)) {
        doViewSlideshow();
        return;
    }
    // Anything else plays: the whole list becomes the play list, from this item on.
    m_playlist->Clear();
    int start = 0;
    for (int listRow = 0; listRow < mainList->RowCount(); ++listRow) {
        if (AddToPlaylist(listRow, m_playlist->Count() - 1) && listRow == selected)
            start = m_playlist->Count() - 1;
    }
    SetCurrentPlaylistIndex(start);
    PlayPlaylist();
}

void TfrmMain::pictureDblClick()
{
    doViewSlideshow();
}

void TfrmMain::WithdrawSlideshow()
{
    if (picture->parentWidget() != Panel4)
        m_preview->Withdraw();
}

void TfrmMain::ReturnPictureToPane()
{
    if (picture->parentWidget() == Panel4)
        return;
    const bool shown = picture->isVisibleTo(picture->parentWidget());
    static_cast<QGridLayout*>(Panel4->layout())->addWidget(picture, 0, 0);
    // Under the error line and the print button, which lie over its lower edge.
    picture->lower();
    picture->setVisible(shown);
}

} // namespace velmora
