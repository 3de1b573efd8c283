// The category tree of the Library page over a real library in a temporary folder:
// names with apostrophes, list items dropped on categories, deleting a category with its
// subcategories, files and folders dropped from outside, the drop highlight, and what
// "<Unclassified>" refuses.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Confirmations.h"
#include "catalogue/DragMarkers.h"
#include "catalogue/FileImport.h"
#include "catalogue/ItemRows.h"
#include "store/Query.h"

#include "app/MainWindowSession.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>
#include <QtTest/QtTest>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace velmora;
using velmora::test::FindNode;
using velmora::test::Session;

namespace {

using Names = std::vector<std::string>;

db::Connection& Db(TfrmMain& main)
{
    return main.MainLibrary().MainConnection();
}

// Descriptions of the items a node lists, as the database answers.
Names ItemsOf(TfrmMain& main, int nodeId)
{
    Names names;
    for (const ItemRow& row : ReadItemRows(Db(main), ItemsQueryForNode(nodeId)).rows)
        names.push_back(row.description);
    return names;
}

// Descriptions of the rows the item list shows, in list order.
Names ListedRows(TfrmMain& main)
{
    Names names;
    const QAbstractItemModel* model = main.mainList->DetailView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        names.push_back(model->index(row, ItemListView::ColDescription).data().toString().toStdString());
    return names;
}

int RecordIdent(TfrmMain& main, const std::string& description)
{
    db::Query query(Db(main), "Select rec_ident from Record where rec_description = '" + description + "'");
    return query.Eof() ? 0 : static_cast<int>(query.AsInteger("rec_ident"));
}

std::int64_t Count(TfrmMain& main, const std::string& sql)
{
    db::Query query(Db(main), sql);
    return query.AsInteger("n");
}

const CategoryNode* FindCategory(const std::vector<CategoryNode>& nodes, const std::string& name)
{
    for (const CategoryNode& node : nodes) {
        if (node.description == name)
            return &node;
        if (const CategoryNode* below = FindCategory(node.children, name))
            return below;
    }
    return nullptr;
}

Names ChildNames(const CategoryNode& node)
{
    Names names;
    for (const CategoryNode& child : node.children)
        names.push_back(child.description);
    return names;
}

Names TopLevelTexts(QTreeWidget* tree)
{
    Names texts;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        texts.push_back(tree->topLevelItem(i)->text(0).toStdString());
    return texts;
}

int NodeId(QTreeWidgetItem* node)
{
    return CategoryTreeView::NodeId(node);
}

QPoint Centre(CategoryTreeView* tree, QTreeWidgetItem* node)
{
    tree->scrollToItem(node);
    return tree->visualItemRect(node).center();
}

// What a drag over the tree was answered with.
struct DragAnswer {
    bool accepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
};

DragAnswer DragOver(CategoryTreeView* tree, QPoint at, const QMimeData& data, Qt::KeyboardModifiers keys,
                    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction)
{
    // As a real drag: the enter makes the tree the target the moves go to.
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, keys);
    move.setAccepted(false);
    QCoreApplication::sendEvent(tree->viewport(), &move);
    return {move.isAccepted(), move.dropAction()};
}

DragAnswer Drop(CategoryTreeView* tree, QPoint at, const QMimeData& data, Qt::KeyboardModifiers keys,
                Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction)
{
    DragOver(tree, at, data, keys, offered);
    QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, keys);
    drop.setAccepted(false);
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    return {drop.isAccepted(), drop.dropAction()};
}

std::unique_ptr<QMimeData> ListDrag()
{
    return NewMarkerDrag(kListDragMarker);
}

