#include "app/MainWindow.h"

#include "app/ArchiveHandlers.h"
#include "app/CategoryHandlers.h"
#include "app/ItemListSlideshow.h"
#include "app/ItemListHandlers.h"
#include "app/LibraryOperations.h"
#include "app/MainLock.h"
#include "app/PlaylistPlayerPort.h"
#include "playback/PictureLoader.h"
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/Preview.h"
#include "playback/RandomSource.h"

#include "app/ActionRules.h"
#include "app/ItemListView.h"
#include "app/LogCategories.h"
#include "app/SkinTitleBar.h"
#include "app/StatusLine.h"
#include "app/TaskbarStandIn.h"
#include "app/WindowPlacement.h"
#include "catalogue/Categories.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/FileImport.h"
#include "catalogue/LibraryRecovery.h"
#include "dialogs/ApplicationTitle.h"
#include "dialogs/ChangePassword.h"
#include "dialogs/MessageNotices.h"
#include "integration/BrowserWindow.h"
#include "integration/DirMonitor.h"
#include "integration/MonitorSettings.h"
#include "integration/ShellBridge.h"
#include "platform/SettingsStore.h"
#include "platform/Skin.h"
#include "playback/ImageAspect.h"
#include "playback/PlayerHost.h"
#include "playback/VideoStreamServ.h"
#include "store/Cryptography.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/RecoveryCopy.h"
#include "settings/LibraryOptions.h"
#include "settings/RegistryValues.h"
#include "settings/SettingsModel.h"
#include "settings/SettingsPage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusTipEvent>
#include <QToolButton>
#include <QTreeWidget>

#include <iostream>

namespace velmora {

namespace {

constexpr const char* kDatabaseOpenError = "Unable to connect to Velmora Database.";
constexpr const char* kShellAddsSwitchedOff =
    "Adding files from the file manager is switched off in Velmora's settings "
    "(\"Enable Velmora shell extension whilst program is running\"), so nothing was added.";

// One box for everything an add had to say, the first messages in full.
std::string JoinMessages(const std::vector<MessageCollector::Message>& messages)
{
    constexpr std::size_t kShownInFull = 10;
    std::string text;
    for (std::size_t i = 0; i < messages.size() && i < kShownInFull; ++i)
        text += (i == 0 ? "" : "\r\n\r\n") + messages[i].text;
    if (messages.size() > kShownInFull)
        text += "\r\n\r\n(" + std::to_string(messages.size() - kShownInFull) + " more messages like these)";
    return text;
}

QString PageButtonName(int page)
{
    return QStringLiteral("tab%1").arg(page);
}

} // namespace

TfrmMain::TfrmMain(MainWindowOptions options)
    : QWidget(nullptr)
    , m_options(options)
    , m_guiBoxes(this)
    , m_boxes(options.boxes != nullptr ? options.boxes : &m_guiBoxes)
    , m_fileDialogs(options.fileDialogs != nullptr ? options.fileDialogs : &m_guiFileDialogs)
    , m_progress(this, *m_boxes)
    , m_addMessages(*m_boxes)
    , m_notices(std::make_unique<MessageNotices>())
    , m_fileImport(std::make_unique<FileImport>(m_library, m_progress, m_addMessages))
{
    CreateActions();
    CreateComponents();
    CreateMenus();
    m_categories = std::make_unique<CategoryHandlers>(CategoryHandlersParts{
        actEditAddCategory, actEditAddSubcategory, actEditRenameCategory, actEditDeleteCategory, mainTree, mainList,
        &m_library, m_boxes, m_fileImport.get(), this});
    m_itemList = std::make_unique<ItemListHandlers>(ItemListHandlersParts{
        mainList, actViewDetails, actViewThumbnails, actViewRefresh, actViewSlideshow, actEditChangeDescription,
        actFileSaveToDisk, SelectAll1, Print1, Print2, btnViewSlideShow3, lblFileInfo1, lblFileInfo3, lblFileInfo4,
        lblFileInfo5, picture, lblnopreview, lblErrMessage1, btnPrint, &m_library, &m_progress, m_fileImport.get(),
        this, [this] { return m_libraryOpened; }, [this] { return m_operations->DeletingRows(); },
        [this] { UpdateActions(); }, [this] { WithdrawSlideshow(); },
        [this] {
            if (m_preview->isVisible())
                m_preview->ShowInfo();
        }});
    m_operations = std::make_unique<LibraryOperations>(LibraryOperationsParts{
        this, actEditAddToCategory, actEditPaste, actEditRemoveFromCategory, actEditDeleteFiles, actFileSaveToDisk,
        actFilePrint, btnFind, txtTextToFind, mainTree, mainList, &m_library, m_boxes, m_fileDialogs, &m_progress,
        m_fileImport.get(), this, [this](const ItemListing& listing) { FillItemList(listing); },
        [this] { m_itemList->ClearPreviewPane(); }, [this] { HidePreviewPicture(); }});
    m_archives = std::make_unique<ArchiveHandlers>(ArchiveHandlersParts{
        this, actFileExport, actExportCategory, actFileImport, mainList, &m_library, m_boxes, m_fileDialogs,
        &m_progress, m_fileImport.get(), this, [this](std::function<void()> job) { QueueHandOver(std::move(job)); }});
    CreateSettingsPage();
    ConnectOnlineHandlers();

    m_skin = std::make_unique<Skin>(this);
    connect(m_skin.get(), &Skin::MouseDown, this, &TfrmMain::SkinMouseDown);
    connect(m_skin.get(), &Skin::MouseUp, this, &TfrmMain::SkinMouseUp);
    // The keyboard reaches the page buttons without a mouse press.
    for (int page = 1; page <= 3; ++page)
        connect(TitleArea->PageButton(page), &QPushButton::clicked, this, [this, page] { SelectPage(page); });
    connect(TitleArea->HelpButton(), &QToolButton::clicked, this, [this] {
        if (!helpPop->isVisible())
            SkinMouseDown(QStringLiteral("helpbutton"));
    });
    // After the menu is gone, where the mouse really is.
    connect(helpPop, &QMenu::aboutToHide, TitleArea, &SkinTitleBar::HelpMenuClosed, Qt::QueuedConnection);

    // No caption of its own: the window and the taskbar show the application title.
    ApplicationTitle::Follow(*this);


    m_actionUpdate.setSingleShot(true);
    m_actionUpdate.setInterval(0);
    connect(&m_actionUpdate, &QTimer::timeout, this, &TfrmMain::UpdateActions);
    connect(mainTree, &QTreeWidget::itemSelectionChanged, this, [this] {
        ListSelectedNode();
        ScheduleActionUpdate();
    });
    connect(mainList, &ItemListView::SelectionChanged, this, &TfrmMain::ScheduleActionUpdate);
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TfrmMain::ScheduleActionUpdate);

