#include "playback/PlaylistView.h"

#include "catalogue/DragMarkers.h"
#include "playback/Playlist.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <string>

namespace velmora {

namespace {

const QColor kListBackground(204, 204, 204);
const QColor kRowText(0, 0, 0);
const QColor kSelectedBackground(131, 131, 131);
const QColor kSelectedText(255, 255, 255);
const QColor kCurrentText(64, 82, 184);
const QColor kHintText(49, 69, 136);
constexpr int kHintRightMargin = 6;

constexpr int kTextIndent = 10;

} // namespace

PlaylistView::PlaylistView(QWidget* parent) : QListView(parent)
{
    setObjectName(QStringLiteral("playlist"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: scrolling a long list never measures the rows.
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setObjectName(QStringLiteral("scrollbarPlaylist"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kListBackground);
    colours.setColor(QPalette::Window, kListBackground);
    setPalette(colours);
    setAutoFillBackground(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setItemDelegate(new PlaylistRowDelegate(this));
}

void PlaylistView::SetPlaylist(Playlist* playlist)
{
    m_playlist = playlist;
    setModel(playlist);
}

int PlaylistView::SelectedIndex() const
{
    if (selectionModel() == nullptr)
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void PlaylistView::SelectIndex(int index)
{
    if (m_playlist == nullptr || index < 0 || index >= m_playlist->Count())
        return;
    const QModelIndex row = m_playlist->index(index);
    selectionModel()->setCurrentIndex(row, QItemSelectionModel::ClearAndSelect);
    scrollTo(row);
}

void PlaylistView::SetHintShown(bool shown)
{
    if (m_hintShown == shown)
        return;
    m_hintShown = shown;
    viewport()->update();
}

void PlaylistView::paintEvent(QPaintEvent* event)
{
    QListView::paintEvent(event);
    if (!m_hintShown || (m_playlist != nullptr && m_playlist->Count() > 0))
        return;
    QPainter painter(viewport());
    painter.setPen(kHintText);
    painter.setFont(font());
    // Each line wraps at the list's right edge, so a narrow list shows the whole hint.
    const int width = std::max(viewport()->width() - 21 - kHintRightMargin, 1);
    const QRect first =
        painter.boundingRect(QRect(21, 10, width, viewport()->height()), Qt::TextWordWrap, QString::fromLatin1(kHintLine1));
    painter.drawText(first, Qt::TextWordWrap, QString::fromLatin1(kHintLine1));
    const int secondTop = std::max(24, first.bottom() + 1);
    painter.drawText(QRect(21, secondTop, width, viewport()->height()), Qt::TextWordWrap,
                     QString::fromLatin1(kHintLine2));
}

void PlaylistView::mousePressEvent(QMouseEvent* event)
{
    QListView::mousePressEvent(event);
    const QModelIndex row = indexAt(event->position().toPoint());
    m_pressed = event->button() == Qt::LeftButton && row.isValid();
    if (m_pressed) {
        PlaylistDragIndex = row.row();
        m_pressAt = event->position().toPoint();
    }
}

void PlaylistView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressed || !(event->buttons() & Qt::LeftButton)) {
        QListView::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - m_pressAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_pressed = false;
    auto* drag = new QDrag(this);
    drag->setMimeData(NewMarkerDrag(kPlaylistDragMarker).release());
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    // A drag that ended outside the list leaves nothing behind.
    PlaylistDragIndex = -1;
    SetDropIndex(-1);
}

void PlaylistView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && hasFocus() && SelectedIndex() >= 0) {
        emit DeleteReleased();
        return;
    }
    QListView::keyReleaseEvent(event);
}

PlaylistView::Carried PlaylistView::CarriedBy(const QDropEvent& event)
{
    if (event.mimeData() == nullptr)
        return Carried::Nothing;
    const std::string text = DroppedFileListText(*event.mimeData());
    if (text == std::string(kListDragMarker) + "\r\n")
        return Carried::ListItems;
    if (text == std::string(kPlaylistDragMarker) + "\r\n")
        return Carried::PlaylistEntry;
    return Carried::Nothing;
}

void PlaylistView::dragEnterEvent(QDragEnterEvent* event)
{
    if (CarriedBy(*event) == Carried::Nothing) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void PlaylistView::dragMoveEvent(QDragMoveEvent* event)
{
    if (CarriedBy(*event) == Carried::Nothing) {
        event->ignore();
        return;
    }
    const QModelIndex row = indexAt(event->position().toPoint());
    SetDropIndex(row.isValid() ? row.row() : -1);
    event->acceptProposedAction();
}

void PlaylistView::dragLeaveEvent(QDragLeaveEvent* event)
{
    SetDropIndex(-1);
    event->accept();
}

void PlaylistView::dropEvent(QDropEvent* event)
{
    switch (CarriedBy(*event)) {
    case Carried::ListItems:
        event->acceptProposedAction();
        emit ListItemsDropped(PlaylistDropIndex);
        break;
    case Carried::PlaylistEntry: {
        event->acceptProposedAction();
        const QModelIndex row = indexAt(event->position().toPoint());
        if (row.isValid())
            MoveSelectedOnto(row.row());
        break;
    }
    case Carried::Nothing:
        event->ignore();
        break;
    }
    EndDrop();
}

void PlaylistView::MoveSelectedOnto(int row)
{
    if (m_playlist == nullptr)
        return;
    const int selected = SelectedIndex();
    if (selected < 0)
        return;
    if (const std::optional<int> moved = m_playlist->Move(selected, row))
        SelectIndex(*moved);
}

void PlaylistView::SetDropIndex(int index)
{
    if (PlaylistDropIndex == index)
        return;
    PlaylistDropIndex = index;
    viewport()->update();
}

void PlaylistView::EndDrop()
{
    PlaylistDropIndex = -1;
    PlaylistDragIndex = -1;
    viewport()->update();
}

PlaylistRowDelegate::PlaylistRowDelegate(PlaylistView* view) : QStyledItemDelegate(view), m_view(view) {}

void PlaylistRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int row = index.row();
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const bool current = index.data(Playlist::CurrentRole).toBool();
    const QColor background = selected ? kSelectedBackground : kListBackground;
    const QColor text = current ? kCurrentText : selected ? kSelectedText : kRowText;
    painter->fillRect(option.rect, background);
    QFont font = m_view->font();
    if (row == m_view->PlaylistDropIndex)
        font.setUnderline(true);
    painter->setFont(font);
    painter->setPen(text);
    const QRect textRect = option.rect.adjusted(kTextIndent, 0, 0, 0);
    const QString caption = QString::fromStdString(
        PlaylistRowText(row, index.data(Qt::DisplayRole).toString().toStdString()));
    const QString shown = QFontMetrics(font).elidedText(caption, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

QSize PlaylistRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {m_view->viewport()->width(), QFontMetrics(m_view->font()).height() + 4};
}

} // namespace velmora
