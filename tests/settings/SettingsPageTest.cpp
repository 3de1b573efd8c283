// The Settings page in the main window: what a fresh user and a library's options
// show, applying and leaving with unsaved edits, the switches other controls write at
// once, the thumbnail switch, the watched folder, and the recovery copy of the
// password.
#include "app/MainWindowSession.h"

#include "app/ItemListView.h"
#include "catalogue/ItemKind.h"
#include "catalogue/ItemRows.h"
#include "dialogs/ApplicationTitle.h"
#include "integration/DirMonitor.h"
#include "playback/ImageAspect.h"
#include "playback/PlayerHost.h"
#include "playback/Playlist.h"
#include "playback/Preview.h"
#include "settings/PlayerSettingsGroup.h"
#include "settings/SettingsPage.h"
#include "store/Query.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QToolButton>

using namespace velmora;
using velmora::test::Session;

namespace {

constexpr const char* kSaveQuestion = "You have changed the application setup\r\nWould you like to save the changes?";
constexpr const char* kApplyQuestion = "Are you sure that you wish to apply the changes?";
constexpr int kAsk = mb::kYesNo | mb::kIconQuestion;

std::string Stored(const char* name)
{
    return SettingsStore().ReadString(SettingsStore::kSettings, name, "absent");
}

std::int64_t OptionNumber(TfrmMain& main, const std::string& column)
{
    return db::Query(main.MainLibrary().MainConnection(), "Select " + column + " from options").AsInteger(column);
}

std::string OptionText(TfrmMain& main, const std::string& column)
{
    return db::Query(main.MainLibrary().MainConnection(), "Select " + column + " from options").AsString(column);
}

void Execute(TfrmMain& main, const std::string& sql)
{
    main.MainLibrary().MainConnection().Execute(sql);
}

int ItemsNamed(TfrmMain& main, const std::string& name)
{
    return static_cast<int>(db::Query(main.MainLibrary().MainConnection(),
                                      "Select count(*) as n from Record where rec_tnorigname = '" + name + "'")
                                .AsInteger("n"));
}

void Apply(Session& session)
{
    session.boxes.answers.push_back(mb::kResultYes);
    session.main->settingsPage->btnApplyChanges->click();
}

} // namespace

class SettingsPageTest : public QObject {
    Q_OBJECT
private slots:
    void aFreshUserSeesEveryDefault();
    void theSubPagesShareOneScrollBar();
    void aNullSlideshowTimingShowsFiveSecondsWithRepeatAndIsStoredBack();
    void everyControlIsStoredWhereItBelongs();
    void applyAnsweredNoKeepsThePageDirty();
    void leavingWithEditsAsksAndNoRestoresTheStoredValues();
    void switchesWrittenAtOnceLeaveThePageClean();
    void turningThumbnailsOffAndOnAgain();
    void theWatchedFolderIsImportedAndFollowsItsSetting();
    void theRecoveryCopyCanBeTurnedOff();
    void anAddWithoutAWindowAsksForThePasswordWhenTheLibraryKeepsNoCopy();
    void optionsThatCannotBeWrittenStillSaveTheRestAndLeaveThePageClean();
    void aSettingsFileThatCannotBeWrittenIsToldAndTheRestApplied();
    void theFolderAndColourPickers();
};