    // The switch applies to the library opened behind the password, not to a windowless start.
    m_fileImport->SetShellExtensionEnabled([this] { return !m_shellBridge->RefusesAdds(); });
    m_fileImport->SetPasswordPrompt([this] { return RunPasswordForm(); });

    // The stream server is one of the window's components: it listens before the
    // start-up sequence runs.
    m_streamServer = std::make_unique<TVideoStreamServ>();
    m_streamServer->Port = m_options.streamPort;
    m_streamServer->AnyPortIfTaken = m_options.streamAnyPortIfTaken;
    m_streamServer->IdleTimeout = m_options.streamIdleTimeout;
    m_streamServer->Listen();
    ConnectPlayerHandlers();
    ConnectPlaylistHandlers();
    ConnectSlideshowHandlers();

    FormCreate();
    UpdateActions();
}

TfrmMain::~TfrmMain()
{
    // The play list's timer and the slideshow window go before the player they use;
    // the picture control the slideshow may hold goes back to its pane first.
    m_itemList->StopPictureLoader();
    m_playlist.reset();
    ReturnPictureToPane();
    m_preview.reset();
    // The player lets go of its stream and its windows first.
    m_player.reset();
    // The skin detaches from its objects while they all still exist.
    m_skin.reset();
    // The monitor's and the server's threads end before anything they report to goes.
    m_monitor.reset();
    m_streamServer.reset();
}