std::unique_ptr<QMimeData> FilesDrag(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

void SelectRows(TfrmMain& main, const Names& descriptions)
{
    QTreeView* view = main.mainList->DetailView();
    view->selectionModel()->clearSelection();
    const QAbstractItemModel* model = view->model();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (std::find(descriptions.begin(), descriptions.end(), index.data().toString().toStdString())
            != descriptions.end())
            view->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

// The editor of the node being renamed: its text replaced and the edit accepted (the
// view takes the text once the key has been handled).
void TypeIntoEditor(CategoryTreeView* tree, const QString& text)
{
    QVERIFY(tree->IsEditing());
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    QVERIFY(editor->hasFocus());
    editor->selectAll();
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!tree->IsEditing());
}

// The window shown on the Library page, the tree laid out.
void ShowLibrary(Session& session)
{
    session.ShowAndActivate();
    session.main->SelectPage(2);
    CategoryTreeView* tree = session.main->mainTree;
    QTRY_VERIFY(tree->itemAt(tree->visualItemRect(tree->topLevelItem(0)).center()) == tree->topLevelItem(0));
}

void WriteBytes(const QString& path, const std::string& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

} // namespace

class CategoryHandlersTest : public QObject {
    Q_OBJECT
private slots:
    void treeIsBuiltSortedWithUnclassifiedFirst();
    void namesWithApostrophesAreAddedRenamedAndKept();
    void unclassifiedIsNeverACategory();
    void delWhileRenamingEditsTheText();
    void listItemsAreCopiedWithCtrlAndMovedWithout();
    void itemsMovedOutOfUnclassifiedLeaveIt();
    void dropHighlightFollowsTheDragAndGoesAtTheEnd();
    void moveWithoutSelectedNodeOnlyAddsLinks();
    void rightClickSelectsTheNodeUnderTheMouse();
    void deletingACategoryTakesItsSubtreeAndKeepsTheItems();
    void deletingASubcategorySelectsItsParent();
    void droppedFolderBecomesTheSameCategoryTree_data();
    void droppedFolderBecomesTheSameCategoryTree();
    void filesDroppedOnUnclassifiedOrEmptySpaceGetNoCategory();
};

void CategoryHandlersTest::treeIsBuiltSortedWithUnclassifiedFirst()
{
    Session session;
    TfrmMain& main = session.Open();
    const int zoo = InsertCategory(Db(main), 0, "Zoo");
    InsertCategory(Db(main), 0, "Animals");
    InsertCategory(Db(main), zoo, "Lions");
    InsertCategory(Db(main), zoo, "Bears");
    session.ShowAndActivate();

    QCOMPARE(TopLevelTexts(main.mainTree), (Names{"<Unclassified>", "Animals", "Zoo"}));
    QTreeWidgetItem* zooNode = FindNode(main.mainTree, QStringLiteral("Zoo"));
    QCOMPARE(zooNode->childCount(), 2);
    QCOMPARE(zooNode->child(0)->text(0), QStringLiteral("Bears"));
    QCOMPARE(zooNode->child(1)->text(0), QStringLiteral("Lions"));
    QCOMPARE(NodeId(zooNode), zoo);
    QCOMPARE(NodeId(main.mainTree->topLevelItem(0)), kUnclassifiedId);
    QCOMPARE(main.mainTree->SelectedNode(), main.mainTree->topLevelItem(0));

    // Selecting a category opens it.
    main.mainTree->setCurrentItem(zooNode);
    QVERIFY(zooNode->isExpanded());
}

void CategoryHandlersTest::namesWithApostrophesAreAddedRenamedAndKept()
{
    Session session;
    TfrmMain& main = session.Open();
    InsertCategory(Db(main), 0, "Zebra");
    const int family = InsertCategory(Db(main), 0, "Family");
    ShowLibrary(session);

    // Add Category: a new node at the end of the top level, in edit mode at once.
    main.actEditAddCategory->trigger();
    QVERIFY(main.mainTree->IsEditing());
    QTreeWidgetItem* added = main.mainTree->SelectedNode();
    QVERIFY(added != nullptr);
    QCOMPARE(added->text(0), QStringLiteral("New Category"));
    QCOMPARE(TopLevelTexts(main.mainTree), (Names{"<Unclassified>", "Family", "Zebra", "New Category"}));
    TypeIntoEditor(main.mainTree, QStringLiteral("Tom's pictures"));
    QCOMPARE(added->text(0), QStringLiteral("Tom's pictures"));
    const int tomsId = NodeId(added);
    QVERIFY(tomsId > 0);

    // Add Subcategory below it, renamed the same way.
    main.UpdateActions();
    main.actEditAddSubcategory->trigger();
    QVERIFY(main.mainTree->IsEditing());
    QTreeWidgetItem* sub = main.mainTree->SelectedNode();
    QCOMPARE(sub->parent(), added);
    QCOMPARE(sub->text(0), QStringLiteral("New Subcategory"));
    TypeIntoEditor(main.mainTree, QStringLiteral("'quoted' ''twice''"));

    // F2 on an existing category.
    QTreeWidgetItem* familyNode = FindNode(main.mainTree, QStringLiteral("Family"));
    main.mainTree->setCurrentItem(familyNode);
    main.mainTree->setFocus();
    QTest::keyClick(main.mainTree, Qt::Key_F2);
    QVERIFY(main.mainTree->IsEditing());
    TypeIntoEditor(main.mainTree, QStringLiteral("O'Neil's"));

    // F2 with a modifier is not the rename key.
    QTest::keyClick(main.mainTree, Qt::Key_F2, Qt::ShiftModifier);
    QVERIFY(!main.mainTree->IsEditing());

    const std::vector<CategoryNode> stored = BuildCategoryTree(Db(main));
    const CategoryNode* toms = FindCategory(stored, "Tom's pictures");
    QVERIFY(toms != nullptr);
    QCOMPARE(toms->id, tomsId);
    QCOMPARE(ChildNames(*toms), Names{"'quoted' ''twice''"});
    const CategoryNode* oneils = FindCategory(stored, "O'Neil's");
    QVERIFY(oneils != nullptr);
    QCOMPARE(oneils->id, family);

    // A new start loads them as stored, sorted.
    session.main.reset();
    TfrmMain& again = session.Open();
    ShowLibrary(session);
    QCOMPARE(TopLevelTexts(again.mainTree), (Names{"<Unclassified>", "O'Neil's", "Tom's pictures", "Zebra"}));
    QTreeWidgetItem* reloaded = FindNode(again.mainTree, QStringLiteral("Tom's pictures"));
    QCOMPARE(reloaded->childCount(), 1);
    QCOMPARE(reloaded->child(0)->text(0), QStringLiteral("'quoted' ''twice''"));
}

void CategoryHandlersTest::unclassifiedIsNeverACategory()
{
    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    session.AddItem("beach.jpg", holidays);
    ShowLibrary(session);
    QTreeWidgetItem* unclassified = main.mainTree->UnclassifiedNode();
    QVERIFY(unclassified != nullptr);

    // Not renamed: not by F2, not by any edit request.
    main.mainTree->setCurrentItem(unclassified);
    main.mainTree->setFocus();
    QTest::keyClick(main.mainTree, Qt::Key_F2);
    QVERIFY(!main.mainTree->IsEditing());
    QTest::ignoreMessage(QtWarningMsg, "edit: editing failed");
    main.mainTree->editItem(unclassified);
    QVERIFY(!main.mainTree->IsEditing());
    main.UpdateActions();
    QVERIFY(!main.actEditRenameCategory->isEnabled());
    QVERIFY(!main.actEditAddSubcategory->isEnabled());
    QVERIFY(!main.actEditDeleteCategory->isEnabled());

    // Not deleted: Del on the tree asks nothing.
    QTest::keyClick(main.mainTree, Qt::Key_Delete);
    QVERIFY(session.boxes.messages.empty());
    QCOMPARE(main.mainTree->UnclassifiedNode(), unclassified);

    // No list items filed under it.
    QTreeWidgetItem* holidaysNode = FindNode(main.mainTree, QStringLiteral("Holidays"));
    main.mainTree->setCurrentItem(holidaysNode);
    main.mainList->SelectAll();
    const auto drag = ListDrag();
    const QPoint at = Centre(main.mainTree, unclassified);
    QVERIFY(!DragOver(main.mainTree, at, *drag, Qt::NoModifier).accepted);
    QVERIFY(!Drop(main.mainTree, at, *drag, Qt::NoModifier).accepted);
    QCOMPARE(ItemsOf(main, holidays), Names{"beach.jpg"});
    QVERIFY(ItemsOf(main, kUnclassifiedId).empty());
    QCOMPARE(ListedRows(main), Names{"beach.jpg"});
}

void CategoryHandlersTest::delWhileRenamingEditsTheText()
{
    Session session;
    TfrmMain& main = session.Open();
    InsertCategory(Db(main), 0, "Holidays");
    ShowLibrary(session);
    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Holidays")));
    main.mainTree->setFocus();
    QTest::keyClick(main.mainTree, Qt::Key_F2);
    QVERIFY(main.mainTree->IsEditing());
    auto* editor = main.mainTree->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor != nullptr);
    QVERIFY(editor->hasFocus());
    editor->setCursorPosition(0);
    QTest::keyClick(editor, Qt::Key_Delete);
    QCOMPARE(editor->text(), QStringLiteral("olidays"));
    QVERIFY(session.boxes.messages.empty());   // no question about deleting the category
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!main.mainTree->IsEditing());
    QVERIFY(FindCategory(BuildCategoryTree(Db(main)), "olidays") != nullptr);
}

