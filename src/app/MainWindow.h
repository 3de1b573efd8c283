#pragma once

#include "app/HandOverTarget.h"
#include "catalogue/DropEffect.h"
#include "catalogue/ItemRows.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/GuiProgress.h"
#include "playback/StreamUrl.h"
#include "store/Library.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace velmora {

class BrowserWindow;
class CategoryTreeView;
class FileImport;
class ItemListView;
class Skin;
class SkinTitleBar;
class TaskbarStandIn;
class TDirMonitor;
class TVideoStreamServ;
struct CategoryNode;
struct ShellSelection;

struct MainWindowOptions {
    // The stream server's port; 0 lets the system choose one (tests running side by side).
    int streamPort = kStreamServerPort;
    // Where questions and messages go; null: the program's message boxes.
    MessageBoxes* boxes = nullptr;
    // The file and folder choosers; null: the desktop's own.
    FileDialogs* fileDialogs = nullptr;
};

// The program's one window: three pages in a borderless skin, the menus and actions
// with their enabling rules, the status line, the window placement, and the lock.
// Creating it runs the start-up sequence, which opens the library; the window is shown
// only after the password gate.
class TfrmMain : public QWidget, public HandOverTarget {
    Q_OBJECT
public:
    explicit TfrmMain(MainWindowOptions options = {});
    ~TfrmMain() override;

    // False when the library could not be opened at creation: the user has been told
    // and the program ends.
    bool LibraryOpened() const { return m_libraryOpened; }
    Library& MainLibrary() { return m_library; }
    MessageBoxes& Boxes() { return *m_boxes; }
    ProgressRoutines& Progress() { return m_progress; }
    FileDialogs& Dialogs() { return *m_fileDialogs; }
    FileImport& Import() { return *m_fileImport; }

    // The password gate's test: accepted as typed (check value in Base64) or in the
    // older raw form. An accepted password first finishes what an interrupted run left
    // (RecoverLibrary), then makes the library's caption the application title.
    bool VerifyPassword(const std::string& password);

    // The application title, which the taskbar shows while the window's own caption is
    // empty.
    static void SetApplicationTitle(const QString& title);

    // Pages: 1 Playing, 2 Library, 3 Settings.
    int CurrentPage() const { return m_currentPage; }
    void SelectPage(int page);
    void ShowPage(int page);

    // Writes the hint into the skin's hint line "statuslabel1".
    void ShowAppHint(const QString& hint);
    // Refreshes the status line of the Library page from the last list fill.
    void updTimerTimer();
    // The enabling rules, evaluated now (they also run whenever the selection or the
    // clipboard changes).
    void UpdateActions();

    // The archive named on the command line, imported at the first activation.
    void SetPendingArchive(const std::string& path) { m_pendingArchive = path; }
    // The windowless start with files to add: the library key comes from the stored
    // copy; without one nothing is added and the reason is shown (and written to
    // standard error).
    // Returns whether the adding ran.
    bool AddCommandLineFiles(const std::vector<std::string>& paths);

    // The start-up gate: the password form, shown modally while the window is still
    // hidden. True when the password was accepted; the window is then to be shown.
    // Hand-overs that arrive meanwhile wait for it, and are dropped on Cancel.
    bool PasswordGate();
    // The lock and the unlock.
    void doFileBoss();
    void ReActivate();
    // From the lock (or the start-up gate) until the password is accepted: hand-overs
    // wait, and bringing the program to the front asks for the password.
    bool Locked() const { return m_locked; }
    TaskbarStandIn* LockStandIn() const { return m_standIn.get(); }

    // Lists the items of the selected tree node.
    void ListSelectedNode();
    // Shows a listing (a tree node's items, a search's finds) with its counters.
    void FillItemList(const ItemListing& listing);

    // HandOverTarget: the running instance's side of a second start.
    void BringToFront() override;
    bool DeleteSourceByDefault() override;
    void AddFileList(const std::vector<std::string>& files, int deleteMode) override;
    void ImportArchive(const std::string& path) override;

