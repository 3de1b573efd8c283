#pragma once

#include "catalogue/DropEffect.h"

#include <QIcon>
#include <QPoint>
#include <QStackedWidget>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QMimeData;
class QStandardItem;
class QTreeView;

namespace velmora {

class ItemListModel;
class ItemListDelegate;
class ThumbnailWorker;
struct ItemRow;

// The item list `mainList`: one set of rows shown either as the detail table or as
// 64 x 64 thumbnails. Both views share the rows and the selection, so switching the
// view keeps what is selected. Each row carries its rec_ident.
class ItemListView : public QStackedWidget {
    Q_OBJECT
public:
    enum Column { ColDescription, ColFilename, ColSize, ColDateAdded, ColFileType, ColumnCount };
    static constexpr int kIdentRole = Qt::UserRole + 1;
    static constexpr int kImageRole = Qt::UserRole + 2;     // image-list position (Description cell)
    static constexpr int kSortKeyRole = Qt::UserRole + 3;   // bytes, days or kind behind a cell's text

    explicit ItemListView(QWidget* parent = nullptr);
    ~ItemListView() override;

    // Replaces the rows, in the given order. The image list starts again from the four
    // stock pictures and every row shows "not made yet" until its thumbnail arrives.
    void SetRows(const std::vector<ItemRow>& rows);
    int RowCount() const;
    int IdentAt(int row) const;
    QString CellText(int row, int column) const;
    // The tip shown for a row: description, size, date added and format.
    QString InfoTip(int row) const;

    int SelectedCount() const;
    // rec_ident of every selected row, in list order.
    std::vector<int> SelectedIdents() const;
    void SelectAll();
    // Selects the row of that item alone; false when it is not listed.
    bool SelectIdent(int recIdent);
    bool IsRowSelected(int row) const;
    // Selecting also makes the row the focused one; other rows keep their state.
    void SetRowSelected(int row, bool selected);

    // Orders the rows by mainListCompare on that column and direction (+1 / -1); equal
    // rows keep their order, and the selection stays on the same items.
    void SortRows(int column, int direction);

    void SetThumbnailView(bool thumbnails);
    bool IsThumbnailView() const;

    // The image list: the stock pictures at 0 to 3, made thumbnails after them.
    int ImageIndexAt(int row) const;
    int ImageCount() const;
    QImage Image(int index) const;

    // While the thumbnail view shows, the rows still showing "not made yet" get their
    // pictures from the thumbnail workers: the rows on screen first, then the rest,
    // rows that scroll into view jumping the queue; cached ones before any is made.
    // Hidden (locked, another page), the list has the workers stop until it shows again.
    bool ThumbnailsRunning() const { return m_thumbnailsRunning; }
    // Nothing queued or under way for the thumbnails.
    bool ThumbnailsIdle() const;
    // Pictures decrypted and decoded for thumbnails since the list was made.
    int ThumbnailDecodes() const;
    // The rows whose cells the thumbnail view shows now, top to bottom.
    std::vector<int> VisibleRows() const;

    // Starts editing the selected row's description in place; false without a
    // selected row.
    bool EditDescription();

    // What a drag out of the list carries: the list's marker and nothing else.
    static std::unique_ptr<QMimeData> NewListDrag();
    static constexpr Qt::DropActions kListDragActions = Qt::CopyAction | Qt::MoveAction;

    void SetDropEffectRule(DropEffectRule rule) { m_dropEffect = std::move(rule); }

    // The keyboard focus is in the list (either view).
    bool HasKeyboardFocus() const;

    QTreeView* DetailView() const { return m_details; }
    QListView* ThumbnailView() const { return m_thumbnails; }

signals:
    void SelectionChanged();
    void ContextMenuRequested(const QPoint& globalPos);
    // A click on a column header of the detail table.
    void ColumnClicked(int column);
    // An in-place edit of a description was accepted.
    void DescriptionEdited(int recIdent, const QString& description);
    // Files from outside were dropped on the list, named in the file system's bytes;
    // effect is a DropEffect.
    void FilesDropped(const std::vector<std::string>& paths, int effect);
    // A drag out of the list ended, and a drag from outside left the list.
    void DragFinished();
    void DragLeft();
    // A row's picture changed from "not made yet".
    void ThumbnailShown(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Thumbnails are made only while the list can be seen: the lock hides the window,
    // and another page hides the list.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void ThumbnailMade(quint64 generation, int recIdent, int index, const QImage& picture);
    void StartThumbnails();
    void StopThumbnails();
    void PreferVisibleRows();
    void SetRowImage(int row, int index);
    void ResetImages();
    int RowOfIdent(int recIdent) const;
    bool ViewportEvent(QAbstractItemView* view, QEvent* event);
    void StartDrag(QAbstractItemView* view);

    ItemListModel* m_model = nullptr;
    QItemSelectionModel* m_selection = nullptr;
    QTreeView* m_details = nullptr;
    QListView* m_thumbnails = nullptr;
    ItemListDelegate* m_detailDelegate = nullptr;
    ItemListDelegate* m_thumbnailDelegate = nullptr;

    std::vector<QIcon> m_images;
    bool m_thumbnailsRunning = false;
    QTimer m_preferVisible;   // coalesces the scrolling of a drag into one reordering
    std::uint64_t m_generation = 0;   // which fill a thumbnail on its way belongs to

    DropEffectRule m_dropEffect;
    QPoint m_dragStart;
    QAbstractItemView* m_dragView = nullptr;   // a button went down over a row here

    std::unique_ptr<ThumbnailWorker> m_worker;   // last: its thread ends first
};

} // namespace velmora
