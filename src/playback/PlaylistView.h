#pragma once

#include <QListView>
#include <QPoint>
#include <QStyledItemDelegate>

namespace velmora {

class Playlist;

// The play list control `playlist`: one column without header, every row drawn here
// with its number, the current entry in its own colour and the row under a drag
// underlined; a hint on the Library page while it is empty. Rows are dragged inside
// it to reorder them ("PLAYLIST SHUFFLE"); rows of the item list dropped on it
// ("INTERNAL - LISTVIEW") are handed to the main window, which owns the item list.
class PlaylistView : public QListView {
    Q_OBJECT
public:
    static constexpr const char* kHintLine1 = "Drag items here to build a list";
    static constexpr const char* kHintLine2 = "of items to play";

    explicit PlaylistView(QWidget* parent = nullptr);

    void SetPlaylist(Playlist* playlist);
    Playlist* Model() const { return m_playlist; }

    // The selected entry's index, or -1.
    int SelectedIndex() const;
    // Selected and focused, the row scrolled into view.
    void SelectIndex(int index);

    // The hint shows only while the Library page is the current page.
    void SetHintShown(bool shown);
    bool HintShown() const { return m_hintShown; }

    int PlaylistDropIndex = -1;   // row under a drag, -1 when none
    int PlaylistDragIndex = -1;   // row a drag inside the list started on

signals:
    // Rows of the item list were dropped; dropIndex is the row under the cursor, or -1.
    void ListItemsDropped(int dropIndex);
    // The Delete key was released while the list had the focus and a selection.
    void DeleteReleased();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class Carried { Nothing, ListItems, PlaylistEntry };
    static Carried CarriedBy(const QDropEvent& event);
    void SetDropIndex(int index);
    void EndDrop();
    // PLAYLIST SHUFFLE: the selected entry goes after the row dropped on.
    void MoveSelectedOnto(int row);

    Playlist* m_playlist = nullptr;
    bool m_hintShown = false;
    QPoint m_pressAt;
    bool m_pressed = false;
};

// Draws one play-list row: colours by selection and current entry, the number before
// the caption, an ellipsis where it does not fit.
class PlaylistRowDelegate : public QStyledItemDelegate {
public:
    explicit PlaylistRowDelegate(PlaylistView* view);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    PlaylistView* m_view;
};

} // namespace velmora
