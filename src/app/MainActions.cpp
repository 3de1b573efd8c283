// The main window's actions (mainActions), its menus and the enabling rules.
#include "app/MainWindow.h"

#include "app/ItemListHandlers.h"

#include "app/ActionRules.h"
#include "app/ItemListView.h"
#include "catalogue/CategoryTreeView.h"
#include "app/SkinTitleBar.h"

#include <QAction>
#include <QActionGroup>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

namespace velmora {

namespace {

// The clipboard holds a list of files (what a file manager's Copy puts there).
bool ClipboardHoldsFiles()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr)
        return false;
    if (data->hasFormat(QStringLiteral("x-special/gnome-copied-files")))
        return true;
    if (!data->hasUrls())
        return false;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            return true;
    return false;
}

void Separator(QMenu* menu)
{
    menu->addSeparator();
}

} // namespace

QAction* TfrmMain::NewAction(const char* name, const QString& caption, const QString& hint, const QKeySequence& shortcut)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(hint);
    action->setToolTip(hint.isEmpty() ? QString(caption).remove(QLatin1Char('&')).trimmed() : hint);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Menu and action shortcuts come before the focused control.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    addAction(action);   // shortcuts work whichever menu shows the action
    return action;
}

// A menu entry that shows an action under another caption: it runs the action and
// follows its enabled and checked states. The shortcut stays the action's (a second
// owner of the same keys would make both ambiguous); the entry only shows it.
QAction* TfrmMain::MenuEntry(QAction* action, const QString& caption, const char* name, bool followEnabled)
{
    auto* entry = new QAction(this);
    entry->setObjectName(QLatin1String(name));
    const QString keys = action->shortcut().toString(QKeySequence::NativeText);
    entry->setText(keys.isEmpty() ? caption : caption + QLatin1Char('\t') + keys);
    entry->setStatusTip(action->statusTip());
    const auto follow = [entry, action, followEnabled] {
        if (followEnabled)
            entry->setEnabled(action->isEnabled());
        entry->setCheckable(action->isCheckable());
        entry->setChecked(action->isChecked());
    };
    follow();
    connect(action, &QAction::changed, entry, follow);
    connect(action, &QAction::toggled, entry, follow);
    // A checkable entry toggles itself when chosen; what counts is the action's state
    // afterwards (choosing the checked one of a radio group leaves it checked).
    connect(entry, &QAction::triggered, action, [action, follow] {
        if (action->isEnabled())
            action->trigger();
        follow();
    });
    return entry;
}