void SettingsPageTest::aFreshUserSeesEveryDefault()
{
    Session session;
    SettingsStore().DeleteValue(SettingsStore::kSettings, "Background Monitor");
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    QCOMPARE(page.txtMonitorDir->text().toStdString(), DefaultMonitorDir());
    QVERIFY(page.chkEnableMonitor->isChecked());
    QVERIFY(page.chkEnableShellExt->isChecked());
    QCOMPARE(page.txtMenuText->text(), QString("Add To Velmora"));
    QVERIFY(!page.chbxAutoRepeatPL->isChecked() && !page.chbxShufflePlaylist->isChecked());
    QVERIFY(page.chkCycle->isChecked() && !page.chkHideCtrls->isChecked());
    QVERIFY(page.chkRecoveryCopy->isChecked() && page.chkLockOnScreenLock->isChecked());
    QVERIFY(!main.PlayList().PlaylistRepeat && !main.PlayList().PlaylistShuffle && main.frmPreview().SlideshowCycle && !main.frmPreview().SlideshowHideControls);
    QVERIFY(!main.Repeat1->isChecked() && !main.Repeat2->isChecked());
    QVERIFY(!page.btnApplyChanges->isEnabled());
    QVERIFY(!page.SettingsChanged());
    // The program folder is written at every start; nothing else was.
    QCOMPARE(Stored("AppPath"), GetAppDir());
    QCOMPARE(Stored("PLRepeat"), std::string("absent"));
}

void SettingsPageTest::theSubPagesShareOneScrollBar()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    main.resize(760, 500);
    session.ShowAndActivate();
    main.SelectPage(3);
    QCOMPARE(page.ShownSettingsPage(), 1);
    const QList<QPushButton*> buttons{page.btnGeneralSettings, page.btnUserSettings, page.btnMediaSettings,
                                      page.btnLibrarySettings};
    QCOMPARE(buttons[0]->text(), QString("General Settings"));
    QCOMPARE(buttons[3]->text(), QString("Library Settings"));
    // The General sub-page is taller than the window: the shared bar scrolls it.
    QTRY_VERIFY(page.vscrollsettings->maximum() > 0);
    page.vscrollsettings->setValue(page.vscrollsettings->maximum());
    QCOMPARE(page.subPages[0]->verticalScrollBar()->value(), page.vscrollsettings->maximum());
    for (int n = 4; n >= 1; --n) {
        buttons[n - 1]->click();
        QCOMPARE(page.ShownSettingsPage(), n);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(page.subPages[i]->isVisible(), i == n - 1);
        QCOMPARE(page.vscrollsettings->value(), 0);
        QCOMPARE(page.vscrollsettings->maximum(), page.subPages[n - 1]->verticalScrollBar()->maximum());
    }
    // Only the shown sub-page follows the bar.
    page.vscrollsettings->setValue(page.vscrollsettings->maximum());
    QCOMPARE(page.subPages[1]->verticalScrollBar()->value(), 0);
    QVERIFY(page.playerSettings->isVisibleTo(page.subPages[2]));
    QCOMPARE(main.playerSettings, page.playerSettings);
}

void SettingsPageTest::aNullSlideshowTimingShowsFiveSecondsWithRepeatAndIsStoredBack()
{
    Session session;
    TfrmMain& main = session.Open();
    Execute(main, "Update options set opt_currentStore = NULL");
    main.LoadSettings();
    SettingsPage& page = *main.settingsPage;
    QCOMPARE(page.txtDelayTime->value(), 5);
    QVERIFY(page.chkRepeat->isChecked());
    QVERIFY(!page.btnApplyChanges->isEnabled());
    main.SaveSettings();
    QCOMPARE(OptionNumber(main, "opt_currentStore"), 0x50001);
}

