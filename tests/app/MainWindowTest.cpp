// The main window over a real library in a temporary folder, with the settings in a
// temporary configuration folder: pages, status line, placement, actions, Del, lock.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "app/TaskbarStandIn.h"
#include "dialogs/ApplicationTitle.h"
#include "catalogue/CategoryTreeView.h"
#include "catalogue/Categories.h"
#include "dialogs/PasswordForm.h"
#include "platform/SettingsStore.h"
#include "store/AddItemOnThread.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"

#include "dialogs/DialogTestDoubles.h"
#include "support/LibraryFixture.h"
#include "app/MainWindowSession.h"

#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>
#include <QtTest/QtTest>

#include <functional>
#include <memory>

using namespace velmora;
using velmora::test::RecordingMessageBoxes;
using velmora::test::Session;
using velmora::test::FindNode;
using velmora::test::kPassword;
using velmora::test::WhenPasswordPromptOpens;

namespace {

// Counts the times a widget is given another parent.
class ParentChanges : public QObject {
public:
    explicit ParentChanges(QWidget* watched) { watched->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::ParentChange)
            ++count;
        return false;
    }
};

// Keeps the debug lines of one logging category.
class LogCapture {
public:
    explicit LogCapture(const char* category) : m_category(category)
    {
        s_current = this;
        QLoggingCategory::setFilterRules(QStringLiteral("%1.debug=true").arg(QLatin1String(category)));
        m_previous = qInstallMessageHandler(&LogCapture::Handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
        s_current = nullptr;
    }
    QStringList lines;

private:
    static void Handle(QtMsgType, const QMessageLogContext& context, const QString& message)
    {
        if (s_current && context.category && QLatin1String(context.category) == QLatin1String(s_current->m_category))
            s_current->lines << message;
    }
    static inline LogCapture* s_current = nullptr;
    const char* m_category;
    QtMessageHandler m_previous = nullptr;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void libraryThatCannotBeOpenedIsReported();
    void startsOnThePlayingPageWithTheSkinObjects();
    void pageSwitchingMovesThePlayListOnlyWhenThePageChanges();
    void statusLineTexts_data();
    void statusLineTexts();
    void hintsGoToTheHintLine();
    void placementDefaultsAndPersistence();
    void maximisedPlacementKeepsTheRestoredRectangle();
    void actionCaptionsHintsAndShortcuts_data();
    void actionCaptionsHintsAndShortcuts();
    void enablingRulesFollowTheSelection();
    void pasteFollowsTheClipboard();
    void delGoesToTheListOrTheTree();
    void lockThenUnlockWithTheRightPassword();
    void cancelAtTheUnlockPromptEndsTheProgram();
};

void MainWindowTest::libraryThatCannotBeOpenedIsReported()
{
    Session session;
    QTemporaryDir empty;
    SetDataDir(empty.path().toStdString());
    MainWindowOptions options;
    options.streamPort = 0;
    options.boxes = &session.boxes;
    TfrmMain main(options);
    QVERIFY(!main.LibraryOpened());
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    const auto& message = session.boxes.messages.front();
    QCOMPARE(message.flags, 16);   // error icon, OK button
    const QStringList lines = QString::fromStdString(message.text).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Unable to connect to Velmora Database."));
    QVERIFY2(lines[1].contains(empty.filePath(QStringLiteral("tndb.mdb"))), qPrintable(lines[1]));
    QVERIFY2(lines[1].contains(QStringLiteral("No such file")), qPrintable(lines[1]));
}

void MainWindowTest::startsOnThePlayingPageWithTheSkinObjects()
{
    Session session;
    TfrmMain& main = session.Open();
    QCOMPARE(main.CurrentPage(), 1);
    QVERIFY(main.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(main.minimumSize(), QSize(710, 480));

    auto* volume = main.findChild<QSlider*>(QStringLiteral("volumizer"));
    auto* position = main.findChild<QSlider*>(QStringLiteral("progressbar"));
    QVERIFY(volume && position);
    QCOMPARE(volume->maximum(), 100);
    QCOMPARE(volume->value(), 50);
    QCOMPARE(position->maximum(), 10000);
    QCOMPARE(position->value(), 0);
    for (const char* name : {"helpbutton", "playbutton", "pausebutton", "stopbutton", "nextbutton", "backbutton",
                             "muteswitch"})
        QVERIFY2(main.findChild<QAbstractButton*>(QLatin1String(name)), name);
    for (const char* name : {"statuslabel1", "statuslabel2", "statuslabel3"})
        QVERIFY2(main.findChild<QLabel*>(QLatin1String(name)), name);
    QVERIFY(main.findChild<QPushButton*>(QStringLiteral("tab1"))->isChecked());
    QCOMPARE(main.lblFileInfo1->text(), QStringLiteral(" 0 Items"));
    QCOMPARE(main.playlist->parentWidget(), main.pnlPlaylist2);
    QCOMPARE(main.ContentArea->currentWidget(), main.tab1);
    QVERIFY(main.NowPlaying1->isChecked());
    // "Repeat" follows the stored play-list switch, off for a new user.
    QVERIFY(!main.Repeat2->isChecked());
    QVERIFY(main.actViewDetails->isChecked());
    QVERIFY(!main.actEditPaste->isEnabled());
}

void MainWindowTest::pageSwitchingMovesThePlayListOnlyWhenThePageChanges()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    ParentChanges moves(main.playlist);
    const auto checks = [&main] {
        return QList<bool>{main.NowPlaying1->isChecked(), main.Library2->isChecked(), main.Settings1->isChecked()};
    };

    main.SelectPage(2);
    QCOMPARE(main.CurrentPage(), 2);
    QVERIFY(main.tab2->isVisible() && !main.tab1->isVisible() && !main.tab3->isVisible());
    QCOMPARE(checks(), (QList<bool>{false, true, false}));
    QCOMPARE(main.playlist->parentWidget(), main.pnlPlaylist1);
    QVERIFY(main.playlist->isVisible());
    QVERIFY(main.pnlPlOptions->isVisible());
    QVERIFY(!main.pnlMediaCtrls->isVisible());
    QVERIFY(main.findChild<QPushButton*>(QStringLiteral("tab2"))->isChecked());
    QCOMPARE(moves.count, 1);

    main.SelectPage(2);   // already shown: only repaints
    QCOMPARE(moves.count, 1);

    main.SelectPage(3);   // the Settings page leaves the play list where it is
    QVERIFY(main.tab3->isVisible() && !main.tab2->isVisible());
    QCOMPARE(checks(), (QList<bool>{false, false, true}));
    QCOMPARE(main.playlist->parentWidget(), main.pnlPlaylist1);
    QVERIFY(!main.pnlPlOptions->isVisible());
    QVERIFY(!main.pnlMediaCtrls->isVisible());
    QCOMPARE(moves.count, 1);

    main.SelectPage(0);   // no such page
    main.SelectPage(4);
    QCOMPARE(main.CurrentPage(), 3);

    // The menu entry and the skin's page button.
    main.NowPlaying1->trigger();
    QCOMPARE(main.CurrentPage(), 1);
    QCOMPARE(checks(), (QList<bool>{true, false, false}));
    QCOMPARE(main.playlist->parentWidget(), main.pnlPlaylist2);
    QVERIFY(main.pnlMediaCtrls->isVisible() && main.pnlPlOptions->isVisible());
    QCOMPARE(moves.count, 2);

    QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("tab2")), Qt::LeftButton);
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(main.playlist->parentWidget(), main.pnlPlaylist1);
    QCOMPARE(moves.count, 3);
}