    // >>> tree (public)
    // <<< tree (public)
    // >>> list (public)
    // The list's view as the library's options want it: without thumbnails the
    // thumbnail view cannot be chosen; with "thumbnails by default" it is chosen. Runs
    // before the first listing after the password check, and again when the options
    // change.
    void ApplyThumbnailOptions();
    // <<< list (public)
    // >>> preview (public)
    // The preview pane's picture and its error line.
    class TImageAspect* picture = nullptr;
    QLabel* lblErrMessage1 = nullptr;
    // <<< preview (public)
    // >>> ops (public)
    // <<< ops (public)
    // >>> archive (public)
    // <<< archive (public)

    // Skin areas and pages.
    SkinTitleBar* TitleArea = nullptr;
    QStackedWidget* ContentArea = nullptr;
    QFrame* ControlBar = nullptr;
    QWidget* tab1 = nullptr;   // Playing
    QWidget* tab2 = nullptr;   // Library
    QWidget* tab3 = nullptr;   // Settings

    // Playing page.
    QFrame* pnlMoviePlayer = nullptr;
    QFrame* pnlPlaylist2 = nullptr;
    QTreeWidget* playlist = nullptr;

    // Library page.
    QLineEdit* txtTextToFind = nullptr;
    QPushButton* btnFind = nullptr;
    QPushButton* btnViewSlideShow3 = nullptr;
    QToolButton* btnSaveToDisk = nullptr;
    QToolButton* btnImport = nullptr;
    QToolButton* btnAddFiles = nullptr;
    QToolButton* btnPaste = nullptr;
    QToolButton* btnDetails = nullptr;
    QToolButton* btnThumbnails = nullptr;
    CategoryTreeView* mainTree = nullptr;
    ItemListView* mainList = nullptr;
    QFrame* Panel4 = nullptr;
    QLabel* lblnopreview = nullptr;
    QToolButton* btnPrint = nullptr;
    QLabel* lblFileInfo1 = nullptr;
    QLabel* lblFileInfo2 = nullptr;
    QLabel* lblFileInfo3 = nullptr;
    QLabel* lblFileInfo4 = nullptr;
    QLabel* lblFileInfo5 = nullptr;
    QFrame* pnlPlaylist1 = nullptr;
    QSplitter* splTree = nullptr;

    // Bottom bar.
    QFrame* tab2panel = nullptr;
    QFrame* pnlLockdown = nullptr;
    QFrame* pnlMediaCtrls = nullptr;
    QFrame* pnlPlOptions = nullptr;
    QToolButton* spSkinButton1 = nullptr;
    QToolButton* btnFullScreen = nullptr;
    QToolButton* btnPlaylist = nullptr;

    // Actions (mainActions).
    QAction* actFileExit = nullptr;
    QAction* actFileBoss = nullptr;
    QAction* actViewDetails = nullptr;
    QAction* actViewThumbnails = nullptr;
    QAction* actChangePassword = nullptr;
    QAction* actHelpAbout = nullptr;
    QAction* actViewSlideshow = nullptr;
    QAction* actEditAddToCategory = nullptr;
    QAction* actEditAddCategory = nullptr;
    QAction* actEditAddSubcategory = nullptr;
    QAction* actEditRenameCategory = nullptr;
    QAction* actEditDeleteCategory = nullptr;
    QAction* actEditRemoveFromCategory = nullptr;
    QAction* actEditDeleteFiles = nullptr;
    QAction* actEditChangeDescription = nullptr;
    QAction* actFileExport = nullptr;
    QAction* actFileSaveToDisk = nullptr;
    QAction* actFileImport = nullptr;
    QAction* actEditPaste = nullptr;
    QAction* actViewRefresh = nullptr;
    QAction* actExportCategory = nullptr;
    QAction* actFilePrint = nullptr;

    // Menu entries that are not simply an action.
    QAction* NowPlaying1 = nullptr;
    QAction* Library2 = nullptr;
    QAction* Settings1 = nullptr;
    QAction* DeleteSelectedFiles1 = nullptr;
    QAction* SelectAll1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Print2 = nullptr;
    QAction* BossKey1 = nullptr;
    QAction* Repeat1 = nullptr;
    QAction* Repeat2 = nullptr;
    QAction* Shuffle1 = nullptr;
    QAction* Shuffle2 = nullptr;
    QAction* Play1 = nullptr;
    QAction* Pause1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* Mute1 = nullptr;

