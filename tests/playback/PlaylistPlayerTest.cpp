// The play list driving the real player on a private PulseAudio null sink: a list
// plays in order and moves on by itself at the end of each item, Next and Previous
// while playing, and a double click on a movie among pictures.
#include "PlayerWindow.h"
#include "PulseAudioNullSink.h"
#include "ScreenPixels.h"
#include "TestMedia.h"
#include "TestPictures.h"

#include "app/ItemListView.h"
#include "app/TaskbarStandIn.h"
#include "dialogs/PasswordForm.h"
#include "platform/MachineInfo.h"
#include "platform/SettingsStore.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "playback/PlayStates.h"
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/PlayerBar.h"
#include "playback/PlayerScales.h"
#include "playback/StreamItemIdent.h"
#include "store/Library.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QtTest/QtTest>

#include <memory>
#include <random>

using namespace velmora;
using namespace velmora::test;

namespace {

const char* kModernMachine = "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n"
                             "[{22d6f312-b0f6-11d0-94ab-0080c74c7e95}]\nIsInstalled=1\nVersion=7,0,0,0\n";

// Bytes no decoder takes for sound or picture.
std::string Damaged(std::size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(random() & 0xFF);
    return bytes;
}

QImage Solid(QColor colour)
{
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Sorted by name, all in the play list, in that order.
void FillPlaylist(TfrmMain& main)
{
    main.mainList->SortRows(ItemListView::ColFilename, 1);
    main.mainList->SelectAll();
    main.AddFilestoPlayList1Click();
}

QString Entries(TfrmMain& main)
{
    QStringList captions;
    for (const PlaylistEntry& entry : main.PlayList().Entries())
        captions << QString::fromStdString(entry.caption);
    return captions.join(' ');
}

} // namespace

class PlaylistPlayerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void aListPlaysInOrderMovesOnByItselfAndEnds();
    void nextAndPreviousWhilePlaying();
    void aDoubleClickedMovieStartsTheListWithTheLegacyControlWithoutPictures();
    void picturesShowForTheSlideshowDelayAndTheListGoesOn();
    void theLockHoldsAPictureUntilPlayAgain();
    void aDamagedItemEndsWithItsErrorAndTheListGoesOn_data();
    void aDamagedItemEndsWithItsErrorAndTheListGoesOn();
    void aListOfDamagedItemsStopsInsteadOfGoingRound();
    void removeAllClearsTheTime();

private:
    std::unique_ptr<PulseAudioNullSink> m_pulse;
    std::unique_ptr<TempDir> m_machineDir;
    std::string m_short;   // 1.5 s
    std::string m_long;    // 20 s
};

void PlaylistPlayerTest::initTestCase()
{
    m_pulse = std::make_unique<PulseAudioNullSink>();
    QCOMPARE(QString::fromStdString(m_pulse->Failure()), QString());
    m_machineDir = std::make_unique<TempDir>();
    WriteFile(*m_machineDir / "machine.ini", kModernMachine);
    qputenv(MachineInfo::kOverrideVariable, QByteArray::fromStdString((*m_machineDir / "machine.ini").string()));
    m_short = MakeWav(1.5, 22050, 1);
    m_long = MakeWav(20, 22050, 1);
}

void PlaylistPlayerTest::cleanupTestCase()
{
    qunsetenv(MachineInfo::kOverrideVariable);
    m_pulse.reset();
}