void CategoryHandlersTest::listItemsAreCopiedWithCtrlAndMovedWithout()
{
    Session session;
    TfrmMain& main = session.Open();
    const int source = InsertCategory(Db(main), 0, "Source");
    const int target = InsertCategory(Db(main), 0, "Target");
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        session.AddItem(name, source);
    ShowLibrary(session);
    QTreeWidgetItem* sourceNode = FindNode(main.mainTree, QStringLiteral("Source"));
    QTreeWidgetItem* targetNode = FindNode(main.mainTree, QStringLiteral("Target"));
    main.mainTree->setCurrentItem(sourceNode);
    QCOMPARE(ListedRows(main), (Names{"a.jpg", "b.jpg", "c.jpg"}));
    const auto drag = ListDrag();

    // The selected category is no target for its own items.
    main.mainList->SelectAll();
    QVERIFY(!DragOver(main.mainTree, Centre(main.mainTree, sourceNode), *drag, Qt::NoModifier).accepted);

    // Ctrl: a copy. The items stay where they are and are filed under the target too.
    const DragAnswer over = DragOver(main.mainTree, Centre(main.mainTree, targetNode), *drag, Qt::ControlModifier);
    QVERIFY(over.accepted);
    QCOMPARE(over.action, Qt::CopyAction);
    QVERIFY(Drop(main.mainTree, Centre(main.mainTree, targetNode), *drag, Qt::ControlModifier).accepted);
    QCOMPARE(ItemsOf(main, source), (Names{"a.jpg", "b.jpg", "c.jpg"}));
    QCOMPARE(ItemsOf(main, target), (Names{"a.jpg", "b.jpg", "c.jpg"}));
    QCOMPARE(ListedRows(main), (Names{"a.jpg", "b.jpg", "c.jpg"}));

    // No Ctrl: a move. The two selected items leave the list of the selected category.
    const int third = InsertCategory(Db(main), 0, "Third");
    QTreeWidgetItem* thirdNode = main.mainTree->AddNode(nullptr, QStringLiteral("Third"), third);
    SelectRows(main, {"a.jpg", "c.jpg"});
    QCOMPARE(main.mainList->SelectedCount(), 2);
    QCOMPARE(DragOver(main.mainTree, Centre(main.mainTree, thirdNode), *drag, Qt::NoModifier).action,
             Qt::MoveAction);
    const DragAnswer moved = Drop(main.mainTree, Centre(main.mainTree, thirdNode), *drag, Qt::NoModifier);
    QVERIFY(moved.accepted);
    QCOMPARE(moved.action, Qt::MoveAction);
    QCOMPARE(ItemsOf(main, source), Names{"b.jpg"});
    QCOMPARE(ItemsOf(main, third), (Names{"a.jpg", "c.jpg"}));
    QCOMPARE(ItemsOf(main, target), (Names{"a.jpg", "b.jpg", "c.jpg"}));   // other links untouched
    QCOMPARE(ListedRows(main), Names{"b.jpg"});
    QCOMPARE(main.mainTree->SelectedNode(), sourceNode);
    QCOMPARE(Count(main, "Select count(*) as n from Record"), 3);
}