void MainWindowTest::statusLineTexts_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("labels");   // lblFileInfo1, 3, 4, 5
    QTest::addColumn<bool>("slideshow");

    QTest::newRow("empty") << QStringList{} << QStringList{"0 Items", "0 movies", "0 audio", "0 images"} << false;
    QTest::newRow("one movie") << QStringList{"clip.mpg"} << QStringList{"1 Item", "1 movie", "0 audio", "0 images"}
                               << false;
    QTest::newRow("one audio") << QStringList{"song.mp3"} << QStringList{"1 Item", "0 movies", "1 audio", "0 images"}
                               << false;
    QTest::newRow("one image") << QStringList{"photo.JPG"} << QStringList{"1 Item", "0 movies", "0 audio", "1 image"}
                               << true;
    QTest::newRow("one unknown") << QStringList{"drawing.emf"}
                                 << QStringList{"1 Item", "0 movies", "0 audio", "0 images"} << false;
    QTest::newRow("mixed") << QStringList{"a.gif", "b.bmp", "c.avi", "d.wav"}
                           << QStringList{"4 Items", "1 movie", "1 audio", "2 images"} << true;
}

void MainWindowTest::statusLineTexts()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, labels);
    QFETCH(bool, slideshow);

    Session session;
    TfrmMain& main = session.Open();
    for (const QString& file : files)
        session.AddItem(file.toStdString());
    session.ShowAndActivate();   // lists "<Unclassified>"
    main.SelectPage(2);

    QCOMPARE(main.mainList->RowCount(), static_cast<int>(files.size()));
    QCOMPARE((QStringList{main.lblFileInfo1->text(), main.lblFileInfo3->text(), main.lblFileInfo4->text(),
                          main.lblFileInfo5->text()}),
             labels);
    QVERIFY(main.lblFileInfo2->text().isEmpty());
    QCOMPARE(main.btnViewSlideShow3->isVisible(), slideshow);
    QVERIFY(!main.btnPrint->isVisible());
    QVERIFY(!main.Print1->isEnabled() && !main.Print2->isEnabled());
    QVERIFY(!main.actFileSaveToDisk->isEnabled());

    if (!files.isEmpty()) {
        main.mainList->SelectAll();
        main.updTimerTimer();
        QVERIFY(main.actFileSaveToDisk->isEnabled());
    }
}