void PlaylistPlayerTest::aListPlaysInOrderMovesOnByItselfAndEnds()
{
    PlayerWindow window;
    window.LetPlaylistAdvance();
    const int first = window.AddItem(m_short, "a.wav");
    const int second = window.AddItem(m_short, "b.wav");
    TfrmMain& main = window.Main();
    main.mainList->SelectAll();
    main.AddFilestoPlayList1Click();
    QCOMPARE(Entries(main), QString("a.wav b.wav"));

    main.Play1->trigger();   // Play with the list off starts it
    QVERIFY(main.PlaylistActive());
    QCOMPARE(main.CurrentPage(), 1);
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == first && window.StateText() == "Playing"; }));
    // The end of the first item starts the second without a hand.
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == second && window.StateText() == "Playing"; }));
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 1);
    // And the end of the last one ends the list: player cleared, back at the first.
    QVERIFY(window.WaitFor([&] { return !main.PlaylistActive(); }));
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 0);
    QVERIFY(window.Host().ModernPlayer()->URL().isEmpty());
    QVERIFY(!main.PlayList().plTimer.isActive());
    QVERIFY(window.Boxes().messages.empty());
}

void PlaylistPlayerTest::nextAndPreviousWhilePlaying()
{
    PlayerWindow window;
    window.LetPlaylistAdvance();
    const int first = window.AddItem(m_long, "a.wav");
    const int second = window.AddItem(m_long, "b.wav");
    TfrmMain& main = window.Main();
    main.mainList->SelectAll();
    main.AddFilestoPlayList1Click();
    main.playlist->SelectIndex(0);
    main.playlistDblClick();
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == first && window.StateText() == "Playing"; }));

    window.Click("nextbutton");
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == second && window.StateText() == "Playing"; }));
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 1);
    QVERIFY(window.WaitFor([&] { return window.Position() > 0.3; }));

    main.findChild<QAction*>("Previous1")->trigger();
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == first && window.StateText() == "Playing"; }));
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 0);
    QVERIFY(window.WaitFor([&] { return window.Position() > 0.3; }));

    // Previous at the first entry plays it again from its start.
    window.Click("backbutton");
    QVERIFY(window.WaitFor([&] { return window.Position() < 0.3; }));
    QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && window.Position() > 0.1; }));
    QCOMPARE(StreamItemIdent.load(), first);
    QVERIFY(main.PlaylistActive());
}

void PlaylistPlayerTest::aDoubleClickedMovieStartsTheListWithTheLegacyControlWithoutPictures()
{
    PlayerWindow window([] {
        SettingsStore settings;
        settings.WriteInteger(SettingsStore::kSettings, "MediaPlayerVersion", 7);
    });
    QVERIFY(window.Host().LegacyPlayer() != nullptr);
    window.AddItem("not shown", "a.jpg");
    const int movie = window.AddItem(MakeAvi(3), "b.avi");
    window.AddItem("not shown", "c.jpg");
    window.AddItem(m_short, "d.wav");
    TfrmMain& main = window.Main();
    main.mainList->SortRows(ItemListView::ColFilename, 1);
    main.mainList->SelectAll();
    main.AddFilestoPlayList1Click();   // the legacy control leaves pictures out here too
    QCOMPARE(Entries(main), QString("b.avi d.wav"));
    // Dropped on the first row: a picture left out takes no row, so the movie lands
    // directly after the row under the cursor.
    main.mainList->SetRowSelected(3, false);
    main.mainList->SetRowSelected(2, false);
    main.PlayListDropTargetDrop(0);   // a.jpg, b.avi selected
    QCOMPARE(Entries(main), QString("b.avi b.avi d.wav"));
    main.ClearAll1Click();
    main.mainList->SelectAll();
    main.AddFilestoPlayList1Click();

    window.DoubleClickItem(movie);
    QCOMPARE(Entries(main), QString("b.avi d.wav"));
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 0);
    QVERIFY(main.PlaylistActive());
    QCOMPARE(main.CurrentPage(), 1);
    QVERIFY(window.WaitFor([&]() -> bool {
        return StreamItemIdent == movie && window.Host().LegacyPlayer()->PlayState() == legacy_state::kPlaying;
    }));
}