void TfrmMain::FormCreate()
{
    // Items the monitor adds are listed at once when "<Unclassified>" is shown.
    m_monitor = std::make_unique<TDirMonitor>(TDirMonitor::kScanInterval, [this](const ScanReport& report) {
        if (!report.imported.empty())
            QMetaObject::invokeMethod(this, &TfrmMain::MonitoredItemAdded, Qt::QueuedConnection);
    });
    // "shellextext" and "shellextenb", read again whenever the Settings page applies.
    m_shellBridge = std::make_unique<ShellBridge>();
    connect(settingsPage, &SettingsPage::SettingsApplied, m_shellBridge.get(), &ShellBridge::SettingsApplied);
    m_lock = std::make_unique<MainLock>(MainLockParts{
        this, &m_library, m_boxes, &m_progress, m_shellBridge.get(),
        [this](const std::string& password) { return VerifyPassword(password); }, [this] { WithdrawSlideshow(); },
        [this] { LockPlayer(); }, [this](int exitCode) { emit EndProgram(exitCode); }});
    {
        SettingsStore store;
        const MonitorSettings monitor = MonitorSettings::Read(store);
        m_monitor->SetDirectory(monitor.directory);
        m_monitor->SetEnabled(monitor.enabled);
        registry::kAppPath.Write(store, GetAppDir());
    }
    settingsPage->SetModel(std::make_unique<SettingsModel>(m_library.MainConnection(), *m_monitor));

    tab2panel->hide();
    m_skin->ShowButtonPressed(PageButtonName(1));
    m_skin->SetTrackBarValue(QStringLiteral("volumizer"), 50);
    m_skin->SetTrackBarValue(QStringLiteral("progressbar"), 0);
    for (QWidget* panel : {static_cast<QWidget*>(pnlPlOptions), static_cast<QWidget*>(pnlMediaCtrls),
                           static_cast<QWidget*>(tab2panel), static_cast<QWidget*>(pnlLockdown)})
        panel->show();

    playlist->setFocus();   // the Playing page's first control, rather than a page button

    try {
        m_library.Open();
        m_libraryOpened = true;
    } catch (const std::exception& failure) {
        // The second line names the file and the reason, which is what the user can act on;
        // also on standard error, for a start from a terminal or a script.
        m_openFailure = std::string(kDatabaseOpenError) + "\r\n" + failure.what();
        std::cerr << "velmora: " << kDatabaseOpenError << ' ' << failure.what() << '\n';
        if (m_options.tellOpenFailure)
            m_boxes->ShowMessageBox(m_openFailure, mb::kIconError);
        return;
    }
    LoadPlayerSettings();
    LoadSettings();
    CreatePlayer();
    // The file association comes with the desktop integration.
}

bool TfrmMain::VerifyPassword(const std::string& password)
{
    if (!m_library.VerifyPassword(password, true) && !m_library.VerifyPassword(password, false))
        return false;
    RecoverLibrary(m_library, m_progress, *m_boxes);
    SetApplicationTitle(QString::fromStdString(m_library.Caption()));
    try {
        picture->SetScalePast100(LibraryOptions::Read(m_library.MainConnection()).scalePast100);
    } catch (const std::exception&) {
        // Pictures keep their natural size at most.
    }
    return true;
}

void TfrmMain::SetApplicationTitle(const QString& title)
{
    ApplicationTitle::Set(title);
}

// ---- showing, activation, closing ----