void TfrmMain::CreateActions()
{
    actFileExit = NewAction("actFileExit", QStringLiteral("E&xit"), QStringLiteral("Exit the application"),
                            QKeySequence(Qt::ALT | Qt::Key_F4));
    actFileBoss = NewAction("actFileBoss", QStringLiteral(" Lock System"),
                            QStringLiteral("Immediately hide and password protect the program"),
                            QKeySequence(Qt::CTRL | Qt::Key_B));
    // The lock is most needed when the screen is covered: its key works in every window
    // of the program, the full-screen and slideshow windows among them, unless a modal
    // dialog waits for an answer. The progress window answers it too, since the main
    // window is disabled while it shows.
    actFileBoss->setShortcutContext(Qt::ApplicationShortcut);
    m_progress.AddWindowAction(actFileBoss);
    actViewDetails = NewAction("actViewDetails", QString(), QStringLiteral("View Details"));
    actViewThumbnails = NewAction("actViewThumbnails", QString(), QStringLiteral("View Thumbnails"));
    actChangePassword = NewAction("actChangePassword", QStringLiteral("Change Password..."),
                                  QStringLiteral("Change Password"));
    actHelpAbout = NewAction("actHelpAbout", QStringLiteral("About"),
                             QStringLiteral("Display Copyright and Version Information"));
    actViewSlideshow = NewAction("actViewSlideshow", QStringLiteral("View Slideshow"),
                                 QStringLiteral("View full screen slideshow of current images"));
    actEditAddToCategory = NewAction("actEditAddToCategory", QStringLiteral("Add Files to Category"),
                                     QStringLiteral("Add files to current category"), QKeySequence(Qt::Key_Insert));
    actEditAddCategory = NewAction("actEditAddCategory", QStringLiteral("Add Category"),
                                   QStringLiteral("Add a Category"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));
    actEditAddSubcategory =
        NewAction("actEditAddSubcategory", QStringLiteral("Add Subcategory"),
                  QStringLiteral("Add a Subcategory to the currently selected category"),
                  QKeySequence(Qt::CTRL | Qt::Key_Insert));
    actEditRenameCategory = NewAction("actEditRenameCategory", QStringLiteral("Rename Category / Subcategory"),
                                      QStringLiteral("Rename the current category or subcategory"));
    actEditDeleteCategory = NewAction("actEditDeleteCategory", QStringLiteral("Delete Category / Subcategory"),
                                      QStringLiteral("Delete the current Category or Subcategory"));
    actEditRemoveFromCategory =
        NewAction("actEditRemoveFromCategory", QStringLiteral("Remove Files from Category"),
                  QStringLiteral("Remove selected file(s) from the current category"),
                  QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    actEditDeleteFiles = NewAction("actEditDeleteFiles", QStringLiteral("Delete Files"),
                                   QStringLiteral("Delete Selected File(s) from the database"),
                                   QKeySequence(Qt::Key_Delete));
    actEditChangeDescription = NewAction("actEditChangeDescription", QStringLiteral("Change Item Description"),
                                         QStringLiteral("Change the description of the current item"));
    actFileExport = NewAction("actFileExport", QStringLiteral("Export Selected Items..."),
                              QStringLiteral("Export Selected File(s) to a transfer archive"));
    actFileSaveToDisk = NewAction("actFileSaveToDisk", QStringLiteral("Save to Disk..."),
                                  QStringLiteral("Save Selected File(s) to disk"));
    actFileImport = NewAction("actFileImport", QStringLiteral("Import..."),
                              QStringLiteral("Import files from a transfer archive"));
    actEditPaste = NewAction("actEditPaste", QStringLiteral("Paste"),
                             QStringLiteral("Past files from clipboard into current category"),
                             QKeySequence(Qt::CTRL | Qt::Key_V));
    actViewRefresh = NewAction("actViewRefresh", QStringLiteral("Refresh"), QStringLiteral("Refresh current view"));
    actExportCategory = NewAction("actExportCategory", QStringLiteral("Export Selected Category..."), QString());
    actFilePrint = NewAction("actFilePrint", QStringLiteral("Print..."), QStringLiteral("Print Selected File(s)"));

    actViewDetails->setCheckable(true);
    actViewThumbnails->setCheckable(true);
    auto* views = new QActionGroup(this);
    views->addAction(actViewDetails);
    views->addAction(actViewThumbnails);
    actViewDetails->setChecked(true);
    actEditPaste->setEnabled(false);

    connect(actFileExit, &QAction::triggered, this, &TfrmMain::doFileExit);
    connect(actFileBoss, &QAction::triggered, this, &TfrmMain::doFileBoss);
    connect(actChangePassword, &QAction::triggered, this, &TfrmMain::doChangePassword);

    treePop = new QMenu(this);
    treePop->setObjectName(QStringLiteral("treePop"));
    listPop = new QMenu(this);
    listPop->setObjectName(QStringLiteral("listPop"));
    playlistPop = new QMenu(this);
    playlistPop->setObjectName(QStringLiteral("playlistPop"));
    helpPop = new QMenu(this);
    helpPop->setObjectName(QStringLiteral("helpPop"));
}

void TfrmMain::CreateMenus()
{
    QMenuBar* bar = TitleArea->MenuBar();

    // &File
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    QMenu* tabs = file->addMenu(QStringLiteral("Tabs"));
    tabs->setObjectName(QStringLiteral("Tabs1"));
    NowPlaying1 = tabs->addAction(QStringLiteral("Playing"));
    Library2 = tabs->addAction(QStringLiteral("Library"));
    Settings1 = tabs->addAction(QStringLiteral("Settings"));
    NowPlaying1->setObjectName(QStringLiteral("NowPlaying1"));
    Library2->setObjectName(QStringLiteral("Library2"));
    Settings1->setObjectName(QStringLiteral("Settings1"));
    // One page is shown: choosing the current page again leaves its mark.
    auto* pages = new QActionGroup(this);
    for (QAction* entry : {NowPlaying1, Library2, Settings1}) {
        entry->setCheckable(true);
        pages->addAction(entry);
    }
    NowPlaying1->setChecked(true);
    connect(NowPlaying1, &QAction::triggered, this, [this] { SelectPage(1); });
    connect(Library2, &QAction::triggered, this, [this] { SelectPage(2); });
    connect(Settings1, &QAction::triggered, this, [this] { SelectPage(3); });
    Separator(file);
    file->addAction(actFileExit);

    // &Library
    QMenu* library = bar->addMenu(QStringLiteral("&Library"));
    library->setObjectName(QStringLiteral("Library1"));
    library->addAction(actEditAddToCategory);
    library->addAction(actFileSaveToDisk);
    DeleteSelectedFiles1 = MenuEntry(actEditDeleteFiles, QStringLiteral("Delete Selected Files"), "DeleteSelectedFiles1");
    library->addAction(DeleteSelectedFiles1);
    library->addAction(MenuEntry(actEditChangeDescription, QStringLiteral("Rename Item"), "RenameItem1"));
    Separator(library);
    QMenu* archives = library->addMenu(QStringLiteral("Archives"));
    archives->setObjectName(QStringLiteral("Archives1"));
    archives->addAction(MenuEntry(actFileImport, QStringLiteral("Import Archive"), "ImportArchive1"));
    Separator(archives);
    archives->addAction(MenuEntry(actFileExport, QStringLiteral("Export Items to Archive"), "ExportItemstoArchive1"));
    archives->addAction(
        MenuEntry(actExportCategory, QStringLiteral("Export Category to Archive"), "ExportCategorytoArchive1"));
    QMenu* category = library->addMenu(QStringLiteral("Category"));
    category->setObjectName(QStringLiteral("Category1"));
    category->addAction(actEditAddCategory);
    category->addAction(actEditAddSubcategory);
    Separator(category);
    category->addAction(actEditRenameCategory);
    category->addAction(actEditDeleteCategory);
    Separator(category);
    category->addAction(actEditRemoveFromCategory);
    QMenu* view = library->addMenu(QStringLiteral("View"));
    view->setObjectName(QStringLiteral("View1"));
    view->addAction(MenuEntry(actViewDetails, QStringLiteral("Details"), "Details1"));
    view->addAction(MenuEntry(actViewThumbnails, QStringLiteral("Thumbnails"), "Thumbnails1"));
    Separator(library);
    library->addAction(actViewRefresh);
    library->addAction(actEditPaste);
    SelectAll1 = library->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    SelectAll1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    Separator(library);
    // The two "Print..." entries are enabled only while a picture is previewed, on top
    // of the action's own rule.
    Print1 = MenuEntry(actFilePrint, QStringLiteral("Print..."), "Print1", false);
    library->addAction(Print1);

    // &Playlist
    QMenu* playlistMenu = bar->addMenu(QStringLiteral("&Playlist"));
    playlistMenu->setObjectName(QStringLiteral("Playlist1"));
    Repeat2 = playlistMenu->addAction(QStringLiteral("Repeat"));
    Shuffle2 = playlistMenu->addAction(QStringLiteral("Shuffle"));
    Separator(playlistMenu);
    QAction* removeItem2 = playlistMenu->addAction(QStringLiteral("Remove Item"));
    QAction* removeAll1 = playlistMenu->addAction(QStringLiteral("Remove All"));
    Separator(playlistMenu);
    QMenu* player = playlistMenu->addMenu(QStringLiteral("Player"));
    player->setObjectName(QStringLiteral("Player1"));
    Play1 = player->addAction(QStringLiteral("Play"));
    Stop1 = player->addAction(QStringLiteral("Stop"));
    Pause1 = player->addAction(QStringLiteral("Pause"));
    QAction* next1 = player->addAction(QStringLiteral("Next"));
    QAction* previous1 = player->addAction(QStringLiteral("Previous"));
    Separator(player);
    Mute1 = player->addAction(QStringLiteral("Mute"));
    Repeat2->setObjectName(QStringLiteral("Repeat2"));
    Shuffle2->setObjectName(QStringLiteral("Shuffle2"));
    removeItem2->setObjectName(QStringLiteral("RemoveItem2"));
    removeAll1->setObjectName(QStringLiteral("RemoveAll1"));
    Play1->setObjectName(QStringLiteral("Play1"));
    Stop1->setObjectName(QStringLiteral("Stop1"));
    Pause1->setObjectName(QStringLiteral("Pause1"));
    next1->setObjectName(QStringLiteral("Next1"));
    previous1->setObjectName(QStringLiteral("Previous1"));
    Mute1->setObjectName(QStringLiteral("Mute1"));
    for (QAction* entry : {Repeat2, Shuffle2, Play1, Stop1, Pause1, Mute1})
        entry->setCheckable(true);
    Repeat2->setChecked(true);

    // &Tools
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("Tools1"));
    tools->addAction(actChangePassword);
    Separator(tools);
    tools->addAction(QStringLiteral("Check for updates"))->setObjectName(QStringLiteral("CheckforUpdates1"));
    Separator(tools);
    tools->addAction(actViewSlideshow);
    Separator(tools);
    BossKey1 = MenuEntry(actFileBoss, QStringLiteral("Lock System"), "BossKey1");
    tools->addAction(BossKey1);

    // Tree menu.
    treePop->addAction(actEditAddToCategory);
    treePop->addAction(actEditPaste);
    Separator(treePop);
    treePop->addAction(actEditAddCategory);
    treePop->addAction(actEditAddSubcategory);
    treePop->addAction(actEditDeleteCategory);
    Separator(treePop);
    treePop->addAction(actEditRenameCategory);
    Separator(treePop);
    treePop->addAction(MenuEntry(actExportCategory, QStringLiteral("Export Category to Archive"), "ExportCategory2"));
    treePop->addAction(MenuEntry(actFileImport, QStringLiteral("Import Archive"), "ImportArchive2"));

    // List menu.
    listPop->addAction(actEditAddToCategory);
    listPop->addAction(actEditPaste);
    Separator(listPop);
    listPop->addAction(actEditRemoveFromCategory);
    listPop->addAction(actEditDeleteFiles);
    Separator(listPop);
    listPop->addAction(actEditChangeDescription);
    Separator(listPop);
    listPop->addAction(actFileExport);
    listPop->addAction(actFileSaveToDisk);
    Separator(listPop);
    Print2 = MenuEntry(actFilePrint, QStringLiteral("Print..."), "Print2", false);
    listPop->addAction(Print2);
    Separator(listPop);
    listPop->addAction(actFileImport);
    Separator(listPop);
    listPop->addAction(QStringLiteral("Add Files to Play List"))->setObjectName(QStringLiteral("AddFilestoPlayList1"));
    Separator(listPop);
    listPop->addAction(actViewSlideshow);

    // Play list menu of the bottom bar.
    Repeat1 = playlistPop->addAction(QStringLiteral("Repeat"));
    Shuffle1 = playlistPop->addAction(QStringLiteral("Shuffle"));
    Separator(playlistPop);
    playlistPop->addAction(QStringLiteral("Remove Item"))->setObjectName(QStringLiteral("RemoveItem1"));
    playlistPop->addAction(QStringLiteral("Remove All"))->setObjectName(QStringLiteral("ClearAll1"));
    Repeat1->setObjectName(QStringLiteral("Repeat1"));
    Shuffle1->setObjectName(QStringLiteral("Shuffle1"));
    Repeat1->setCheckable(true);
    Shuffle1->setCheckable(true);
    Repeat1->setChecked(true);

    // Help menu of the skin's help button.
    QAction* about2 = helpPop->addAction(QStringLiteral("About ..."));
    about2->setObjectName(QStringLiteral("About2"));
    connect(about2, &QAction::triggered, actHelpAbout, &QAction::trigger);
    helpPop->addAction(QStringLiteral("Online Help"))->setObjectName(QStringLiteral("Help2"));

    // The rules are current whenever a menu opens, whatever changed since.
    for (QMenu* menu : findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &TfrmMain::UpdateActions);

    connect(mainTree, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { treePop->popup(mainTree->viewport()->mapToGlobal(pos)); });
    connect(mainList, &ItemListView::ContextMenuRequested, this, [this](const QPoint& at) { listPop->popup(at); });
}