void MainWindowTest::hintsGoToTheHintLine()
{
    Session session;
    TfrmMain& main = session.Open();
    auto* hintLine = main.findChild<QLabel*>(QStringLiteral("statuslabel1"));
    main.actFileExit->showStatusText(&main);
    QCOMPARE(hintLine->text(), QStringLiteral(" Exit the application   "));
    QStatusTipEvent cleared{QString()};
    QApplication::sendEvent(main.spSkinButton1, &cleared);
    QCOMPARE(hintLine->text(), QStringLiteral("    "));
}

void MainWindowTest::placementDefaultsAndPersistence()
{
    Session session;
    {
        TfrmMain& main = session.Open();
        QSignalSpy ended(&main, &TfrmMain::EndProgram);
        session.ShowAndActivate();
        QCOMPARE(main.geometry(), QRect(100, 100, 800, 600));
        QVERIFY(!main.isMaximized());

        main.setGeometry(120, 130, 760, 520);
        QCOMPARE(main.geometry(), QRect(120, 130, 760, 520));
        QVERIFY(main.close());
        QCOMPARE(ended.count(), 1);
        QCOMPARE(ended.front().front().toInt(), 0);
    }
    SettingsStore stored;
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Top", ""), std::string("130"));
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Left", ""), std::string("120"));
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Width", ""), std::string("760"));
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Height", ""), std::string("520"));
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Maximized", ""), std::string("0"));
    QCOMPARE(stored.ReadString(SettingsStore::kSettings, "AppPath", ""), GetAppDir());

    session.main.reset();
    TfrmMain& again = session.Open();
    session.ShowAndActivate();
    QCOMPARE(again.geometry(), QRect(120, 130, 760, 520));
}

void MainWindowTest::maximisedPlacementKeepsTheRestoredRectangle()
{
    Session session;
    {
        TfrmMain& main = session.Open();
        session.ShowAndActivate();
        main.setGeometry(140, 150, 720, 500);
        main.showMaximized();
        QTRY_VERIFY(main.isMaximized());
        QVERIFY(main.close());
    }
    SettingsStore stored;
    QCOMPARE(stored.ReadString(SettingsStore::kScreen, "Maximized", ""), std::string("1"));
    QCOMPARE(stored.ReadInteger(SettingsStore::kScreen, "Left", 0), 140);
    QCOMPARE(stored.ReadInteger(SettingsStore::kScreen, "Top", 0), 150);
    QCOMPARE(stored.ReadInteger(SettingsStore::kScreen, "Width", 0), 720);
    QCOMPARE(stored.ReadInteger(SettingsStore::kScreen, "Height", 0), 500);

    session.main.reset();
    TfrmMain& again = session.Open();
    session.ShowAndActivate();
    QTRY_VERIFY(again.isMaximized());
    again.showNormal();
    QTRY_COMPARE(again.geometry(), QRect(140, 150, 720, 500));
}