    QMenu* treePop = nullptr;
    QMenu* listPop = nullptr;
    QMenu* playlistPop = nullptr;
    QMenu* helpPop = nullptr;

signals:
    // The program is to end with this exit code (closing the window, Cancel at the
    // unlock prompt). The entry point ends the message loop on it.
    void EndProgram(int exitCode);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;     // FormShow
    void closeEvent(QCloseEvent* event) override;   // FormCloseQuery, FormClose
    void changeEvent(QEvent* event) override;       // FormActivate
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Layout (MainLayout.cpp).
    void CreateComponents();
    QWidget* CreatePlayingPage();
    QWidget* CreateLibraryPage();
    QWidget* CreateLibraryToolbar();
    QWidget* CreatePreviewPane();
    QWidget* CreateStatusLine();
    QWidget* CreatePlayerStrip();
    QFrame* CreateBottomBar();
    QWidget* CreateHintLine();

    // Actions and menus (MainActions.cpp).
    void CreateActions();
    void CreateMenus();
    QAction* NewAction(const char* name, const QString& caption, const QString& hint,
                       const QKeySequence& shortcut = {});
    QAction* MenuEntry(QAction* action, const QString& caption, const char* name, bool followEnabled = true);
    ShellSelection CurrentSelection() const;
    void ScheduleActionUpdate();

    // Start-up (MainWindow.cpp).
    void FormCreate();
    void FormShow();
    void FormClose();
    void BuildTreeView();
    void AddTreeNodes(QTreeWidgetItem* parent, const std::vector<CategoryNode>& nodes);
    std::optional<int> SelectedNodeId() const;
    void MovePlaylist(QFrame* panel);
    // Shows the password form modally; true when the password was accepted.
    bool RunPasswordForm();
    // The password was accepted: the lock ends and hand-overs that waited run.
    void Unlock();
    void QueueHandOver(std::function<void()> job);
    void RunHandOverJobs();
    void FormActivate();

    // Each part of the Library page creates its widgets and connects its handlers in a
    // file of its own.
    void CreateCategoryTree(QWidget* parent);   // CategoryHandlers.cpp
    void ConnectCategoryHandlers();
    void ConnectItemListHandlers();             // ItemListHandlers.cpp
    void ConnectPreviewHandlers();              // PreviewHandlers.cpp
    void ConnectLibraryOperations();            // LibraryOperations.cpp
    void ConnectArchiveHandlers();              // ArchiveHandlers.cpp
    void ConnectOnlineHandlers();               // OnlineHandlers.cpp

    // >>> tree (private)
    // Category tree (CategoryHandlers.cpp).
    void LoadCategoryChildren(QTreeWidgetItem* node);
    void ShowAddedCategory(const CategoryNode& category);
    void StartNodeEdit(QTreeWidgetItem* node);
    void doAddCategory();
    void doAddSubcategory();
    void doRenameCategory();
    void mainTree1Edited(QTreeWidgetItem* node, const QString& text);
    void DropItemsOnCategory(QTreeWidgetItem* target, bool move);
    void treeFileTargetDrop(QTreeWidgetItem* target, const std::vector<std::string>& paths, DropEffect effect);
    // <<< tree (private)
    // >>> list (private)
    // What a drop of files from outside does on the tree or the list, by the keys held.
    DropEffect FileDropEffectFor(Qt::KeyboardModifiers keys);
    // Item list handlers (ItemListHandlers.cpp).
    void mainList1ColumnClick(int column);
    void mainList1Edited(int recIdent, const QString& description);
    void doChangeDescription();
    void listDropTargetDrop(const std::vector<std::string>& paths, int effect);
    // <<< list (private)
    // >>> preview (private)
    // The list's selection changed (mainList1SelectItem).
    void mainList1SelectItem();
    // Shows item recIdent in the preview pane when it is the one selected item.
    void PreviewItem(int recIdent);
    // Decodes the picture in stream by its upper-case extension into `picture`.
    void ShowPicture(const std::string& extension, Stream& stream);
    // <<< preview (private)
    // >>> ops (private)
    // Library operations on items (LibraryOperations.cpp).
    void addFilesToCurrentCategory();
    void doPaste();
    void doRemoveFromCategory();
    void btnFindNowClick();
    void doSaveToDisk();
    void actFilePrintExecute();
    // Items leave the library in the clear with the preview pane's picture hidden.
    void HidePreviewPicture();
    // <<< ops (private)
    // >>> archive (private)
    // Transfer archives (ArchiveHandlers.cpp).
    void doExportToArchive();
    void actExportCategoryExecute();
    void actFileImportExecute();
    // Exports the items after the save dialog, the name rules and the password; an
    // error is told after the progress window has gone.
    void ExportItems(const std::vector<int>& items, bool selectedItems);
    // rec_ident of every row of the item list, in list order.
    std::vector<int> ListedItems() const;
    // The import itself, for the menu and the archive named at start; a hand-over
    // queues it. Errors that leave nothing to tell pass on to the caller.
    void ImportArchiveNow(const std::string& path);
    // FormActivate's import of the archive named at start.
    void ImportPendingArchive();
    // <<< archive (private)