ShellSelection TfrmMain::CurrentSelection() const
{
    ShellSelection selection;
    selection.node = SelectedNodeId();
    if (selection.node) {
        const QList<QTreeWidgetItem*> nodes = mainTree->selectedItems();
        selection.nodeHasParent = !nodes.isEmpty() && nodes.front()->parent() != nullptr;
    }
    selection.selectedItems = mainList->SelectedCount();
    selection.clipboardHasFiles = ClipboardHoldsFiles();
    return selection;
}

void TfrmMain::ScheduleActionUpdate()
{
    if (!m_actionUpdate.isActive())
        m_actionUpdate.start();
}

void TfrmMain::UpdateActions()
{
    const ActionStates states = EvaluateActionRules(CurrentSelection());
    actEditAddToCategory->setEnabled(states.addToCategory);
    actEditAddSubcategory->setEnabled(states.addSubcategory);
    actEditRenameCategory->setEnabled(states.renameCategory);
    actEditRenameCategory->setText(QString::fromStdString(states.renameCategoryCaption));
    actEditDeleteCategory->setEnabled(states.deleteCategory);
    actEditDeleteCategory->setText(QString::fromStdString(states.deleteCategoryCaption));
    actEditRemoveFromCategory->setEnabled(states.removeFromCategory);
    actEditDeleteFiles->setEnabled(states.deleteFiles);
    actEditChangeDescription->setEnabled(states.changeDescription);
    actFileExport->setEnabled(states.fileExport);
    actFileSaveToDisk->setEnabled(states.saveToDisk);
    actEditPaste->setEnabled(states.paste);
    actExportCategory->setEnabled(states.exportCategory);
    actFilePrint->setEnabled(states.print);
    Print1->setEnabled(m_itemList->PrintAllowed() && states.print);
    Print2->setEnabled(m_itemList->PrintAllowed() && states.print);
}

} // namespace velmora