void SettingsPageTest::everyControlIsStoredWhereItBelongs()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    QSignalSpy applied(&page, &SettingsPage::SettingsApplied);

    page.txtAppName->setText("My Vault");
    page.chkEnableThumb->setChecked(true);
    page.chkThumbDefault->setChecked(true);
    page.chkScalePast100->setChecked(true);
    page.chbxAutoRepeatPL->setChecked(true);
    page.chbxShufflePlaylist->setChecked(true);
    page.chkCycle->setChecked(false);
    page.chkHideCtrls->setChecked(true);
    page.chkRepeat->setChecked(false);
    page.txtDelayTime->setValue(12);
    page.chkDefDelete->setChecked(true);
    page.chkDefDeleteCM->setChecked(true);
    page.chkEnableShellExt->setChecked(false);
    page.txtMenuText->setText("Hide in Velmora");
    page.chkLockOnScreenLock->setChecked(false);
    QVERIFY(page.btnApplyChanges->isEnabled());
    // Read before, so the cached value would survive if it were not forgotten.
    QVERIFY(!main.DeleteSourceByDefault());
    Apply(session);

    QCOMPARE(session.boxes.messages.back().text, std::string(kApplyQuestion));
    QCOMPARE(session.boxes.messages.back().flags, kAsk);
    QVERIFY(!page.btnApplyChanges->isEnabled());
    QCOMPARE(applied.count(), 1);
    QCOMPARE(OptionText(main, "opt_caption"), std::string("My Vault"));
    QCOMPARE(OptionNumber(main, "opt_currentStore"), 786432);
    QCOMPARE(OptionNumber(main, "opt_enablethumb") + OptionNumber(main, "opt_thumbdefault") +
                 OptionNumber(main, "opt_scalepast100") + OptionNumber(main, "opt_defdelete") +
                 OptionNumber(main, "opt_condelete"),
             5);
    QCOMPARE(Stored("PLRepeat"), std::string("1"));
    QCOMPARE(Stored("PLShuffle"), std::string("1"));
    QCOMPARE(Stored("SSCycle"), std::string("0"));
    QCOMPARE(Stored("SSHideCtrls"), std::string("1"));
    QCOMPARE(Stored("shellextenb"), std::string("0"));
    QCOMPARE(Stored("shellextext"), std::string("Hide in Velmora"));
    QCOMPARE(Stored("LockOnScreenLock"), std::string("0"));

    // The running program took them over.
    QCOMPARE(ApplicationTitle::Text(), QString("My Vault"));
    QVERIFY(main.picture->ScalePast100());
    QVERIFY(main.DeleteSourceByDefault());
    QVERIFY(main.PlayList().PlaylistRepeat && main.PlayList().PlaylistShuffle && !main.frmPreview().SlideshowCycle && main.frmPreview().SlideshowHideControls);
    QVERIFY(main.Repeat1->isChecked() && main.Repeat2->isChecked());
    QVERIFY(main.Shuffle1->isChecked() && main.Shuffle2->isChecked());
    QCOMPARE(main.ShellMenuText(), std::string("Hide in Velmora"));
    QVERIFY(!main.ShellExtensionEnabled());

    // A new window (the next start) shows what was applied.
    session.main.reset();
    TfrmMain& again = session.Open();
    SettingsPage& shown = *again.settingsPage;
    QCOMPARE(shown.txtAppName->text(), QString("My Vault"));
    QCOMPARE(shown.txtDelayTime->value(), 12);
    QVERIFY(!shown.chkRepeat->isChecked() && shown.chbxAutoRepeatPL->isChecked() && !shown.chkCycle->isChecked());
    QVERIFY(shown.chkThumbDefault->isEnabled());
    QVERIFY(again.picture->ScalePast100());
}

void SettingsPageTest::applyAnsweredNoKeepsThePageDirty()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    page.txtAppName->setText("Renamed");
    QTest::keyClick(page.txtAppName, Qt::Key_X);   // typed, as the user edits
    QVERIFY(page.btnApplyChanges->isEnabled());
    session.boxes.answers.push_back(mb::kResultNo);
    page.btnApplyChanges->click();
    QCOMPARE(session.boxes.messages.size(), size_t{1});
    QVERIFY(page.btnApplyChanges->isEnabled());
    QVERIFY(page.SettingsChanged());
    QCOMPARE(OptionText(main, "opt_caption"), std::string("Velmora"));
}