void CategoryHandlersTest::itemsMovedOutOfUnclassifiedLeaveIt()
{
    Session session;
    TfrmMain& main = session.Open();
    const int target = InsertCategory(Db(main), 0, "Target");
    session.AddItem("loose.jpg");
    session.AddItem("other.jpg");
    ShowLibrary(session);
    QCOMPARE(ListedRows(main), (Names{"loose.jpg", "other.jpg"}));
    QVERIFY(main.mainList->SelectIdent(RecordIdent(main, "loose.jpg")));

    const auto drag = ListDrag();
    QVERIFY(Drop(main.mainTree, Centre(main.mainTree, FindNode(main.mainTree, QStringLiteral("Target"))), *drag,
                 Qt::NoModifier)
                .accepted);
    QCOMPARE(ItemsOf(main, target), Names{"loose.jpg"});
    QCOMPARE(ItemsOf(main, kUnclassifiedId), Names{"other.jpg"});
    QCOMPARE(ListedRows(main), Names{"other.jpg"});
}

void CategoryHandlersTest::dropHighlightFollowsTheDragAndGoesAtTheEnd()
{
    Session session;
    TfrmMain& main = session.Open();
    const int one = InsertCategory(Db(main), 0, "One");
    InsertCategory(Db(main), 0, "Two");
    session.AddItem("a.jpg", one);
    ShowLibrary(session);
    CategoryTreeView* tree = main.mainTree;
    QTreeWidgetItem* oneNode = FindNode(tree, QStringLiteral("One"));
    QTreeWidgetItem* twoNode = FindNode(tree, QStringLiteral("Two"));
    tree->setCurrentItem(oneNode);
    main.mainList->SelectAll();
    const auto drag = ListDrag();

    QCOMPARE(tree->DropHighlight(), nullptr);
    DragOver(tree, Centre(tree, twoNode), *drag, Qt::NoModifier);
    QCOMPARE(tree->DropHighlight(), twoNode);
    QVERIFY(twoNode->data(0, Qt::BackgroundRole).isValid());
    // Over "<Unclassified>" the highlight moves, though nothing may be dropped there.
    DragOver(tree, Centre(tree, tree->UnclassifiedNode()), *drag, Qt::NoModifier);
    QCOMPARE(tree->DropHighlight(), tree->UnclassifiedNode());
    QVERIFY(!twoNode->data(0, Qt::BackgroundRole).isValid());

    // Leaving the tree ends it.
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(tree->viewport(), &leave);
    QCOMPARE(tree->DropHighlight(), nullptr);
    QVERIFY(!tree->UnclassifiedNode()->data(0, Qt::BackgroundRole).isValid());

    // So does a drop.
    QVERIFY(Drop(tree, Centre(tree, twoNode), *drag, Qt::ControlModifier).accepted);
    QCOMPARE(tree->DropHighlight(), nullptr);
    QVERIFY(!twoNode->data(0, Qt::BackgroundRole).isValid());

    // And the end of a list drag that ended elsewhere, or a drag that went on to the list.
    DragOver(tree, Centre(tree, twoNode), *drag, Qt::NoModifier);
    QCOMPARE(tree->DropHighlight(), twoNode);
    emit main.mainList->DragFinished();
    QCOMPARE(tree->DropHighlight(), nullptr);
    QVERIFY(!twoNode->data(0, Qt::BackgroundRole).isValid());
    DragOver(tree, Centre(tree, twoNode), *drag, Qt::NoModifier);
    QCOMPARE(tree->DropHighlight(), twoNode);
    emit main.mainList->DragLeft();
    QCOMPARE(tree->DropHighlight(), nullptr);

    // A drag of anything else is not taken at all.
    QMimeData text;
    text.setText(QStringLiteral("just text"));
    QVERIFY(!DragOver(tree, Centre(tree, twoNode), text, Qt::NoModifier).accepted);
    QCOMPARE(tree->DropHighlight(), nullptr);
}

