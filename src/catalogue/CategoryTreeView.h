#pragma once

#include "catalogue/DropEffect.h"

#include <QPersistentModelIndex>
#include <QTreeWidget>

#include <functional>
#include <string>
#include <vector>

namespace velmora {

// The category tree `mainTree`: one node per category, "<Unclassified>" first. Each
// node carries its cat_id (0 for "<Unclassified>", which is never a category: it
// cannot be renamed and takes no dropped list items).
//
// The tree is a drop target for two kinds of drag: items dragged from the item list
// (the list's marker) and files dragged in from outside. It decides what the drag may
// do and highlights the node under the cursor; what a drop does is left to whoever
// listens to its signals.
class CategoryTreeView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kNodeIdRole = Qt::UserRole + 1;

    explicit CategoryTreeView(QWidget* parent = nullptr);
    using QTreeWidget::edit;

    // A node with the category pictures; parent null: a top-level node. Id 0 makes
    // the "<Unclassified>" node, which cannot be edited.
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& text, int id);
    static int NodeId(const QTreeWidgetItem* node);
    static bool IsCategory(const QTreeWidgetItem* node) { return node != nullptr && NodeId(node) != 0; }
    // The first node (depth first) carrying that cat_id; null when there is none.
    QTreeWidgetItem* FindNode(int id) const;
    QTreeWidgetItem* UnclassifiedNode() const;
    QTreeWidgetItem* SelectedNode() const;

    // Starts editing the selected node's text when it is a category.
    bool EditSelectedNode();
    // A node's text is being edited in place.
    bool IsEditing() const { return state() == QAbstractItemView::EditingState; }

    // The effect of files dragged in from outside, asked at each drag; a copy without one.
    void SetDropEffectRule(DropEffectRule rule) { m_dropEffect = std::move(rule); }

    // The node shown as the target of the drag under way; null when there is none.
    QTreeWidgetItem* DropHighlight() const;
    // Also called when a drag started in the item list ends, wherever it ended.
    void ClearDropHighlight();

signals:
    // Items of the item list dropped on a category: move, or copy (Ctrl held).
    void ListItemsDropped(QTreeWidgetItem* target, bool move);
    // Files from outside dropped on a node, or on empty space (target null).
    void FilesDropped(QTreeWidgetItem* target, const std::vector<std::string>& paths, DropEffect effect);
    // The text of a category was edited in place and the edit accepted.
    void NodeEdited(QTreeWidgetItem* node, const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;

    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    enum class DragKind { None, ListItems, Files };
    static DragKind KindOf(const QDropEvent& event);
    DropEffect FileEffect(const QDropEvent& event) const;
    void SetDropHighlight(QTreeWidgetItem* node);

    DropEffectRule m_dropEffect;
    // Indexes rather than items: a node may go while a drag or an edit is under way.
    QPersistentModelIndex m_dropTarget;
    QPersistentModelIndex m_editing;
};

} // namespace velmora