void SettingsPageTest::leavingWithEditsAsksAndNoRestoresTheStoredValues()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    session.ShowAndActivate();
    main.SelectPage(3);
    auto* libraryButton = main.findChild<QPushButton*>(QStringLiteral("tab2"));

    // Clean: leaving asks nothing.
    QTest::mouseClick(libraryButton, Qt::LeftButton);
    QCOMPARE(main.CurrentPage(), 2);
    QVERIFY(session.boxes.messages.empty());

    main.SelectPage(3);
    page.chbxShufflePlaylist->setChecked(true);
    page.txtDelayTime->setValue(30);
    // The player choice stored meanwhile waits for the next start: discarding the
    // edits does not change the player in use.
    const int playerInUse = main.Player().PlayerVersion;
    SettingsStore().WriteString(SettingsStore::kSettings, "MediaPlayerVersion", playerInUse == 7 ? "9" : "7");
    session.boxes.answers.push_back(mb::kResultNo);
    QTest::mouseClick(libraryButton, Qt::LeftButton);
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(session.boxes.messages.size(), size_t{1});
    QCOMPARE(session.boxes.messages[0].text, std::string(kSaveQuestion));
    QCOMPARE(session.boxes.messages[0].flags, kAsk);
    QVERIFY(!page.chbxShufflePlaylist->isChecked());
    QCOMPARE(page.txtDelayTime->value(), 5);
    QVERIFY(!page.SettingsChanged());
    QCOMPARE(Stored("PLShuffle"), std::string("absent"));
    QCOMPARE(main.Player().PlayerVersion, playerInUse);

    // Yes saves; the menu entries switch pages without asking.
    main.SelectPage(3);
    page.chbxShufflePlaylist->setChecked(true);
    main.Library2->trigger();
    QCOMPARE(session.boxes.messages.size(), size_t{1});
    main.SelectPage(3);
    session.boxes.answers.push_back(mb::kResultYes);
    QTest::mouseClick(main.findChild<QPushButton*>(QStringLiteral("tab1")), Qt::LeftButton);
    QCOMPARE(session.boxes.messages.size(), size_t{2});
    QCOMPARE(Stored("PLShuffle"), std::string("1"));
    QVERIFY(main.PlayList().PlaylistShuffle);

    // Closing asks too, and goes ahead whatever the answer.
    page.txtMenuText->setText("Closing edit");
    session.boxes.answers.push_back(mb::kResultNo);
    main.close();
    QCOMPARE(session.boxes.messages.size(), size_t{3});
    QCOMPARE(session.boxes.messages[2].text, std::string(kSaveQuestion));
    QVERIFY(!main.isVisible());
    QCOMPARE(Stored("shellextext"), std::string("Add To Velmora"));
}

void SettingsPageTest::switchesWrittenAtOnceLeaveThePageClean()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    page.txtAppName->setText("Pending edit");
    page.SetSettingsChanged(true);

    // The user's ways in: the main menu's "Repeat", the play list menu's "Shuffle" and
    // the slideshow's "Stop Show".
    main.Repeat2->trigger();
    QVERIFY(page.chbxAutoRepeatPL->isChecked());
    QCOMPARE(Stored("PLRepeat"), std::string("1"));
    QVERIFY(main.PlayList().PlaylistRepeat && main.Repeat1->isChecked() && main.Repeat2->isChecked());
    QVERIFY(!page.SettingsChanged());
    QVERIFY(!page.btnApplyChanges->isEnabled());
    // The other edit's value stays in its control, unsaved.
    QCOMPARE(page.txtAppName->text(), QString("Pending edit"));
    QCOMPARE(OptionText(main, "opt_caption"), std::string("Velmora"));

    main.Shuffle1->trigger();
    QVERIFY(main.frmPreview().SlideshowCycle);
    main.frmPreview().btnAutoShow->click();
    QVERIFY(!main.frmPreview().SlideshowCycle);
    QVERIFY(page.chbxShufflePlaylist->isChecked() && !page.chkCycle->isChecked());
    QCOMPARE(Stored("PLShuffle"), std::string("1"));
    QCOMPARE(Stored("SSCycle"), std::string("0"));
    QVERIFY(!page.SettingsChanged());
    QVERIFY(session.boxes.messages.empty());
}

