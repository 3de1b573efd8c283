#include "catalogue/CategoryTreeView.h"

#include "catalogue/CategoryIcons.h"
#include "catalogue/DragMarkers.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>


namespace velmora {

namespace {

// What the drop handlers compare a drag from the item list with.
const std::string kListMarkerText = std::string(kListDragMarker) + "\r\n";

bool CtrlHeld(const QDropEvent& event)
{
    return event.modifiers().testFlag(Qt::ControlModifier);
}

} // namespace

CategoryTreeView::CategoryTreeView(QWidget* parent) : QTreeWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Only F2 and the rename action edit a name; a double click opens or closes a node.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
    setAutoExpandDelay(-1);
}

QTreeWidgetItem* CategoryTreeView::AddNode(QTreeWidgetItem* parent, const QString& text, int id)
{
    auto* node = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, text);
    node->setData(0, kNodeIdRole, id);
    if (id != 0) {
        node->setIcon(0, CategoryIcon());
        node->setFlags(node->flags() | Qt::ItemIsEditable);
    } else {
        node->setIcon(0, UnclassifiedIcon());
        node->setFlags(node->flags() & ~Qt::ItemIsEditable);
    }
    return node;
}

int CategoryTreeView::NodeId(const QTreeWidgetItem* node)
{
    return node != nullptr ? node->data(0, kNodeIdRole).toInt() : 0;
}

QTreeWidgetItem* CategoryTreeView::FindNode(int id) const
{
    for (QTreeWidgetItemIterator it(const_cast<CategoryTreeView*>(this)); *it != nullptr; ++it)
        if (NodeId(*it) == id)
            return *it;
    return nullptr;
}

QTreeWidgetItem* CategoryTreeView::UnclassifiedNode() const
{
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (NodeId(topLevelItem(i)) == 0)
            return topLevelItem(i);
    return nullptr;
}

QTreeWidgetItem* CategoryTreeView::SelectedNode() const
{
    const QList<QTreeWidgetItem*> nodes = selectedItems();
    return nodes.isEmpty() ? nullptr : nodes.front();
}

bool CategoryTreeView::EditSelectedNode()
{
    QTreeWidgetItem* node = SelectedNode();
    if (!IsCategory(node))
        return false;
    scrollToItem(node);
    editItem(node);
    return IsEditing();
}

bool CategoryTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // "<Unclassified>" carries no edit flag; the check here keeps it so whatever its flags.
    if (!IsCategory(itemFromIndex(index)))
        return false;
    const bool editing = QTreeWidget::edit(index, trigger, event);
    if (editing)
        m_editing = index;
    return editing;
}

void CategoryTreeView::commitData(QWidget* editor)
{
    QTreeWidget::commitData(editor);
    QTreeWidgetItem* node = itemFromIndex(m_editing);
    if (IsCategory(node))
        emit NodeEdited(node, node->text(0));
}

void CategoryTreeView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F2 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && !IsEditing()) {
        EditSelectedNode();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CategoryTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        // The context menu acts on the node under the mouse, or on none.
        if (QTreeWidgetItem* node = itemAt(event->position().toPoint()))
            setCurrentItem(node);
        else
            clearSelection();
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

bool CategoryTreeView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ContextMenu) {
        // A click on empty space opens no menu.
        const auto* menu = static_cast<QContextMenuEvent*>(event);
        if (menu->reason() == QContextMenuEvent::Mouse && itemAt(menu->pos()) == nullptr) {
            event->accept();
            return true;
        }
    }
    return QTreeWidget::viewportEvent(event);
}

CategoryTreeView::DragKind CategoryTreeView::KindOf(const QDropEvent& event)
{
    const QMimeData* data = event.mimeData();
    if (data == nullptr)
        return DragKind::None;
    if (DroppedFileListText(*data) == kListMarkerText)
        return DragKind::ListItems;
    return DroppedPaths(*data).empty() ? DragKind::None : DragKind::Files;
}

DropEffect CategoryTreeView::FileEffect(const QDropEvent& event) const
{
    return OfferedDropEffect(m_dropEffect, event.modifiers(), event.possibleActions());
}

QTreeWidgetItem* CategoryTreeView::DropHighlight() const
{
    return itemFromIndex(m_dropTarget);
}

void CategoryTreeView::SetDropHighlight(QTreeWidgetItem* node)
{
    if (node == DropHighlight())
        return;
    ClearDropHighlight();
    if (node == nullptr)
        return;
    QColor color = palette().color(QPalette::Highlight);
    color.setAlpha(90);
    node->setBackground(0, color);
    m_dropTarget = indexFromItem(node);
}

void CategoryTreeView::ClearDropHighlight()
{
    if (QTreeWidgetItem* node = DropHighlight())
        node->setData(0, Qt::BackgroundRole, QVariant());
    m_dropTarget = QPersistentModelIndex();
}

void CategoryTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (KindOf(*event) == DragKind::None) {
        event->ignore();
        return;
    }
    // Where the drag may go is decided at each move, which follows at once.
    event->acceptProposedAction();
}

void CategoryTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    switch (KindOf(*event)) {
    case DragKind::ListItems:
        // The items come from the selected category's list: they cannot go there, and
        // "<Unclassified>" is no category to file them under.
        if (node == nullptr || node == SelectedNode()) {
            event->ignore();
            return;
        }
        SetDropHighlight(node);
        if (!IsCategory(node)) {
            event->ignore();
            return;
        }
        event->setDropAction(CtrlHeld(*event) ? Qt::CopyAction : Qt::MoveAction);
        event->accept();
        return;
    case DragKind::Files:
        if (FileEffect(*event) == DropEffect::None)
            break;
        SetDropHighlight(node);
        // The answer during the drag is the one many sources act on: always a copy.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        return;
    case DragKind::None:
        break;
    }
    event->ignore();
}

void CategoryTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    ClearDropHighlight();
    event->accept();
}

void CategoryTreeView::dropEvent(QDropEvent* event)
{
    QTreeWidgetItem* node = itemAt(event->position().toPoint());
    switch (KindOf(*event)) {
    case DragKind::ListItems: {
        const bool move = !CtrlHeld(*event);
        if (IsCategory(node)) {
            event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
            event->accept();
            emit ListItemsDropped(node, move);
        } else {
            event->ignore();
        }
        break;
    }
    case DragKind::Files: {
        const DropEffect effect = FileEffect(*event);
        if (effect == DropEffect::None) {
            event->ignore();
            break;
        }
        const std::vector<std::string> paths = DroppedPaths(*event->mimeData());
        event->setDropAction(Qt::CopyAction);
        event->accept();
        emit FilesDropped(node, paths, effect);
        break;
    }
    case DragKind::None:
        event->ignore();
        break;
    }
    ClearDropHighlight();
}

} // namespace velmora
