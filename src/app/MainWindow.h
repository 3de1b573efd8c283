#pragma once

#include "app/HandOverTarget.h"
#include "app/LibraryPageSeam.h"
#include "catalogue/DropEffect.h"
#include "catalogue/ItemRows.h"
#include "dialogs/FileDialogs.h"
#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/GuiProgress.h"
#include "integration/ShellAutomationTarget.h"
#include "playback/NMGeneralServer.h"
#include "playback/PlaylistSeam.h"
#include "playback/StreamUrl.h"
#include "settings/SettingsSeam.h"
#include "store/Library.h"
#include "ui/MessageCollector.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QActionGroup;
class QFrame;
class QImage;
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

class ArchiveHandlers;
class CategoryHandlers;
class ItemListHandlers;
class LibraryOperations;
class MainLock;
class BrowserWindow;
class CategoryTreeView;
class ClockRandom;
class FileImport;
class ItemListSlideshow;
class ItemListView;
class MessageNotices;
class PictureLoader;
class PlayerHost;
class Playlist;
class PlaylistView;
class TfrmPreview;
class PlayerSettingsGroup;
class PlaylistPlayerPort;
class SettingsPage;
class Skin;
class ShellBridge;
class SkinTitleBar;
class TaskbarStandIn;
class TDirMonitor;
class TVideoStreamServ;
struct CategoryNode;
struct ShellSelection;

struct MainWindowOptions {
    // The stream server's port; 0 lets the system choose one (tests running side by side).
    int streamPort = kStreamServerPort;
    // Whether the server listens on a free port when streamPort is taken (tests see a
    // server that cannot listen at all without it).
    bool streamAnyPortIfTaken = true;
    // How long the stream server waits on a silent or stalled player before it drops the
    // connection (tests shorten it to see a paused player reconnect).
    std::chrono::milliseconds streamIdleTimeout = TNMGeneralServer::kIdleTimeout;
    // Where questions and messages go; null: the program's message boxes.
    MessageBoxes* boxes = nullptr;
    // The file and folder choosers; null: the desktop's own.
    FileDialogs* fileDialogs = nullptr;
    // A library that cannot be opened is told in a message box; a start by the bus
    // answers its callers with the reason instead of waiting for the user.
    bool tellOpenFailure = true;
};