void SettingsPageTest::turningThumbnailsOffAndOnAgain()
{
    Session session;
    TfrmMain& main = session.Open();
    // Real pictures, so that their thumbnails are made and kept.
    for (const QColor& colour : {QColor(Qt::red), QColor(Qt::blue), QColor(Qt::green)}) {
        QImage image(120, 80, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG");
        MemoryStream source(bytes.toStdString());
        const std::string name = colour.name().toStdString() + ".jpg";
        QVERIFY(AddItemOnThread(std::nullopt, source, name, -1, name));
    }
    session.ShowAndActivate();
    main.FillItemList(ReadItemRows(main.MainLibrary().MainConnection(), UnclassifiedItemsQuery()));
    ItemListView& list = *main.mainList;
    QCOMPARE(list.RowCount(), 3);
    const auto allMade = [&list] {
        for (int row = 0; row < list.RowCount(); ++row)
            if (list.ImageIndexAt(row) == kThumbnailNotMade)
                return false;
        return true;
    };
    SettingsPage& page = *main.settingsPage;
    QVERIFY(main.actViewThumbnails->isEnabled());
    main.actViewThumbnails->trigger();
    QVERIFY(list.IsThumbnailView());
    QVERIFY(list.ThumbnailsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(allMade() && list.ThumbnailsIdle(), 60000);
    QCOMPARE(list.ThumbnailDecodes(), 3);

    // Off: the workers stop at once, with a refill waiting for them.
    main.FillItemList(ReadItemRows(main.MainLibrary().MainConnection(), UnclassifiedItemsQuery()));
    page.chkEnableThumb->setChecked(false);
    QVERIFY(!page.chkThumbDefault->isEnabled() && !page.cboThumbSize->isEnabled());
    main.SaveSettings();
    QVERIFY(!main.actViewThumbnails->isEnabled());
    QCOMPARE(main.actViewThumbnails->statusTip(), QString("To enable thumbnail view, turn it on in Options"));
    QVERIFY(main.actViewDetails->isChecked() && !main.actViewThumbnails->isChecked());
    QVERIFY(!list.IsThumbnailView());
    QVERIFY(!list.ThumbnailsRunning());
    QTRY_VERIFY_WITH_TIMEOUT(list.ThumbnailsIdle(), 60000);
    QTest::qWait(200);
    QVERIFY(!allMade());

    // On again: the thumbnails come back from the cache, none made anew.
    page.chkEnableThumb->setChecked(true);
    QVERIFY(page.chkThumbDefault->isEnabled());
    main.SaveSettings();
    QVERIFY(main.actViewThumbnails->isEnabled());
    QCOMPARE(main.actViewThumbnails->statusTip(), QString("View Thumbnails"));
    main.actViewThumbnails->trigger();
    QVERIFY(list.IsThumbnailView());
    QTRY_VERIFY_WITH_TIMEOUT(allMade() && list.ThumbnailsIdle(), 60000);
    QCOMPARE(list.ThumbnailDecodes(), 3);
}

void SettingsPageTest::theWatchedFolderIsImportedAndFollowsItsSetting()
{
    Session session;
    QTemporaryDir first;
    QTemporaryDir second;
    {
        SettingsStore settings;
        settings.WriteString(SettingsStore::kSettings, "Monitor Dir", first.path().toStdString());
        settings.WriteBool(SettingsStore::kSettings, "Background Monitor", true);
    }
    TfrmMain& main = session.Open();
    session.ShowAndActivate();   // the monitor runs once the window is shown
    QCOMPARE(main.settingsPage->txtMonitorDir->text(), first.path());
    QVERIFY(!main.Monitor().Suspended());

    const auto drop = [](const QTemporaryDir& folder, const QString& name) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("dropped bytes");
    };
    drop(first, "first.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(first.filePath("first.jpg")), 30000);
    QCOMPARE(ItemsNamed(main, "first.jpg"), 1);
    // Listed, since "<Unclassified>" is shown.
    QTRY_COMPARE_WITH_TIMEOUT(main.mainList->RowCount(), 1, 10000);
    QCOMPARE(main.mainList->CellText(0, ItemListView::ColFilename), QString("first.jpg"));

    main.settingsPage->txtMonitorDir->setText(second.path());
    Apply(session);
    QCOMPARE(Stored("Monitor Dir"), second.path().toStdString());
    QCOMPARE(main.Monitor().Directory(), second.path().toStdString());
    drop(first, "old.jpg");
    drop(second, "new.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(second.filePath("new.jpg")), 30000);
    QCOMPARE(ItemsNamed(main, "new.jpg"), 1);
    // Several scans of the new folder later, the old one is still untouched.
    const std::string newFolder = second.path().toStdString();
    drop(second, "later.jpg");
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(second.filePath("later.jpg")), 30000);
    QVERIFY(QFile::exists(first.filePath("old.jpg")));
    QCOMPARE(ItemsNamed(main, "old.jpg"), 0);

    // Off: the folder is left alone and the folder's controls are disabled.
    main.settingsPage->chkEnableMonitor->setChecked(false);
    QVERIFY(!main.settingsPage->txtMonitorDir->isEnabled());
    Apply(session);
    QVERIFY(main.Monitor().Suspended());
    QCOMPARE(Stored("Background Monitor"), std::string("0"));
}

void SettingsPageTest::theRecoveryCopyCanBeTurnedOff()
{
    Session session;
    TfrmMain& main = session.Open();
    QVERIFY(!OptionText(main, "opt_serial").empty());
    main.settingsPage->chkRecoveryCopy->setChecked(false);
    Apply(session);
    QVERIFY(OptionText(main, "opt_serial").empty());
    QCOMPARE(OptionNumber(main, "opt_recoverycopy"), 0);

    // A password change keeps none either.
    test::RecordingProgress progress;
    main.MainLibrary().ChangePassword("a new secret", progress);
    QVERIFY(OptionText(main, "opt_serial").empty());

    // On again: a copy of the password in force.
    main.LoadSettings();
    QVERIFY(!main.settingsPage->chkRecoveryCopy->isChecked());
    main.settingsPage->chkRecoveryCopy->setChecked(true);
    Apply(session);
    QVERIFY(!OptionText(main, "opt_serial").empty());
    SetLibraryPassword({}, 0);
    QVERIFY(main.MainLibrary().LoadStoredPassword());
    QCOMPARE(LibraryPassword(), std::string("a new secret"));
}

void SettingsPageTest::anAddWithoutAWindowAsksForThePasswordWhenTheLibraryKeepsNoCopy()
{
    Session session;
    QTemporaryDir files;
    const auto source = [&](const QString& name) {
        QFile file(files.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write a source file");
        file.write("picture bytes");
        return files.filePath(name).toStdString();
    };
    {
        TfrmMain& main = session.Open();
        main.settingsPage->chkRecoveryCopy->setChecked(false);
        Apply(session);
    }
    session.main.reset();
    SetLibraryPassword({}, 0);

    // As the windowless start makes it: never shown, no password yet.
    MainWindowOptions options;
    options.streamPort = 0;
    options.boxes = &session.boxes;
    options.fileDialogs = &session.dialogs;
    session.main = std::make_unique<TfrmMain>(options);
    TfrmMain& main = *session.main;
    session.boxes.messages.clear();

    bool asked = false;
    test::WhenPasswordPromptOpens([&](TfrmPassword& form) {
        asked = true;
        form.txtPass->setText(QString::fromLatin1(test::kPassword));
        form.btnOKClick();
    });
    QVERIFY(main.AddCommandLineFiles({source("asked.jpg")}));
    QVERIFY(asked);
    QCOMPARE(ItemsNamed(main, "asked.jpg"), 1);
    QVERIFY(session.boxes.messages.empty());

    // Cancel adds nothing and tells nothing more.
    session.main.reset();
    SetLibraryPassword({}, 0);
    session.main = std::make_unique<TfrmMain>(options);
    test::WhenPasswordPromptOpens([](TfrmPassword& form) { form.btnCancelClick(); });
    QVERIFY(!session.main->AddCommandLineFiles({source("cancelled.jpg")}));
    QCOMPARE(ItemsNamed(*session.main, "cancelled.jpg"), 0);
    QVERIFY(session.boxes.messages.empty());
}

void SettingsPageTest::optionsThatCannotBeWrittenStillSaveTheRestAndLeaveThePageClean()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    Execute(main, "Delete from options");
    page.chbxAutoRepeatPL->setChecked(true);
    page.txtAppName->setText("Not kept");
    Apply(session);
    QVERIFY(!page.SettingsChanged());
    QVERIFY(!page.btnApplyChanges->isEnabled());
    QCOMPARE(Stored("PLRepeat"), std::string("1"));
    QVERIFY(!main.Monitor().Enabled() && main.Monitor().Suspended());
    QCOMPARE(session.boxes.messages.size(), size_t{1});   // the question only
}

void SettingsPageTest::aSettingsFileThatCannotBeWrittenIsToldAndTheRestApplied()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    // Where the settings folder should be, a file: not even root can write there.
    QTemporaryDir blocked;
    QFile file(blocked.filePath("Velmora"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CONFIG_HOME", blocked.path().toUtf8());
    page.txtAppName->setText("Applied anyway");
    page.chbxAutoRepeatPL->setChecked(true);
    Apply(session);
    qputenv("XDG_CONFIG_HOME", session.config.path().toUtf8());
    QCOMPARE(session.boxes.messages.size(), size_t{2});
    QVERIFY(session.boxes.messages[1].text.rfind("The settings could not be saved: ", 0) == 0);
    QCOMPARE(session.boxes.messages[1].flags, mb::kIconError);
    QCOMPARE(OptionText(main, "opt_caption"), std::string("Applied anyway"));
    QVERIFY(main.PlayList().PlaylistRepeat);
    QVERIFY(!page.SettingsChanged());

    main.SetPlaylistShuffle(true);   // the same for a switch stored at once
    QCOMPARE(session.boxes.messages.size(), size_t{2});
    qputenv("XDG_CONFIG_HOME", blocked.path().toUtf8());
    main.SetPlaylistShuffle(false);
    qputenv("XDG_CONFIG_HOME", session.config.path().toUtf8());
    QCOMPARE(session.boxes.messages.size(), size_t{3});
}

void SettingsPageTest::theFolderAndColourPickers()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsPage& page = *main.settingsPage;
    page.chkEnableMonitor->setChecked(true);
    page.txtMonitorDir->setText("/start/here");
    page.SetSettingsChanged(false);

    session.dialogs.files.push_back({});   // Cancel
    page.txtMonitorDirButton->click();
    QCOMPARE(page.txtMonitorDir->text(), QString("/start/here"));
    QVERIFY(!page.SettingsChanged());
    session.dialogs.files.push_back("/chosen/folder");
    page.txtMonitorDirButton->click();
    QCOMPARE(page.txtMonitorDir->text(), QString("/chosen/folder"));
    QVERIFY(page.SettingsChanged());
    QCOMPARE(session.dialogs.asked, (QStringList{"Select Directory", "/start/here", "Select Directory", "/start/here"}));

    page.SetSettingsChanged(false);
    QColor offered;
    page.SetColourChooser([&](QWidget*, const QColor& current) -> std::optional<QColor> {
        offered = current;
        return QColor(0x10, 0x20, 0x30);
    });
    page.clColor->click();
    QVERIFY(page.SettingsChanged());
    main.SaveSettings();
    QCOMPARE(offered, QColor(Qt::white));   // the shipped library's background
    QCOMPARE(OptionNumber(main, "opt_currentStoreSize"), 0x302010);   // 0x00BBGGRR
}

QTEST_MAIN(SettingsPageTest)
#include "SettingsPageTest.moc"