void MainWindowTest::actionCaptionsHintsAndShortcuts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QKeySequence>("shortcut");

    QTest::newRow("exit") << "actFileExit" << "E&xit" << "Exit the application" << QKeySequence("Alt+F4");
    QTest::newRow("lock") << "actFileBoss" << " Lock System" << "Immediately hide and password protect the program"
                          << QKeySequence("Ctrl+B");
    QTest::newRow("add files") << "actEditAddToCategory" << "Add Files to Category" << "Add files to current category"
                               << QKeySequence("Ins");
    QTest::newRow("add category") << "actEditAddCategory" << "Add Category" << "Add a Category"
                                  << QKeySequence("Shift+Ins");
    QTest::newRow("add subcategory") << "actEditAddSubcategory" << "Add Subcategory"
                                     << "Add a Subcategory to the currently selected category"
                                     << QKeySequence("Ctrl+Ins");
    QTest::newRow("remove") << "actEditRemoveFromCategory" << "Remove Files from Category"
                            << "Remove selected file(s) from the current category" << QKeySequence("Shift+Del");
    QTest::newRow("delete files") << "actEditDeleteFiles" << "Delete Files" << "Delete Selected File(s) from the database"
                                  << QKeySequence("Del");
    QTest::newRow("paste") << "actEditPaste" << "Paste" << "Past files from clipboard into current category"
                           << QKeySequence("Ctrl+V");
    QTest::newRow("details") << "actViewDetails" << "" << "View Details" << QKeySequence();
    QTest::newRow("import") << "actFileImport" << "Import..." << "Import files from a transfer archive"
                            << QKeySequence();
    QTest::newRow("export category") << "actExportCategory" << "Export Selected Category..." << "" << QKeySequence();
    QTest::newRow("select all") << "SelectAll1" << "Select All" << "" << QKeySequence("Ctrl+A");
}

void MainWindowTest::actionCaptionsHintsAndShortcuts()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, hint);
    QFETCH(QKeySequence, shortcut);

    Session session;
    TfrmMain& main = session.Open();
    auto* action = main.findChild<QAction*>(name);
    QVERIFY(action);
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->statusTip(), hint);
    QCOMPARE(action->shortcut(), shortcut);
}

void MainWindowTest::enablingRulesFollowTheSelection()
{
    Session session;
    TfrmMain& main = session.Open();
    db::Connection& db = main.MainLibrary().MainConnection();
    const int holidays = InsertCategory(db, 0, "Holidays");
    InsertCategory(db, holidays, "Beach");
    session.AddItem("one.jpg");
    session.AddItem("two.mp3");
    session.ShowAndActivate();

    // "<Unclassified>" is selected at the first show.
    main.UpdateActions();
    QVERIFY(main.actEditAddToCategory->isEnabled());
    QVERIFY(!main.actEditAddSubcategory->isEnabled());
    QVERIFY(!main.actEditDeleteCategory->isEnabled());
    QCOMPARE(main.actEditRenameCategory->text(), QStringLiteral("Rename Category"));
    QVERIFY(!main.actEditDeleteFiles->isEnabled());
    QVERIFY(!main.DeleteSelectedFiles1->isEnabled());

    main.mainList->SelectIdent(2);   // the music item: nothing to preview or print
    QTRY_VERIFY(main.actEditChangeDescription->isEnabled());   // evaluated when idle
    QVERIFY(main.actEditDeleteFiles->isEnabled() && main.DeleteSelectedFiles1->isEnabled());
    QVERIFY(main.actFileSaveToDisk->isEnabled());
    QVERIFY(!main.actEditRemoveFromCategory->isEnabled());   // "<Unclassified>" is no category
    main.mainList->SelectAll();
    QTRY_VERIFY(!main.actEditChangeDescription->isEnabled());
    QVERIFY(main.actFilePrint->isEnabled());
    QVERIFY(!main.Print1->isEnabled());   // no picture previewed

    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Beach")));
    QTRY_COMPARE(main.actEditDeleteCategory->text(), QStringLiteral("Delete Subcategory"));
    QCOMPARE(main.actEditRenameCategory->text(), QStringLiteral("Rename Subcategory"));
    QVERIFY(main.actEditAddSubcategory->isEnabled());
    QVERIFY(!main.actEditDeleteFiles->isEnabled());   // the category lists nothing

    main.mainTree->setCurrentItem(FindNode(main.mainTree, QStringLiteral("Holidays")));
    QTRY_COMPARE(main.actEditDeleteCategory->text(), QStringLiteral("Delete Category"));

    main.mainTree->clearSelection();
    QTRY_COMPARE(main.actEditDeleteCategory->text(), QStringLiteral("Delete Category / Subcategory"));
    QVERIFY(!main.actEditAddToCategory->isEnabled());
    QVERIFY(!main.actExportCategory->isEnabled());
}

void MainWindowTest::pasteFollowsTheClipboard()
{
    Session session;
    TfrmMain& main = session.Open();
    QTemporaryDir files;
    auto* data = new QMimeData;
    data->setUrls({QUrl::fromLocalFile(files.filePath(QStringLiteral("copied.jpg")))});
    QGuiApplication::clipboard()->setMimeData(data);
    QTRY_VERIFY(main.actEditPaste->isEnabled());
    QGuiApplication::clipboard()->setText(QStringLiteral("just text"));
    QTRY_VERIFY(!main.actEditPaste->isEnabled());
}