void CategoryHandlersTest::moveWithoutSelectedNodeOnlyAddsLinks()
{
    // After a search no node is selected: a move has no category to take the items from.
    Session session;
    TfrmMain& main = session.Open();
    const int source = InsertCategory(Db(main), 0, "Source");
    const int target = InsertCategory(Db(main), 0, "Target");
    session.AddItem("a.jpg", source);
    ShowLibrary(session);
    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Source")));
    main.mainTree->clearSelection();
    QCOMPARE(ListedRows(main), Names{"a.jpg"});   // the list keeps its rows
    main.mainList->SelectAll();

    QVERIFY(Drop(main.mainTree, Centre(main.mainTree, FindNode(main.mainTree, QStringLiteral("Target"))),
                 *ListDrag(), Qt::NoModifier)
                .accepted);
    QCOMPARE(ItemsOf(main, target), Names{"a.jpg"});
    QCOMPARE(ItemsOf(main, source), Names{"a.jpg"});
    QCOMPARE(ListedRows(main), Names{"a.jpg"});
}

void CategoryHandlersTest::rightClickSelectsTheNodeUnderTheMouse()
{
    Session session;
    TfrmMain& main = session.Open();
    InsertCategory(Db(main), 0, "Holidays");
    session.AddItem("loose.jpg");
    ShowLibrary(session);
    CategoryTreeView* tree = main.mainTree;
    QTreeWidgetItem* holidays = FindNode(tree, QStringLiteral("Holidays"));
    const auto contextMenu = [tree](QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree->viewport(), &event);
    };

    const QPoint onNode = Centre(tree, holidays);
    QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier, onNode);
    QTest::mouseRelease(tree->viewport(), Qt::RightButton, Qt::NoModifier, onNode);
    QCOMPARE(tree->SelectedNode(), holidays);
    contextMenu(onNode);
    QTRY_VERIFY(main.treePop->isVisible());
    main.treePop->hide();

    // Empty space: no node selected, the list keeps its rows, and no menu.
    main.mainTree->setCurrentItem(tree->UnclassifiedNode());
    QCOMPARE(ListedRows(main), Names{"loose.jpg"});
    const QPoint empty(5, tree->viewport()->height() - 3);
    QCOMPARE(tree->itemAt(empty), nullptr);
    QTest::mousePress(tree->viewport(), Qt::RightButton, Qt::NoModifier, empty);
    QTest::mouseRelease(tree->viewport(), Qt::RightButton, Qt::NoModifier, empty);
    QCOMPARE(tree->SelectedNode(), nullptr);
    QCOMPARE(ListedRows(main), Names{"loose.jpg"});
    contextMenu(empty);
    QCoreApplication::processEvents();
    QVERIFY(!main.treePop->isVisible());
}