    // Help, updates and the about box (OnlineHandlers.cpp). The web pages open in the
    // program's browser window, which replaces the one opened before.
    void OnlineHelp1Click();
    void Checkforupdates1Click();
    void actHelpAboutExecute();
    void OpenWebPage(const std::string& address);

    // Handlers.
    void doFileExit();
    void doDeleteFiles();
    void doDeleteCategory();
    void deViewDetails();
    void doViewThumbnails();
    void btnRefreshClick();
    void SelectAll1Click();
    void doChangePassword();
    void ConfirmSaveSettings();
    void SkinMouseDown(const QString& name);
    void SkinMouseUp(const QString& name);

    MainWindowOptions m_options;
    GuiMessageBoxes m_guiBoxes;
    MessageBoxes* m_boxes = nullptr;
    GuiFileDialogs m_guiFileDialogs;
    FileDialogs* m_fileDialogs = nullptr;
    GuiProgress m_progress;
    Library m_library;
    std::unique_ptr<FileImport> m_fileImport;
    std::unique_ptr<TVideoStreamServ> m_streamServer;
    std::unique_ptr<TDirMonitor> m_monitor;
    std::unique_ptr<BrowserWindow> m_browser;   // the browser window opened last
    std::unique_ptr<Skin> m_skin;   // goes before the widgets it is attached to
    std::unique_ptr<TaskbarStandIn> m_standIn;   // a window of its own: the taskbar lists it
    QTimer m_actionUpdate;

    bool m_libraryOpened = false;
    int m_currentPage = 1;
    bool m_treeBuilt = false;
    int m_sortColumn = 0;
    int m_sortDirection = -1;
    ItemCounters m_counts;
    bool m_printAllowed = false;       // a picture is previewed
    bool m_deletingRows = false;       // "Delete Files" is taking rows out: no previews meanwhile
    std::string m_shellMenuText;       // "shellextext"
    bool m_shellExtensionEnabled = true;
    std::string m_pendingArchive;
    bool m_locked = false;
    bool m_unlockPending = false;      // the next activation runs ReActivate
    QPointer<QWidget> m_passwordForm;  // the gate or the unlock prompt while it is open
    bool m_shellExtensionWasActive = false;
    std::deque<std::function<void()>> m_handOverJobs;
    bool m_runningHandOver = false;

    // >>> tree (members)
    // <<< tree (members)
    // >>> list (members)
    bool m_thumbnailOptionsApplied = false;
    // <<< list (members)
    // >>> preview (members)
    // <<< preview (members)
    // >>> ops (members)
    // <<< ops (members)
    // >>> archive (members)
    bool m_importingArchive = false;               // an import runs (its dialogs pump events)
    bool m_pendingArchiveQueued = false;           // FormActivate has queued the pending import
    std::deque<std::string> m_waitingArchives;     // handed over meanwhile, imported after it
    // <<< archive (members)
};

} // namespace velmora