void MainWindowTest::delGoesToTheListOrTheTree()
{
    Session session;
    TfrmMain& main = session.Open();
    InsertCategory(main.MainLibrary().MainConnection(), 0, "Holidays");
    session.AddItem("one.jpg");
    session.ShowAndActivate();
    main.SelectPage(2);
    main.mainList->SelectIdent(1);
    main.UpdateActions();
    QVERIFY(main.actEditDeleteFiles->isEnabled());

    {
        // The tree has the focus: its category, not the selected item.
        LogCapture log("velmora.shell");
        main.mainTree->setFocus();
        QTRY_VERIFY(main.mainTree->hasFocus());
        QTest::keyClick(main.mainTree, Qt::Key_Delete);
        QCOMPARE(log.lines, QStringList{QStringLiteral("delete category: 0")});
    }
    {
        LogCapture log("velmora.shell");
        main.mainList->DetailView()->setFocus();
        QTRY_VERIFY(main.mainList->HasKeyboardFocus());
        QTest::keyClick(main.mainList->DetailView(), Qt::Key_Delete);
        QCOMPARE(log.lines, QStringList{QStringLiteral("delete files: 1 selected")});
    }
    {
        // The search box keeps Del for its text.
        LogCapture log("velmora.shell");
        main.txtTextToFind->setText(QStringLiteral("ab"));
        main.txtTextToFind->setFocus();
        main.txtTextToFind->setCursorPosition(0);
        QTRY_VERIFY(main.txtTextToFind->hasFocus());
        QTest::keyClick(main.txtTextToFind, Qt::Key_Delete);
        QCOMPARE(main.txtTextToFind->text(), QStringLiteral("b"));
        QVERIFY(log.lines.isEmpty());
    }
}

void MainWindowTest::lockThenUnlockWithTheRightPassword()
{
    Session session;
    TfrmMain& main = session.Open();
    main.MainLibrary().MainConnection().Execute("Update options set opt_caption = 'My Vault'");
    QVERIFY(main.VerifyPassword(kPassword));
    QCOMPARE(ApplicationTitle::Text(), QStringLiteral("My Vault"));
    session.ShowAndActivate();
    const int topLevelNodes = main.mainTree->topLevelItemCount();
    main.move(300, 280);

    main.actFileBoss->trigger();
    QVERIFY(main.Locked());
    QVERIFY(!main.isVisible());
    QCOMPARE(ApplicationTitle::Text(), QStringLiteral("Password Protected Program"));
    QVERIFY(main.LockStandIn()->isVisible());
    QVERIFY(main.LockStandIn()->isMinimized());
    QTest::qWait(50);   // the stand-in being shown is no activation
    QVERIFY(main.Locked());
    QVERIFY(QApplication::activeModalWidget() == nullptr);

    InsertCategory(main.MainLibrary().MainConnection(), 0, "Added while locked");
    bool stayedAfterWrongPassword = false;
    WhenPasswordPromptOpens([&](TfrmPassword& form) {
        form.txtPass->setText(QStringLiteral("wrong"));
        form.btnOKClick();
        stayedAfterWrongPassword = form.isVisible();
        form.txtPass->setText(QStringLiteral(" ") + QLatin1String(kPassword) + QStringLiteral(" "));
        form.btnOKClick();
    });
    main.LockStandIn()->showNormal();   // the user restores the program from the taskbar

    QTRY_VERIFY(main.isVisible());
    QVERIFY(stayedAfterWrongPassword);
    QCOMPARE(session.boxes.messages.size(), std::size_t(1));
    QCOMPARE(session.boxes.messages.front().text, std::string("Invalid Password, please try again"));
    QVERIFY(!main.Locked());
    QVERIFY(!main.LockStandIn()->isVisible());
    QCOMPARE(ApplicationTitle::Text(), QStringLiteral("My Vault"));
    QCOMPARE(main.geometry().topLeft(), QPoint(100, 100));            // placement restored again
    QCOMPARE(main.mainTree->topLevelItemCount(), topLevelNodes);     // the tree is not rebuilt
}

void MainWindowTest::cancelAtTheUnlockPromptEndsTheProgram()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    QSignalSpy ended(&main, &TfrmMain::EndProgram);

    main.actFileBoss->trigger();
    WhenPasswordPromptOpens([](TfrmPassword& form) { form.btnCancelClick(); });
    main.LockStandIn()->showNormal();

    QTRY_COMPARE(ended.count(), 1);
    QCOMPARE(ended.front().front().toInt(), 0);
    QVERIFY(!main.isVisible());
    SettingsStore stored;   // no closing steps ran
    QVERIFY(!stored.ValueExists(SettingsStore::kScreen, "Top"));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