void CategoryHandlersTest::deletingACategoryTakesItsSubtreeAndKeepsTheItems()
{
    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    const int beach = InsertCategory(Db(main), holidays, "Beach");
    const int sunset = InsertCategory(Db(main), beach, "Sunset");
    const int city = InsertCategory(Db(main), holidays, "City");
    const int other = InsertCategory(Db(main), 0, "Other");
    session.AddItem("holiday.jpg", holidays);
    session.AddItem("beach.jpg", beach);
    session.AddItem("sunset.jpg", sunset);
    session.AddItem("city.jpg", city);
    session.AddItem("loose.jpg");
    QVERIFY(main.mainTree != nullptr);
    ShowLibrary(session);
    // sunset.jpg is filed under Other too: it keeps that link.
    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Sunset")));
    QVERIFY(main.mainList->SelectIdent(RecordIdent(main, "sunset.jpg")));
    QVERIFY(Drop(main.mainTree, Centre(main.mainTree, FindNode(main.mainTree, QStringLiteral("Other"))),
                 *ListDrag(), Qt::ControlModifier)
                .accepted);

    // Answered No: nothing goes.
    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Holidays")));
    main.UpdateActions();
    session.boxes.answers = {mb::kResultNo};
    main.actEditDeleteCategory->trigger();
    QCOMPARE(session.boxes.messages.size(), size_t{1});
    QCOMPARE(session.boxes.messages[0].text, std::string(kDeleteCategoryQuestion));
    QVERIFY(FindNode(main.mainTree, QStringLiteral("Sunset")) != nullptr);
    QCOMPARE(Count(main, "Select count(*) as n from Category"), 5);

    // Del on the tree with an item selected in the list: the category goes, no item.
    main.mainList->SelectAll();
    main.mainTree->setFocus();
    QTRY_VERIFY(main.mainTree->hasFocus());
    session.boxes.answers = {mb::kResultYes};
    QTest::keyClick(main.mainTree, Qt::Key_Delete);
    QCOMPARE(session.boxes.messages.size(), size_t{2});

    for (const char* gone : {"Holidays", "Beach", "Sunset", "City"})
        QVERIFY2(FindNode(main.mainTree, QString::fromLatin1(gone)) == nullptr, gone);
    QCOMPARE(TopLevelTexts(main.mainTree), (Names{"<Unclassified>", "Other"}));
    const std::vector<CategoryNode> stored = BuildCategoryTree(Db(main));
    QCOMPARE(stored.size(), size_t{2});
    QCOMPARE(stored[1].description, std::string("Other"));
    QVERIFY(stored[1].children.empty());
    QCOMPARE(Count(main, "Select count(*) as n from Category"), 1);
    QCOMPARE(Count(main, "Select count(*) as n from RecordCategory where reccat_category <> " +
                             std::to_string(other)),
             0);

    // The items stay; those filed nowhere else are unclassified now, and the tree has
    // gone back to "<Unclassified>", listing them.
    QCOMPARE(Count(main, "Select count(*) as n from Record"), 5);
    QCOMPARE(ItemsOf(main, other), Names{"sunset.jpg"});
    const Names unclassified{"beach.jpg", "city.jpg", "holiday.jpg", "loose.jpg"};
    QCOMPARE(ItemsOf(main, kUnclassifiedId), unclassified);
    QCOMPARE(main.mainTree->SelectedNode(), main.mainTree->UnclassifiedNode());
    QCOMPARE(ListedRows(main), unclassified);
}

void CategoryHandlersTest::deletingASubcategorySelectsItsParent()
{
    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    const int beach = InsertCategory(Db(main), holidays, "Beach");
    InsertCategory(Db(main), beach, "Sunset");
    InsertCategory(Db(main), holidays, "City");
    session.AddItem("holiday.jpg", holidays);
    session.AddItem("beach.jpg", beach);
    ShowLibrary(session);

    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Beach")));
    QCOMPARE(ListedRows(main), Names{"beach.jpg"});
    main.UpdateActions();
    main.actEditDeleteCategory->trigger();   // the recording boxes answer OK: not a No

    QTreeWidgetItem* holidaysNode = FindNode(main.mainTree, QStringLiteral("Holidays"));
    QCOMPARE(main.mainTree->SelectedNode(), holidaysNode);
    QCOMPARE(holidaysNode->childCount(), 1);
    QCOMPARE(holidaysNode->child(0)->text(0), QStringLiteral("City"));
    QCOMPARE(ListedRows(main), Names{"holiday.jpg"});
    QCOMPARE(ItemsOf(main, kUnclassifiedId), Names{"beach.jpg"});
    QCOMPARE(Count(main, "Select count(*) as n from Category"), 2);
}