// A photo-and-music show: each picture is shown on the Playing page for the delay of
// the Settings page, its time running to the delay, and the list goes on.
void PlaylistPlayerTest::picturesShowForTheSlideshowDelayAndTheListGoesOn()
{
    PlayerWindow window;
    window.LetPlaylistAdvance();
    TfrmMain& main = window.Main();
    const int delaySeconds = 2;
    main.MainLibrary().MainConnection().Execute("Update options set opt_currentStore = " +
                                                std::to_string((delaySeconds << 16) | 1));
    const int firstSong = window.AddItem(m_short, "1 song.wav");
    window.AddItem(GifBytes(), "2 red and blue.gif");
    window.AddItem(EncodedPicture(Solid(QColor(0, 160, 0)), "BMP"), "3 green.bmp");
    window.AddItem(EncodedPicture(Solid(QColor(240, 200, 0)), "JPEG"), "4 yellow.jpg");
    const int lastSong = window.AddItem(m_short, "5 song.wav");
    FillPlaylist(main);
    QCOMPARE(main.PlayList().Count(), 5);
    main.playlist->SelectIndex(0);
    main.playlistDblClick();
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == firstSong && window.StateText() == "Playing"; }));

    struct Shown {
        int entry;
        QColor colour;
    };
    const QString wholeDelay = QString::fromStdString(FormatPlayTime(delaySeconds));
    for (const Shown& picture : {Shown{1, QColor(255, 0, 0)}, Shown{2, QColor(0, 160, 0)}, Shown{3, QColor(240, 200, 0)}}) {
        const auto current = [&] { return main.PlayList().CurrentPlaylistIndex() == picture.entry; };
        double share = 0;
        QVERIFY2(window.WaitFor([&] {
                     share = current() ? ColourShare(main.pnlMoviePlayer->grab().toImage(), picture.colour, 16) : 0;
                     return share > 0.2;
                 }),
                 qPrintable(QString("entry %1: %2 of the page in its colour, state %3")
                                .arg(picture.entry).arg(share).arg(window.StateText())));
        QCOMPARE(window.StateText(), QString("Playing"));
        // Shown until its time has run to the delay, then the next entry.
        QString lastTime;
        QVERIFY(window.WaitFor([&] {
            if (current())
                lastTime = window.LabelText(player_skin::kTime.toLatin1().constData());
            return !current();
        }));
        QCOMPARE(lastTime, wholeDelay);
        QCOMPARE(main.PlayList().CurrentPlaylistIndex(), picture.entry + 1);
    }
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == lastSong && window.StateText() == "Playing"; }));
    QVERIFY(window.WaitFor([&] { return !main.PlaylistActive(); }));
    QVERIFY(window.Boxes().messages.empty());
}

// A picture counts its delay only while it is being played: locked, the list stays on
// it; Play goes on with it and then with the list.
void PlaylistPlayerTest::theLockHoldsAPictureUntilPlayAgain()
{
    PlayerWindow window;
    window.LetPlaylistAdvance();
    TfrmMain& main = window.Main();
    main.MainLibrary().MainConnection().Execute("Update options set opt_currentStore = " + std::to_string((1 << 16) | 1));
    window.AddItem(GifBytes(), "1 red and blue.gif");
    const int song = window.AddItem(m_short, "2 song.wav");
    FillPlaylist(main);
    main.playlist->SelectIndex(0);
    main.playlistDblClick();
    QVERIFY(window.WaitFor([&] {
        return window.StateText() == "Playing" &&
               ColourShare(main.pnlMoviePlayer->grab().toImage(), QColor(255, 0, 0), 16) > 0.2;
    }));

    main.actFileBoss->trigger();
    QCOMPARE(window.StateText(), QString("Stopped"));
    QTest::qWait(1000 + 3 * Playlist::kAdvanceInterval);   // past the delay and the list's look
    QCOMPARE(main.PlayList().CurrentPlaylistIndex(), 0);
    QVERIFY(main.PlaylistActive());

    WhenPasswordPromptOpens([](TfrmPassword& form) {
        form.txtPass->setText(QLatin1String(kPassword));
        form.btnOKClick();
    });
    main.LockStandIn()->showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(main.isVisible(), PlayerWindow::kPatienceMs);
    main.Play1->trigger();
    QCOMPARE(window.StateText(), QString("Playing"));
    QVERIFY(window.WaitFor([&] { return StreamItemIdent == song && window.StateText() == "Playing"; }));
}

