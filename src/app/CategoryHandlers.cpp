// The category tree of the Library page: building it, adding, renaming and deleting
// categories, and what is dropped on it.
#include "app/CategoryHandlers.h"

#include "app/FileDropRule.h"
#include "app/LibraryPageSeam.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryLinks.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Confirmations.h"
#include "catalogue/FileImport.h"
#include "dialogs/WaitCursor.h"
#include "store/Library.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QTreeWidget>

#include <exception>

namespace velmora {

CategoryHandlers::CategoryHandlers(CategoryHandlersParts parts) : m_parts(std::move(parts))
{
    connect(m_parts.actEditAddCategory, &QAction::triggered, this, &CategoryHandlers::doAddCategory);
    connect(m_parts.actEditAddSubcategory, &QAction::triggered, this, &CategoryHandlers::doAddSubcategory);
    connect(m_parts.actEditRenameCategory, &QAction::triggered, this, &CategoryHandlers::doRenameCategory);
    connect(m_parts.actEditDeleteCategory, &QAction::triggered, this, &CategoryHandlers::doDeleteCategory);
    CategoryTreeView* mainTree = m_parts.mainTree;
    ItemListView* mainList = m_parts.mainList;

    connect(mainTree, &QTreeWidget::itemSelectionChanged, this, [mainTree] {
        if (QTreeWidgetItem* node = mainTree->SelectedNode())
            node->setExpanded(true);
    });
    connect(mainTree, &CategoryTreeView::NodeEdited, this, &CategoryHandlers::mainTree1Edited);
    connect(mainTree, &CategoryTreeView::ListItemsDropped, this, &CategoryHandlers::DropItemsOnCategory);
    connect(mainTree, &CategoryTreeView::FilesDropped, this, &CategoryHandlers::treeFileTargetDrop);

    // A drag out of the list may end anywhere, and one from outside may go from the tree
    // to the list: either way no node stays marked as the target.
    connect(mainList, &ItemListView::DragFinished, mainTree, &CategoryTreeView::ClearDropHighlight);
    connect(mainList, &ItemListView::DragLeft, mainTree, &CategoryTreeView::ClearDropHighlight);

    mainTree->SetDropEffectRule(
        [this](Qt::KeyboardModifiers keys) { return FileDropEffectFor(*m_parts.fileImport, keys); });
    // Folders added from anywhere (drops, paste, hand-over) become categories: the tree
    // shows them as they are made.
    m_parts.fileImport->SetCategoryAdded([this](const CategoryNode& category) { ShowAddedCategory(category); });
    mainTree->installEventFilter(this);
}

CategoryTreeView* CategoryHandlers::CreateTree(QWidget* parent)
{
    auto* mainTree = new CategoryTreeView(parent);
    mainTree->setObjectName(QStringLiteral("mainTree"));
    mainTree->setHeaderHidden(true);
    mainTree->setColumnCount(1);
    mainTree->setMinimumWidth(100);
    mainTree->setContextMenuPolicy(Qt::CustomContextMenu);
    return mainTree;
}

void CategoryHandlers::BuildTreeOnce()
{
    if (m_treeBuilt)
        return;
    BuildTreeView();
    m_treeBuilt = true;
    if (QTreeWidgetItem* unclassified = m_parts.mainTree->topLevelItem(0))
        m_parts.mainTree->setCurrentItem(unclassified);
}

void CategoryHandlers::BuildTreeView()
{
    m_parts.mainTree->ClearDropHighlight();
    m_parts.mainTree->clear();
    m_parts.mainTree->AddNode(nullptr, QString::fromLatin1(kUnclassifiedText), kUnclassifiedId);
    LoadCategoryChildren(nullptr);
}

void CategoryHandlers::LoadCategoryChildren(QTreeWidgetItem* node)
{
    AddTreeNodes(node,
                 velmora::LoadCategoryChildren(m_parts.library->MainConnection(), CategoryTreeView::NodeId(node)));
}

void CategoryHandlers::AddTreeNodes(QTreeWidgetItem* parent, const std::vector<CategoryNode>& nodes)
{
    for (const CategoryNode& node : nodes) {
        QTreeWidgetItem* item = m_parts.mainTree->AddNode(parent, QString::fromStdString(node.description), node.id);
        AddTreeNodes(item, node.children);
    }
}

void CategoryHandlers::ShowAddedCategory(const CategoryNode& category)
{
    // Before the first showing there is no tree yet; building it loads the category.
    if (!m_treeBuilt)
        return;
    QTreeWidgetItem* parent = nullptr;
    if (category.parent != kUnclassifiedId) {
        parent = m_parts.mainTree->FindNode(category.parent);
        if (parent == nullptr)
            return;
    }
    m_parts.mainTree->AddNode(parent, QString::fromStdString(category.description), category.id);
}

std::optional<int> CategoryHandlers::SelectedNodeId() const
{
    if (const QTreeWidgetItem* node = m_parts.mainTree->SelectedNode())
        return CategoryTreeView::NodeId(node);
    return std::nullopt;
}

void CategoryHandlers::StartNodeEdit(QTreeWidgetItem* node)
{
    // Selecting lists the new category's (empty) contents.
    m_parts.mainTree->setCurrentItem(node);
    m_parts.mainTree->scrollToItem(node);
    m_parts.mainTree->setFocus();
    m_parts.mainTree->EditSelectedNode();
}

void CategoryHandlers::doAddCategory()
{
    m_parts.page->SelectPage(2);
    int id = 0;
    try {
        id = AddCategory(m_parts.library->MainConnection());
    } catch (const std::exception&) {
        return;   // no row, no node
    }
    StartNodeEdit(m_parts.mainTree->AddNode(nullptr, QString::fromLatin1(kNewCategoryName), id));
}

void CategoryHandlers::doAddSubcategory()
{
    m_parts.page->SelectPage(2);
    QTreeWidgetItem* parent = m_parts.mainTree->SelectedNode();
    if (!CategoryTreeView::IsCategory(parent))
        return;
    int id = 0;
    try {
        id = AddSubcategory(m_parts.library->MainConnection(), CategoryTreeView::NodeId(parent));
    } catch (const std::exception&) {
        return;
    }
    QTreeWidgetItem* node = m_parts.mainTree->AddNode(parent, QString::fromLatin1(kNewSubcategoryName), id);
    parent->setExpanded(true);
    StartNodeEdit(node);
}

void CategoryHandlers::doRenameCategory()
{
    m_parts.page->SelectPage(2);
    m_parts.mainTree->setFocus();
    m_parts.mainTree->EditSelectedNode();
}

void CategoryHandlers::mainTree1Edited(QTreeWidgetItem* node, const QString& text)
{
    try {
        RenameCategory(m_parts.library->MainConnection(), CategoryTreeView::NodeId(node), text.toStdString());
    } catch (const std::exception&) {
        // Dropped like every unreported error; the node keeps the new text.
    }
}

void CategoryHandlers::doDeleteCategory()
{
    m_parts.page->SelectPage(2);
    qCDebug(lcShell, "delete category: %d", SelectedNodeId().value_or(-1));
    QTreeWidgetItem* node = m_parts.mainTree->SelectedNode();
    if (!CategoryTreeView::IsCategory(node))
        return;
    WaitCursor wait;
    if (!ConfirmDeleteCategory(*m_parts.boxes))
        return;
    try {
        // All or nothing: a failure leaves the tree as it is, matching the database.
        DeleteCategory(m_parts.library->MainConnection(), CategoryTreeView::NodeId(node));
    } catch (const std::exception&) {
        return;
    }
    QTreeWidgetItem* next = node->parent() != nullptr ? node->parent() : m_parts.mainTree->UnclassifiedNode();
    m_parts.mainTree->ClearDropHighlight();
    delete node;   // with every node below it
    if (next != nullptr) {
        // Selecting lists the items; a node that was already selected is listed anew.
        const bool alreadySelected = next == m_parts.mainTree->SelectedNode();
        m_parts.mainTree->setCurrentItem(next);
        if (alreadySelected)
            m_parts.page->ListSelectedNode();
    }
}

void CategoryHandlers::DropItemsOnCategory(QTreeWidgetItem* target, bool move)
{
    if (!CategoryTreeView::IsCategory(target))
        return;
    bool reload = false;
    try {
        reload = velmora::DropItemsOnCategory(m_parts.library->MainConnection(), CategoryTreeView::NodeId(target),
                                              SelectedNodeId(), m_parts.mainList->SelectedIdents(), move);
    } catch (const std::exception&) {
    }
    m_parts.mainTree->ClearDropHighlight();
    if (reload)
        m_parts.page->ListSelectedNode();
}

void CategoryHandlers::treeFileTargetDrop(QTreeWidgetItem* target, const std::vector<std::string>& paths,
                                  DropEffect effect)
{
    m_parts.mainTree->ClearDropHighlight();
    if (paths.empty())
        return;
    const bool onNode = target != nullptr;
    const int targetId = CategoryTreeView::NodeId(target);
    // The import runs after the drop has returned: the source of the drag is not kept
    // waiting while files are stored, and it is told a copy (see CategoryTreeView).
    QTimer::singleShot(0, this, [this, onNode, targetId, paths, effect] {
        m_parts.fileImport->AddDroppedFiles(targetId, paths, effect);
        const std::optional<int> selected = SelectedNodeId();
        if (selected &&
            ((onNode && *selected == targetId) || *selected == kUnclassifiedId || effect == DropEffect::Move)) {
            try {
                m_parts.page->ListSelectedNode();
            } catch (const std::exception&) {
            }
        }
    });
}

bool CategoryHandlers::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_parts.mainTree && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat())
            doDeleteCategory();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