void CategoryHandlersTest::droppedFolderBecomesTheSameCategoryTree_data()
{
    QTest::addColumn<bool>("deleteByDefault");
    QTest::addColumn<Qt::KeyboardModifiers>("keys");
    QTest::addColumn<Qt::DropActions>("offered");
    QTest::addColumn<bool>("sourcesDeleted");

    const Qt::DropActions both = Qt::CopyAction | Qt::MoveAction;
    const Qt::DropActions copyOnly = Qt::CopyAction;
    QTest::newRow("plain drop keeps") << false << Qt::KeyboardModifiers(Qt::NoModifier) << both << false;
    QTest::newRow("shift deletes") << false << Qt::KeyboardModifiers(Qt::ShiftModifier) << both << true;
    QTest::newRow("ctrl alone keeps") << false << Qt::KeyboardModifiers(Qt::ControlModifier) << both << false;
    QTest::newRow("option on: plain drop deletes") << true << Qt::KeyboardModifiers(Qt::NoModifier) << both << true;
    QTest::newRow("option on: ctrl keeps") << true << Qt::KeyboardModifiers(Qt::ControlModifier) << both << false;
    QTest::newRow("option on: shift deletes") << true << Qt::KeyboardModifiers(Qt::ShiftModifier) << both << true;
    // A source that only lets its files be copied never has them deleted.
    QTest::newRow("shift, copy-only source keeps") << false << Qt::KeyboardModifiers(Qt::ShiftModifier) << copyOnly
                                                   << false;
    QTest::newRow("option on, copy-only source keeps") << true << Qt::KeyboardModifiers(Qt::NoModifier) << copyOnly
                                                       << false;
}

void CategoryHandlersTest::droppedFolderBecomesTheSameCategoryTree()
{
    QFETCH(bool, deleteByDefault);
    QFETCH(Qt::KeyboardModifiers, keys);
    QFETCH(Qt::DropActions, offered);
    QFETCH(bool, sourcesDeleted);

    QTemporaryDir sources;
    const QDir root(sources.path());
    QVERIFY(root.mkpath(QStringLiteral("trip/day1/night")));
    const std::string bytesA(1000, 'a');
    const std::string bytesB = "b";
    const std::string bytesC(700001, 'c');   // two chunks
    WriteBytes(root.filePath(QStringLiteral("trip/a.jpg")), bytesA);
    WriteBytes(root.filePath(QStringLiteral("trip/notes.txt")), "not a media file");
    WriteBytes(root.filePath(QStringLiteral("trip/day1/b.jpg")), bytesB);
    WriteBytes(root.filePath(QStringLiteral("trip/day1/night/c.gif")), bytesC);
    WriteBytes(root.filePath(QStringLiteral("single.mp3")), "tune");

    Session session;
    TfrmMain& main = session.Open();
    const int holidays = InsertCategory(Db(main), 0, "Holidays");
    Db(main).Execute(deleteByDefault ? "update options set opt_defdelete = 1" : "update options set opt_defdelete = 0");
    ShowLibrary(session);
    QTreeWidgetItem* holidaysNode = FindNode(main.mainTree, QStringLiteral("Holidays"));
    main.mainTree->setCurrentItem(holidaysNode);

    const auto drag = FilesDrag({root.filePath(QStringLiteral("trip")), root.filePath(QStringLiteral("single.mp3"))});
    // The source of the drag is told a copy whatever the effect, during the drag and at
    // the drop: the library deletes the sources itself, each only once it is stored.
    const DragAnswer over = DragOver(main.mainTree, Centre(main.mainTree, holidaysNode), *drag, keys, offered);
    QVERIFY(over.accepted);
    QCOMPARE(over.action, Qt::CopyAction);
    QCOMPARE(main.mainTree->DropHighlight(), holidaysNode);
    const DragAnswer dropped = Drop(main.mainTree, Centre(main.mainTree, holidaysNode), *drag, keys, offered);
    QVERIFY(dropped.accepted);
    QCOMPARE(dropped.action, Qt::CopyAction);
    QCOMPARE(main.mainTree->DropHighlight(), nullptr);

    QTRY_COMPARE(Count(main, "Select count(*) as n from Record"), 4);
    QTRY_VERIFY(FindNode(main.mainTree, QStringLiteral("night")) != nullptr);

    // The tree on the screen and in the database: Holidays > trip > day1 > night.
    QTreeWidgetItem* tripNode = FindNode(main.mainTree, QStringLiteral("trip"));
    QVERIFY(tripNode != nullptr);
    QCOMPARE(tripNode->parent(), holidaysNode);
    QTreeWidgetItem* dayNode = FindNode(main.mainTree, QStringLiteral("day1"));
    QCOMPARE(dayNode->parent(), tripNode);
    QCOMPARE(FindNode(main.mainTree, QStringLiteral("night"))->parent(), dayNode);
    const std::vector<CategoryNode> stored = BuildCategoryTree(Db(main));
    const CategoryNode* holidaysRow = FindCategory(stored, "Holidays");
    QCOMPARE(ChildNames(*holidaysRow), Names{"trip"});
    QCOMPARE(ChildNames(holidaysRow->children[0]), Names{"day1"});
    QCOMPARE(ChildNames(holidaysRow->children[0].children[0]), Names{"night"});
    QCOMPARE(NodeId(tripNode), holidaysRow->children[0].id);

    // Each category holds its own files; the text file was passed over.
    QCOMPARE(ItemsOf(main, holidays), Names{"single.mp3"});
    QCOMPARE(ItemsOf(main, NodeId(tripNode)), Names{"a.jpg"});
    QCOMPARE(ItemsOf(main, NodeId(dayNode)), Names{"b.jpg"});
    QCOMPARE(ItemsOf(main, holidaysRow->children[0].children[0].children[0].id), Names{"c.gif"});
    QVERIFY(ItemsOf(main, kUnclassifiedId).empty());
    QCOMPARE(Count(main, "Select rec_size as n from Record where rec_description = 'c.gif'"),
             static_cast<std::int64_t>(bytesC.size()));
    // The drop node was the selected one: its list shows what was filed under it.
    QTRY_COMPARE(ListedRows(main), Names{"single.mp3"});

    for (const char* file : {"trip/a.jpg", "trip/day1/b.jpg", "trip/day1/night/c.gif", "single.mp3"})
        QVERIFY2(root.exists(QString::fromLatin1(file)) == !sourcesDeleted, file);
    // Never deleted: folders, and files the library did not take.
    QVERIFY(root.exists(QStringLiteral("trip/day1/night")));
    QVERIFY(root.exists(QStringLiteral("trip/notes.txt")));
}