void PlaylistPlayerTest::aDamagedItemEndsWithItsErrorAndTheListGoesOn_data()
{
    QTest::addColumn<bool>("repeat");
    QTest::newRow("once") << false;
    QTest::newRow("repeated") << true;
}

// Random bytes named .mp3 between two songs: the player's error ends the item with its
// text where the picture would be, and the list plays on, round again with repeat.
void PlaylistPlayerTest::aDamagedItemEndsWithItsErrorAndTheListGoesOn()
{
    QFETCH(bool, repeat);
    PlayerWindow window;
    window.LetPlaylistAdvance();
    TfrmMain& main = window.Main();
    const int first = window.AddItem(m_short, "1 a.wav");
    window.AddItem(Damaged(200000, 1), "2 damaged.mp3");
    const int third = window.AddItem(m_short, "3 c.wav");
    FillPlaylist(main);
    main.PlayList().PlaylistRepeat = repeat;
    main.playlist->SelectIndex(0);
    main.playlistDblClick();

    for (int round = 0; round < (repeat ? 2 : 1); ++round) {
        QVERIFY(window.WaitFor([&] { return StreamItemIdent == first && window.StateText() == "Playing"; }));
        QString caption;
        QVERIFY2(window.WaitFor([&] {
                     caption = main.findChild<QLabel*>("lblMoviePlayer")->text();
                     return main.PlayList().CurrentPlaylistIndex() == 1 && window.Host().ItemFailed();
                 }),
                 qPrintable(QString("state %1, caption %2").arg(window.StateText(), caption)));
        QVERIFY(!caption.isEmpty());
        QVERIFY(caption != PlayerHost::kLoadingCaption);
        QCOMPARE(window.StateText(), caption);
        QVERIFY(window.WaitFor([&] { return StreamItemIdent == third && window.StateText() == "Playing"; }));
    }
    if (!repeat)
        QVERIFY(window.WaitFor([&] { return !main.PlaylistActive(); }));
    else
        QVERIFY(main.PlaylistActive());
}

void PlaylistPlayerTest::aListOfDamagedItemsStopsInsteadOfGoingRound()
{
    PlayerWindow window;
    window.LetPlaylistAdvance();
    TfrmMain& main = window.Main();
    window.AddItem(Damaged(200000, 2), "1 damaged.mp3");
    window.AddItem(Damaged(300000, 3), "2 damaged.avi");
    FillPlaylist(main);
    main.PlayList().PlaylistRepeat = true;
    main.playlist->SelectIndex(0);
    main.playlistDblClick();
    QVERIFY(window.WaitFor([&] { return !main.PlaylistActive(); }));
    QVERIFY(window.Host().ItemFailed());
    QVERIFY(main.findChild<QLabel*>("lblMoviePlayer")->text() != PlayerHost::kLoadingCaption);
    QVERIFY(window.Boxes().messages.empty());
}

void PlaylistPlayerTest::removeAllClearsTheTime()
{
    PlayerWindow window;
    TfrmMain& main = window.Main();
    window.DoubleClickItem(window.AddItem(m_long, "a.wav"));
    QVERIFY(window.WaitFor([&] { return window.LabelText("statuslabel3") >= "00:01"; }));
    main.ClearAll1Click();
    QVERIFY(!main.PlaylistActive());
    QCOMPARE(window.LabelText("statuslabel3"), QString("00:00"));
    QCOMPARE(window.LabelText("statuslabel3", true), QString("00:00"));
    QTest::qWait(2 * PlayerHost::kProgressInterval);   // nothing runs it on
    QCOMPARE(window.LabelText("statuslabel3"), QString("00:00"));
}

QTEST_MAIN(PlaylistPlayerTest)
#include "PlaylistPlayerTest.moc"