// The program's one window: three pages in a borderless skin, the menus and actions
// with their enabling rules, the status line, the window placement, and the lock.
// Creating it runs the start-up sequence, which opens the library; the window is shown
// only after the password gate.
class TfrmMain : public QWidget,
                 public HandOverTarget,
                 public PlaylistSeam,
                 public SettingsSeam,
                 public ShellAutomationTarget,
                 public LibraryPageSeam {
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
    // The file managers' entry: its settings and control window. The Settings page
    // calls its SettingsApplied once it has stored them.
    ShellBridge& ShellExtension() { return *m_shellBridge; }

    // The password gate's test: accepted as typed (check value in Base64) or in the
    // older raw form. An accepted password first finishes what an interrupted run left
    // (RecoverLibrary), then makes the library's caption the application title.
    bool VerifyPassword(const std::string& password);

    // The application title, which the taskbar shows while the window's own caption is
    // empty.
    static void SetApplicationTitle(const QString& title);

    // Pages: 1 Playing, 2 Library, 3 Settings.
    int CurrentPage() const { return m_currentPage; }
    void SelectPage(int page) override;
    void ShowPage(int page);

    // Writes the hint into the skin's hint line "statuslabel1".
    void ShowAppHint(const QString& hint);
    // Refreshes the status line of the Library page from the last list fill.
    void updTimerTimer();
    // The enabling rules, evaluated now (they also run whenever the selection or the
    // clipboard changes).
    void UpdateActions();

    // The archive named on the command line, imported at the first activation.
    void SetPendingArchive(const std::string& path);
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
    bool Locked() const;
    TaskbarStandIn* LockStandIn() const;

    // Lists the items of the selected tree node.
    void ListSelectedNode() override;
    // Shows a listing (a tree node's items, a search's finds) with its counters.
    void FillItemList(const ItemListing& listing);

    // HandOverTarget: the running instance's side of a second start.
    void BringToFront() override;
    bool DeleteSourceByDefault() override;
    void AddFileList(const std::vector<std::string>& files, int deleteMode) override;
    void ImportArchive(const std::string& path) override;
    void RefuseHandOver(const std::string& message) override;

    // ShellAutomationTarget: what the automation object asks. A locked program adds
    // the files once the password is given, and answers at once. What an add could not
    // do is answered as its failure and shown in a box nothing waits on, so the next
    // call goes ahead.
    std::string MenuCaption() override;
    void AddShellFiles(const std::vector<std::string>& paths, AddDone done) override;
    // Handed-over or automation work is queued or running.
    bool HandOverPending() const;
    // The boxes shown without waiting (failed adds for the file managers).
    MessageNotices& Notices() { return *m_notices; }

    // The desktop locks its screen or goes to sleep: an open, unlocked library is
    // locked as by "Lock System"; otherwise nothing happens.
    void SessionLockRequested();

    // The list's view as the library's options want it: without thumbnails the
    // thumbnail view cannot be chosen; with "thumbnails by default" it is chosen. Runs
    // before the first listing after the password check, and again when the options
    // change.
    void ApplyThumbnailOptions();

    // The preview pane's picture and its error line.
    class TImageAspect* picture = nullptr;
    QLabel* lblErrMessage1 = nullptr;

    // The media player host of the Playing page (PlayerHandlers.cpp).
    PlayerHost& Player() { return *m_player; }
    const TVideoStreamServ& StreamServer() const { return *m_streamServer; }
    void SetPlayerVersion(int version);
    bool CreatePlayer();
    void OpenMediaItem(int ident);
    void StopAndClearPlayer();
    void SetFullScreen(bool on);
    // PlaylistSeam: the play list (PlaylistHandlers.cpp).
    bool PlaylistActive() const override;
    void PlayPlaylist() override;
    void PlayNextItem() override;
    void PlayPreviousItem() override;
    // The Settings page's player choice.
    PlayerSettingsGroup* playerSettings = nullptr;
    // The play list (PlaylistHandlers.cpp): its entries and rules live in Playlist,
    // drawn by `playlist`; these are the operations other parts call.
    Playlist& PlayList() { return *m_playlist; }
    // Adds a copy of the item list's row after the entry at position (< 0: appends);
    // with the legacy player pictures are left out. False when it was left out.
    bool AddToPlaylist(int listRow, int position);
    void SetCurrentPlaylistIndex(int index);
    void SetPlaylistActive(bool active);
    void PlayCurrentItem();
    void PlayRandomItem();
    void ResetPlayedMarks();
    void RemoveSelectedPlaylistItem();
    void AddFilestoPlayList1Click();
    void PlayListDropTargetDrop(int dropIndex);   // rows of the item list dropped
    void playlistDblClick();
    void RemoveItem1Click();
    void ClearAll1Click();
    void Repeat1Click();
    void Shuffle1Click();
    // Sets the Repeat and Shuffle switches and their menu check marks (start-up and
    // the Settings page).
    void ShowPlaylistSwitches(bool repeat, bool shuffle);
    // The slideshow (SlideshowHandlers.cpp).
    TfrmPreview& frmPreview() { return *m_preview; }
    void doViewSlideshow();
    // A double click (or Enter) in the item list on that row.
    void mainList1DblClick(int row);
    void pictureDblClick();
    // The picture control goes back to the preview pane and the slideshow window
    // hides, if it was showing (the lock, adding files, a non-picture previewed).
    void WithdrawSlideshow();


    // The Settings page (SettingsHandlers.cpp). The running program uses the switches
    // that loading and applying the page set (the play list's PlaylistRepeat and
    // PlaylistShuffle, the slideshow window's SlideshowCycle and SlideshowHideControls),
    // not the page's controls.
    SettingsPage* settingsPage = nullptr;
    void LoadSettings();
    void SaveSettings();
    void SetSettingsChanged(bool changed);
    void ConfirmSaveSettings();
    void ShowSettingsPage(int page);
    // The Repeat and Shuffle menu entries and the slideshow's start/stop control: the
    // switch changes for the running program, is stored at once, and its check box on
    // the Settings page follows (leaving the page clean).
    void SetPlaylistRepeat(bool on);
    void SetPlaylistShuffle(bool on);
    void SetSlideshowCycle(bool on);
    // SettingsSeam.
    void ApplyUserSettings(const UserSettings& settings) override;
    void ApplyLibraryOptions(const LibraryOptions& options) override;
    // The thumbnail switch as the Settings page applies it: off disables "View
    // Thumbnails" and shows the details; on enables it again.
    void ApplyThumbnailSwitch(bool enabled);
    // The shell extension's menu text and switch as the program runs with them.
    const std::string& ShellMenuText() const;
    bool ShellExtensionEnabled() const;
    TDirMonitor& Monitor() { return *m_monitor; }

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
    PlaylistView* playlist = nullptr;

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
    void ScheduleActionUpdate() override;

    // Start-up (MainWindow.cpp).
    void FormCreate();
    void FormShow();
    void FormClose();
    std::optional<int> SelectedNodeId() const override;
    void MovePlaylist(QFrame* panel);
    bool RunPasswordForm();
    void QueueHandOver(std::function<void()> job);
    // AddFileList for the node selected now, the progress window centred on the screen
    // while the window is not shown; then the list is filled again.
    void AddFileListNow(const std::vector<std::string>& files, bool applyShellOption, bool fromShell, int mode);

    // Each part of the Library page creates its widgets and connects its handlers in a
    // file of its own.
    void ConnectOnlineHandlers();               // OnlineHandlers.cpp

    // Item list handlers (ItemListHandlers.cpp).


    // Items leave the library in the clear with the preview pane's picture hidden and
    // the play list and the player stopped.
    void HidePreviewPicture();

    void ConnectPlayerHandlers();               // PlayerHandlers.cpp
    void LoadPlayerSettings();
    void LockPlayer();
    void ConnectPlaylistHandlers();             // PlaylistHandlers.cpp
    // Switches the play list off and the player out of sight before items leave the
    // library in the clear.
    void StopPlaylistForOperation();
    void ConnectSlideshowHandlers();            // SlideshowHandlers.cpp
    void ReturnPictureToPane();
    // Double clicks on the preview pane and Enter in the item list; true when taken.
    bool SlideshowEvent(QObject* watched, QEvent* event);

    // Help, updates and the about box (OnlineHandlers.cpp). The web pages open in the
    // program's browser window, which replaces the one opened before.
    void OnlineHelp1Click();
    void Checkforupdates1Click();
    void actHelpAboutExecute();
    void OpenWebPage(const std::string& address);

    // Handlers.
    void doFileExit();
    void doChangePassword();
    void CreateSettingsPage();
    // The directory monitor added an item (from its thread, queued).
    void MonitoredItemAdded();
    void SkinMouseDown(const QString& name);
    void SkinMouseUp(const QString& name);

    MainWindowOptions m_options;
    GuiMessageBoxes m_guiBoxes;
    MessageBoxes* m_boxes = nullptr;
    GuiFileDialogs m_guiFileDialogs;
    FileDialogs* m_fileDialogs = nullptr;
    GuiProgress m_progress;
    Library m_library;
    MessageCollector m_addMessages;   // the adds' messages, kept while a file manager's add runs
    std::unique_ptr<MessageNotices> m_notices;
    std::unique_ptr<FileImport> m_fileImport;
    std::unique_ptr<TVideoStreamServ> m_streamServer;
    std::unique_ptr<TDirMonitor> m_monitor;
    std::unique_ptr<BrowserWindow> m_browser;   // the browser window opened last
    std::unique_ptr<Skin> m_skin;   // goes before the widgets it is attached to
    QTimer m_actionUpdate;

    bool m_libraryOpened = false;
    std::string m_openFailure;   // why the library could not be opened
    int m_currentPage = 1;
    std::unique_ptr<ShellBridge> m_shellBridge;
    std::unique_ptr<MainLock> m_lock;   // after the bridge it tells

    std::unique_ptr<PlayerHost> m_player;
    std::unique_ptr<PlaylistPlayerPort> m_playlistPlayer;
    std::unique_ptr<ClockRandom> m_random;
    std::unique_ptr<Playlist> m_playlist;   // after what it uses
    std::unique_ptr<ItemListSlideshow> m_slideshowList;
    std::unique_ptr<TfrmPreview> m_preview;

    std::unique_ptr<CategoryHandlers> m_categories;
    std::unique_ptr<LibraryOperations> m_operations;
    std::unique_ptr<ItemListHandlers> m_itemList;
    std::unique_ptr<ArchiveHandlers> m_archives;
};

} // namespace velmora
