// The category tree of the Library page: building it, adding, renaming and deleting
// categories, and what is dropped on it.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryLinks.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Confirmations.h"
#include "catalogue/FileImport.h"
#include "dialogs/WaitCursor.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QTreeWidget>

#include <exception>

namespace velmora {

void TfrmMain::ConnectCategoryHandlers()
{
    connect(actEditAddCategory, &QAction::triggered, this, &TfrmMain::doAddCategory);
    connect(actEditAddSubcategory, &QAction::triggered, this, &TfrmMain::doAddSubcategory);
    connect(actEditRenameCategory, &QAction::triggered, this, &TfrmMain::doRenameCategory);
    // "Delete Category" is connected with the other actions: it is also the tree's Del.

    connect(mainTree, &QTreeWidget::itemSelectionChanged, this, [this] {
        if (QTreeWidgetItem* node = mainTree->SelectedNode())
            node->setExpanded(true);
    });
    connect(mainTree, &CategoryTreeView::NodeEdited, this, &TfrmMain::mainTree1Edited);
    connect(mainTree, &CategoryTreeView::ListItemsDropped, this, &TfrmMain::DropItemsOnCategory);
    connect(mainTree, &CategoryTreeView::FilesDropped, this, &TfrmMain::treeFileTargetDrop);

    // A drag out of the list may end anywhere, and one from outside may go from the tree
    // to the list: either way no node stays marked as the target.
    connect(mainList, &ItemListView::DragFinished, mainTree, &CategoryTreeView::ClearDropHighlight);
    connect(mainList, &ItemListView::DragLeft, mainTree, &CategoryTreeView::ClearDropHighlight);

    mainTree->SetDropEffectRule([this](Qt::KeyboardModifiers keys) { return FileDropEffectFor(keys); });
    // Folders added from anywhere (drops, paste, hand-over) become categories: the tree
    // shows them as they are made.
    m_fileImport->SetCategoryAdded([this](const CategoryNode& category) { ShowAddedCategory(category); });
}

void TfrmMain::CreateCategoryTree(QWidget* parent)
{
    mainTree = new CategoryTreeView(parent);
    mainTree->setObjectName(QStringLiteral("mainTree"));
    mainTree->setHeaderHidden(true);
    mainTree->setColumnCount(1);
    mainTree->setMinimumWidth(100);
    mainTree->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TfrmMain::BuildTreeView()
{
    mainTree->ClearDropHighlight();
    mainTree->clear();
    mainTree->AddNode(nullptr, QString::fromLatin1(kUnclassifiedText), kUnclassifiedId);
    LoadCategoryChildren(nullptr);
}

void TfrmMain::LoadCategoryChildren(QTreeWidgetItem* node)
{
    AddTreeNodes(node, velmora::LoadCategoryChildren(m_library.MainConnection(), CategoryTreeView::NodeId(node)));
}

void TfrmMain::AddTreeNodes(QTreeWidgetItem* parent, const std::vector<CategoryNode>& nodes)
{
    for (const CategoryNode& node : nodes) {
        QTreeWidgetItem* item = mainTree->AddNode(parent, QString::fromStdString(node.description), node.id);
        AddTreeNodes(item, node.children);
    }
}

void TfrmMain::ShowAddedCategory(const CategoryNode& category)
{
    // Before the first showing there is no tree yet; building it loads the category.
    if (!m_treeBuilt)
        return;
    QTreeWidgetItem* parent = nullptr;
    if (category.parent != kUnclassifiedId) {
        parent = mainTree->FindNode(category.parent);
        if (parent == nullptr)
            return;
    }
    mainTree->AddNode(parent, QString::fromStdString(category.description), category.id);
}

std::optional<int> TfrmMain::SelectedNodeId() const
{
    if (const QTreeWidgetItem* node = mainTree->SelectedNode())
        return CategoryTreeView::NodeId(node);
    return std::nullopt;
}

void TfrmMain::StartNodeEdit(QTreeWidgetItem* node)
{
    // Selecting lists the new category's (empty) contents.
    mainTree->setCurrentItem(node);
    mainTree->scrollToItem(node);
    mainTree->setFocus();
    mainTree->EditSelectedNode();
}

void TfrmMain::doAddCategory()
{
    SelectPage(2);
    int id = 0;
    try {
        id = AddCategory(m_library.MainConnection());
    } catch (const std::exception&) {
        return;   // no row, no node
    }
    StartNodeEdit(mainTree->AddNode(nullptr, QString::fromLatin1(kNewCategoryName), id));
}

void TfrmMain::doAddSubcategory()
{
    SelectPage(2);
    QTreeWidgetItem* parent = mainTree->SelectedNode();
    if (!CategoryTreeView::IsCategory(parent))
        return;
    int id = 0;
    try {
        id = AddSubcategory(m_library.MainConnection(), CategoryTreeView::NodeId(parent));
    } catch (const std::exception&) {
        return;
    }
    QTreeWidgetItem* node = mainTree->AddNode(parent, QString::fromLatin1(kNewSubcategoryName), id);
    parent->setExpanded(true);
    StartNodeEdit(node);
}

void TfrmMain::doRenameCategory()
{
    SelectPage(2);
    mainTree->setFocus();
    mainTree->EditSelectedNode();
}

void TfrmMain::mainTree1Edited(QTreeWidgetItem* node, const QString& text)
{
    try {
        RenameCategory(m_library.MainConnection(), CategoryTreeView::NodeId(node), text.toStdString());
    } catch (const std::exception&) {
        // Dropped like every unreported error; the node keeps the new text.
    }
}

void TfrmMain::doDeleteCategory()
{
    SelectPage(2);
    qCDebug(lcShell, "delete category: %d", SelectedNodeId().value_or(-1));
    QTreeWidgetItem* node = mainTree->SelectedNode();
    if (!CategoryTreeView::IsCategory(node))
        return;
    WaitCursor wait;
    if (!ConfirmDeleteCategory(*m_boxes))
        return;
    try {
        // All or nothing: a failure leaves the tree as it is, matching the database.
        DeleteCategory(m_library.MainConnection(), CategoryTreeView::NodeId(node));
    } catch (const std::exception&) {
        return;
    }
    QTreeWidgetItem* next = node->parent() != nullptr ? node->parent() : mainTree->UnclassifiedNode();
    mainTree->ClearDropHighlight();
    delete node;   // with every node below it
    if (next != nullptr) {
        // Selecting lists the items; a node that was already selected is listed anew.
        const bool alreadySelected = next == mainTree->SelectedNode();
        mainTree->setCurrentItem(next);
        if (alreadySelected)
            ListSelectedNode();
    }
}

void TfrmMain::DropItemsOnCategory(QTreeWidgetItem* target, bool move)
{
    if (!CategoryTreeView::IsCategory(target))
        return;
    bool reload = false;
    try {
        reload = velmora::DropItemsOnCategory(m_library.MainConnection(), CategoryTreeView::NodeId(target),
                                              SelectedNodeId(), mainList->SelectedIdents(), move);
    } catch (const std::exception&) {
    }
    mainTree->ClearDropHighlight();
    if (reload)
        ListSelectedNode();
}

void TfrmMain::treeFileTargetDrop(QTreeWidgetItem* target, const std::vector<std::string>& paths,
                                  DropEffect effect)
{
    mainTree->ClearDropHighlight();
    if (paths.empty())
        return;
    const bool onNode = target != nullptr;
    const int targetId = CategoryTreeView::NodeId(target);
    // The import runs after the drop has returned: the source of the drag is not kept
    // waiting while files are stored, and it is told a copy (see CategoryTreeView).
    QTimer::singleShot(0, this, [this, onNode, targetId, paths, effect] {
        m_fileImport->AddDroppedFiles(targetId, paths, effect);
        const std::optional<int> selected = SelectedNodeId();
        if (selected &&
            ((onNode && *selected == targetId) || *selected == kUnclassifiedId || effect == DropEffect::Move)) {
            try {
                ListSelectedNode();
            } catch (const std::exception&) {
            }
        }
    });
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (SlideshowEvent(watched, event))
        return true;
    if (watched == mainTree && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat())
            doDeleteCategory();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmora
