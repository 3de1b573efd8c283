// The category tree of the Library page: building it, adding, renaming and deleting
// categories, and what is dropped on it.
#include "app/MainWindow.h"

#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/CategoryTreeView.h"

#include <QKeyEvent>
#include <QTreeWidget>

namespace velmora {

namespace {

constexpr int kNodeIdRole = Qt::UserRole + 1;

} // namespace

void TfrmMain::ConnectCategoryHandlers()
{
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
    mainTree->clear();
    AddTreeNodes(nullptr, BuildCategoryTree(m_library.MainConnection()));
}

void TfrmMain::AddTreeNodes(QTreeWidgetItem* parent, const std::vector<CategoryNode>& nodes)
{
    for (const CategoryNode& node : nodes) {
        auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(mainTree);
        item->setText(0, QString::fromStdString(node.description));
        item->setData(0, kNodeIdRole, node.id);
        AddTreeNodes(item, node.children);
    }
}

std::optional<int> TfrmMain::SelectedNodeId() const
{
    const QList<QTreeWidgetItem*> nodes = mainTree->selectedItems();
    if (nodes.isEmpty())
        return std::nullopt;
    return nodes.front()->data(0, kNodeIdRole).toInt();
}

void TfrmMain::doDeleteCategory()
{
    SelectPage(2);
    qCDebug(lcShell, "delete category: %d", SelectedNodeId().value_or(-1));
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mainTree && event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier && !key->isAutoRepeat())
            doDeleteCategory();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velmora