void CategoryHandlersTest::filesDroppedOnUnclassifiedOrEmptySpaceGetNoCategory()
{
    QTemporaryDir sources;
    const QDir root(sources.path());
    QVERIFY(root.mkpath(QStringLiteral("album")));
    WriteBytes(root.filePath(QStringLiteral("album/in.jpg")), "in");
    WriteBytes(root.filePath(QStringLiteral("on-node.jpg")), "node");
    WriteBytes(root.filePath(QStringLiteral("on-space.jpg")), "space");

    Session session;
    TfrmMain& main = session.Open();
    const int other = InsertCategory(Db(main), 0, "Other");
    ShowLibrary(session);
    CategoryTreeView* tree = main.mainTree;
    tree->setCurrentItem(FindNode(tree, QStringLiteral("Other")));

    QVERIFY(Drop(tree, Centre(tree, tree->UnclassifiedNode()),
                 *FilesDrag({root.filePath(QStringLiteral("on-node.jpg"))}), Qt::NoModifier)
                .accepted);
    QTRY_COMPARE(ItemsOf(main, kUnclassifiedId), Names{"on-node.jpg"});

    // Below the last node: no node under the cursor, no highlight, still taken.
    const QPoint empty(5, tree->viewport()->height() - 3);
    QCOMPARE(tree->itemAt(empty), nullptr);
    const auto drag = FilesDrag({root.filePath(QStringLiteral("on-space.jpg")), root.filePath(QStringLiteral("album"))});
    QVERIFY(DragOver(tree, empty, *drag, Qt::NoModifier).accepted);
    QCOMPARE(tree->DropHighlight(), nullptr);
    QVERIFY(Drop(tree, empty, *drag, Qt::NoModifier).accepted);
    QTRY_VERIFY(FindNode(tree, QStringLiteral("album")) != nullptr);
    QTRY_COMPARE(Count(main, "Select count(*) as n from Record"), 3);
    QCOMPARE(FindNode(tree, QStringLiteral("album"))->parent(), nullptr);   // a top-level category
    QCOMPARE(TopLevelTexts(tree), (Names{"<Unclassified>", "Other", "album"}));
    QCOMPARE(ItemsOf(main, kUnclassifiedId), (Names{"on-node.jpg", "on-space.jpg"}));
    QCOMPARE(ItemsOf(main, NodeId(FindNode(tree, QStringLiteral("album")))), Names{"in.jpg"});
    QVERIFY(ItemsOf(main, other).empty());
    QVERIFY(root.exists(QStringLiteral("on-space.jpg")));
}

QTEST_MAIN(CategoryHandlersTest)
#include "CategoryHandlersTest.moc"