void TfrmMain::showEvent(QShowEvent* event)
{
    // Restoring from the taskbar shows the window again without it ever being hidden.
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void TfrmMain::FormShow()
{
    if (m_libraryOpened)
        m_categories->BuildTreeOnce();
    m_monitor->ResumeIfEnabled();

    const WindowPlacement placement = WindowPlacement::Read(SettingsStore());
    setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    move(placement.left, placement.top);
    resize(placement.width, placement.height);
    if (placement.maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void TfrmMain::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        m_archives->WindowActivated();
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    ConfirmSaveSettings();   // FormCloseQuery never refuses the close
    FormClose();
    event->accept();
}

void TfrmMain::FormClose()
{
    const QRect normal = isMaximized() || isFullScreen() ? normalGeometry() : geometry();
    WindowPlacement placement;
    placement.top = normal.top();
    placement.left = normal.left();
    placement.width = normal.width();
    placement.height = normal.height();
    placement.maximized = isMaximized();
    try {
        SettingsStore store;
        placement.Write(store);
        store.Flush();
    } catch (const std::exception&) {
        // A settings file that cannot be written must not keep the program running.
    }
    emit EndProgram(0);
}

void TfrmMain::doFileExit()
{
    close();
}

// ---- hints ----

bool TfrmMain::event(QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        ShowAppHint(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QWidget::event(event);
}

void TfrmMain::HidePreviewPicture()
{
    // Stays hidden until another row is selected.
    picture->hide();
    StopPlaylistForOperation();
    actViewSlideshow->setEnabled(false);
}

void TfrmMain::ListSelectedNode()
{
    m_itemList->ListSelectedNode();
}

void TfrmMain::FillItemList(const ItemListing& listing)
{
    m_itemList->FillItemList(listing);
}

void TfrmMain::updTimerTimer()
{
    m_itemList->updTimerTimer();
}

void TfrmMain::ApplyThumbnailOptions()
{
    m_itemList->ApplyThumbnailOptions();
}

void TfrmMain::ApplyThumbnailSwitch(bool enabled)
{
    m_itemList->ApplyThumbnailSwitch(enabled);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (SlideshowEvent(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::ShowAppHint(const QString& hint)
{
    m_skin->SetLabelText(QStringLiteral("statuslabel1"), QLatin1Char(' ') + hint + QStringLiteral("   "));
}

// ---- pages ----

void TfrmMain::SelectPage(int page)
{
    if (page >= 1 && page <= 3 && page != m_currentPage) {
        ShowPage(page);
        m_skin->ShowButtonPressed(PageButtonName(page));
    }
    update();
}

void TfrmMain::ShowPage(int page)
{
    QWidget* const pages[3] = {tab1, tab2, tab3};
    if (page < 1 || page > 3)
        return;
    ContentArea->setCurrentWidget(pages[page - 1]);
    NowPlaying1->setChecked(page == 1);
    Library2->setChecked(page == 2);
    Settings1->setChecked(page == 3);
    pnlPlOptions->setVisible(page == 1 || page == 2);
    pnlMediaCtrls->setVisible(page == 1);
    if (page == 1)
        MovePlaylist(pnlPlaylist2);
    else if (page == 2)
        MovePlaylist(pnlPlaylist1);
    playlist->SetHintShown(page == 2);
    m_currentPage = page;
}

void TfrmMain::MovePlaylist(QFrame* panel)
{
    if (playlist->parentWidget() == panel)
        return;
    // The drop target is the control itself: it goes with it.
    panel->layout()->addWidget(playlist);
    playlist->show();
}

void TfrmMain::SkinMouseDown(const QString& name)
{
    if (name == QLatin1String("tab1"))
        ShowPage(1);
    else if (name == QLatin1String("tab2"))
        ShowPage(2);
    else if (name == QLatin1String("tab3"))
        ShowPage(3);
    else if (name == QLatin1String("helpbutton"))
        helpPop->popup(QPoint(x() + width() - 195, y() + 43));
}

void TfrmMain::SkinMouseUp(const QString& name)
{
    if (name == QLatin1String("tab1") || name == QLatin1String("tab2")) {
        ConfirmSaveSettings();
        // The question takes the focus from the button under the mouse, which then
        // ignores its release and never shows itself pressed: the page shown says
        // which one is.
        m_skin->ShowButtonPressed(PageButtonName(m_currentPage));
    }
}

void TfrmMain::doChangePassword()
{
    doChangePass(this, m_library, *m_boxes, m_progress);
}

// ---- the running instance's side of a hand-over ----

void TfrmMain::BringToFront()
{
    m_lock->BringToFront();
}

bool TfrmMain::PasswordGate()
{
    return m_lock->PasswordGate();
}

bool TfrmMain::RunPasswordForm()
{
    return m_lock->RunPasswordForm();
}

void TfrmMain::doFileBoss()
{
    m_lock->doFileBoss();
}

void TfrmMain::ReActivate()
{
    m_lock->ReActivate();
}

bool TfrmMain::Locked() const
{
    return m_lock->Locked();
}

TaskbarStandIn* TfrmMain::LockStandIn() const
{
    return m_lock->StandIn();
}

bool TfrmMain::HandOverPending() const
{
    return m_lock->HandOverPending();
}

void TfrmMain::QueueHandOver(std::function<void()> job)
{
    m_lock->QueueHandOver(std::move(job));
}

std::optional<int> TfrmMain::SelectedNodeId() const
{
    return m_categories->SelectedNodeId();
}

void TfrmMain::SetPendingArchive(const std::string& path)
{
    m_archives->SetPendingArchive(path);
}

void TfrmMain::ImportArchive(const std::string& path)
{
    m_archives->ImportArchive(path);
}

bool TfrmMain::DeleteSourceByDefault()
{
    return m_fileImport->DeleteSourceByDefault();
}

void TfrmMain::AddFileList(const std::vector<std::string>& files, int deleteMode)
{
    QueueHandOver([this, files, deleteMode] {
        for (const std::string& file : files)
            qCDebug(lcHandOver, "add %s", file.c_str());
        AddFileListNow(files, false, false, deleteMode);
    });
}

void TfrmMain::RefuseHandOver(const std::string& message)
{
    // Like every hand-over, told only once the password is given: it names libraries.
    QueueHandOver([this, message] {
        qCDebug(lcHandOver, "refused: %s", message.c_str());
        m_boxes->ShowMessageBox(message, mb::kIconWarning);
    });
}

void TfrmMain::AddFileListNow(const std::vector<std::string>& files, bool applyShellOption, bool fromShell, int mode)
{
    if (!isVisible()) {
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
        m_fileImport->SetScreenArea({area.left(), area.top(), area.width(), area.height()});
    }
    m_fileImport->AddFileList(SelectedNodeId().value_or(kUnclassifiedId), files, applyShellOption, fromShell, mode);
    if (m_categories->TreeBuilt())
        ListSelectedNode();
}

std::string TfrmMain::MenuCaption()
{
    return m_shellBridge->MenuText();
}

void TfrmMain::AddShellFiles(const std::vector<std::string>& paths, AddDone done)
{
    if (!m_libraryOpened)
        throw ShellAddRefused(ShellAddRefused::Reason::LibraryUnavailable, m_openFailure);
    if (m_shellBridge->RefusesAdds())
        throw ShellAddRefused(ShellAddRefused::Reason::Disabled, kShellAddsSwitchedOff);
    const auto add = [this, paths] {
        for (const std::string& path : paths)
            qCDebug(lcHandOver, "shell add %s", path.c_str());
        AddFileListNow(paths, true, true, kKeepSources);
    };
    if (m_lock->Locked()) {
        // Kept for the password like a hand-over; the caller is not held up until then.
        QueueHandOver(add);
        done(std::nullopt);
        return;
    }
    QueueHandOver([this, add, done] {
        std::vector<MessageCollector::Message> told;
        {
            const MessageCollector::Collection collected(m_addMessages);
            add();
            told = collected.Messages();
        }
        if (told.empty()) {
            done(std::nullopt);
            return;
        }
        const std::string text = JoinMessages(told);
        // The caller hears of it at once; the box waits for the user while further
        // calls go ahead.
        done(text);
        m_notices->Show(text, told.front().flags, this);
    });
}

void TfrmMain::SessionLockRequested()
{
    // Only an open library in a shown window: not at the gate, not while locked, not
    // in the windowless modes.
    if (m_lock->Locked() || !isVisible())
        return;
    qCDebug(lcHandOver, "session lock");
    doFileBoss();
}


bool TfrmMain::AddCommandLineFiles(const std::vector<std::string>& paths)
{
    const bool loaded = m_library.LoadStoredPassword();
    bool keepsCopy = true;
    try {
        keepsCopy = KeepsRecoveryCopy(m_library.MainConnection());
    } catch (const std::exception&) {
        // Unreadable options: told below like a copy that does not open the library.
    }
    if (!loaded && !keepsCopy) {
        // The user chose to keep no copy of the password: it is asked for, as at the
        // start; Cancel adds nothing.
        if (!RunPasswordForm())
            return false;
    } else {
        const std::string key = LibraryPassword();
        if (!loaded || key.empty() || key == TCryptography::kDefaultKey) {
            // Also for a start from a desktop, where nobody reads standard error.
            std::cerr << "velmora: " << kNoLibraryKeyMessage << '\n';
            m_boxes->ShowMessageBox(kNoLibraryKeyMessage, mb::kIconError);
            return false;
        }
    }
    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
    m_fileImport->SetScreenArea({screen.left(), screen.top(), screen.width(), screen.height()});
    m_fileImport->AddCommandLineFiles(paths);
    return true;
}

} // namespace velmora
