// The play list driving the real player on a private PulseAudio null sink: a list
// plays in order and moves on by itself at the end of each item, Next and Previous
// while playing, and a double click on a movie among pictures.
#include "PlayerWindow.h"
#include "PulseAudioNullSink.h"
#include "TestMedia.h"

#include "app/ItemListView.h"
#include "platform/MachineInfo.h"
#include "platform/SettingsStore.h"
#include "playback/LegacyMediaPlayer.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "playback/PlayStates.h"
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/StreamItemIdent.h"

#include <QAction>
#include <QtTest/QtTest>

#include <memory>

using namespace velmora;
using namespace velmora::test;

namespace {

const char* kModernMachine = "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n"
                             "[{22d6f312-b0f6-11d0-94ab-0080c74c7e95}]\nIsInstalled=1\nVersion=7,0,0,0\n";

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

QTEST_MAIN(PlaylistPlayerTest)
#include "PlaylistPlayerTest.moc"
