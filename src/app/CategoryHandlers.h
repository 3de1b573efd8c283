#pragma once

#include "catalogue/DropEffect.h"

#include <QObject>

#include <optional>
#include <string>
#include <vector>

class QAction;
class QTreeWidgetItem;
class QWidget;

namespace velmora {

class CategoryTreeView;
class FileImport;
class ItemListView;
class Library;
class LibraryPageSeam;
class MessageBoxes;
struct CategoryNode;

struct CategoryHandlersParts {
    QAction* actEditAddCategory = nullptr;
    QAction* actEditAddSubcategory = nullptr;
    QAction* actEditRenameCategory = nullptr;
    QAction* actEditDeleteCategory = nullptr;   // also the tree's Del
    CategoryTreeView* mainTree = nullptr;
    ItemListView* mainList = nullptr;           // the rows dragged onto a category
    Library* library = nullptr;
    MessageBoxes* boxes = nullptr;
    FileImport* fileImport = nullptr;
    LibraryPageSeam* page = nullptr;
};

// The category tree of the Library page: building it, adding, renaming and deleting
// categories, and what is dropped on it.
class CategoryHandlers : public QObject {
    Q_OBJECT
public:
    // The tree control as the Library page lays it out.
    static CategoryTreeView* CreateTree(QWidget* parent);

    explicit CategoryHandlers(CategoryHandlersParts parts);

    // Builds the tree at the first showing after the library opened, "<Unclassified>"
    // selected; later showings keep it as it is.
    void BuildTreeOnce();
    bool TreeBuilt() const { return m_treeBuilt; }
    std::optional<int> SelectedNodeId() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildTreeView();
    void LoadCategoryChildren(QTreeWidgetItem* node);
    void AddTreeNodes(QTreeWidgetItem* parent, const std::vector<CategoryNode>& nodes);
    void ShowAddedCategory(const CategoryNode& category);
    void StartNodeEdit(QTreeWidgetItem* node);
    void doAddCategory();
    void doAddSubcategory();
    void doRenameCategory();
    void doDeleteCategory();
    void mainTree1Edited(QTreeWidgetItem* node, const QString& text);
    void DropItemsOnCategory(QTreeWidgetItem* target, bool move);
    void treeFileTargetDrop(QTreeWidgetItem* target, const std::vector<std::string>& paths, DropEffect effect);

    CategoryHandlersParts m_parts;
    bool m_treeBuilt = false;
};

} // namespace velmora
