// Seeking by the position bar and switching to full screen and back, which reopens
// the item at its position; the lock while a movie plays full screen. These run on
// GStreamer's own clock-synchronised sink (no sound server): PulseAudio's null sink
// stalls after a flushing seek now and then (see StreamPlayerSeekTest.cpp).
#include "PlayerWindow.h"
#include "TestMedia.h"

#include "app/TaskbarStandIn.h"
#include "dialogs/PasswordForm.h"
#include "platform/MachineInfo.h"
#include "playback/FullScreen.h"
#include "playback/MediaEngine.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "playback/PlayerScales.h"
#include "playback/VideoStreamServ.h"

#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QtTest/QtTest>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

using namespace velmora;
using namespace velmora::test;

namespace {
const QSize kMovieSize(160, 120);   // MakeAvi's pictures

QString DescribeEngine(PlayerWindow& window)
{
    TMediaEngine& engine = window.Host().ModernPlayer()->Engine();
    return QString("state text %1, playback %2, status %3, position %4")
        .arg(window.StateText())
        .arg(int(engine.Playback()))
        .arg(int(engine.Status()))
        .arg(engine.PositionSeconds());
}

// Ends the process when the window's thread stays in one call for longer than a
// player could take: a frozen window must fail the test, not hang the run.
class FreezeGuard {
public:
    explicit FreezeGuard(std::chrono::seconds limit)
        : m_thread([this, limit] {
              std::unique_lock lock(m_mutex);
              if (!m_done.wait_for(lock, limit, [this] { return m_finished; })) {
                  std::fprintf(stderr, "FAIL: the window's thread froze\n");
                  std::abort();
              }
          })
    {
    }
    ~FreezeGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_one();
        m_thread.join();
    }
    FreezeGuard(const FreezeGuard&) = delete;
    FreezeGuard& operator=(const FreezeGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};
}

class PlayerSeekTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void theBarSeeksAndTheTimeRunsOnFromThere();
    void aClickOnThePositionBarJumpsThere();
    void fullScreenAndBackContinueTheItemWhereItWas();
    void switchingToAndFroInARowNeverFreezesTheWindow();
    void aStopHoldsTheMovieUntilItPlaysAgain();
    void lockingWhileAMoviePlaysFullScreen();
    void aPauseLongerThanTheServerWaitsPlaysOn();
    void aClosedPlayerIsTakenDownWithoutFetching();

private:
    // Plays the movie and waits until it has played `seconds`.
    void PlayMovie(PlayerWindow& window, double seconds);
    // After a switch that reopened the item: it plays again, from `from` on.
    void VerifyContinuesFrom(PlayerWindow& window, double from);

    std::unique_ptr<TempDir> m_dir;
    std::string m_movie;
};

void PlayerSeekTest::initTestCase()
{
    // No sound server: not even the desktop's.
    m_dir = std::make_unique<TempDir>();
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + (*m_dir / "none").string()));
    WriteFile(*m_dir / "machine.ini", "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n");
    qputenv(MachineInfo::kOverrideVariable, QByteArray::fromStdString((*m_dir / "machine.ini").string()));
    // Long enough that no test reaches its end on a loaded machine.
    m_movie = MakeAvi(30);
}

void PlayerSeekTest::cleanupTestCase()
{
    qunsetenv("PULSE_SERVER");
    qunsetenv(MachineInfo::kOverrideVariable);
}

void PlayerSeekTest::PlayMovie(PlayerWindow& window, double seconds)
{
    window.DoubleClickItem(window.AddItem(m_movie, "movie.avi"));
    QVERIFY2(window.WaitForState("Playing"), qPrintable(window.StateText()));
    QVERIFY(window.WaitFor([&] { return window.Position() >= seconds; }));
}

void PlayerSeekTest::VerifyContinuesFrom(PlayerWindow& window, double from)
{
    TMediaEngine& engine = window.Host().ModernPlayer()->Engine();
    QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && engine.Status() != MediaStatus::Loading; }));
    QElapsedTimer clock;
    clock.start();
    const double first = window.Position();
    QVERIFY2(std::abs(first - from) < 1.0, qPrintable(QString("first %1, from %2").arg(first).arg(from)));
    QVERIFY(window.WaitFor([&] { return window.Position() > first + 0.3; }));
    // Played on from there, not from the start.
    QVERIFY(window.Position() >= from - 1.0);
    QVERIFY(window.Position() <= from + 1.0 + clock.elapsed() / 1000.0);
}

void PlayerSeekTest::theBarSeeksAndTheTimeRunsOnFromThere()
{
    PlayerWindow window;
    PlayMovie(window, 1);
    const double duration = window.Host().MediaDuration;
    QVERIFY(duration > 11);
    const double target = BarPosition(duration, 7000);

    QString preview;
    window.DragPositionBar(7000, false, [&] {
        QCOMPARE(window.Host().SeekDragging, 1);
        preview = window.LabelText("statuslabel3");
    });
    QCOMPARE(preview, QString::fromStdString(FormatPlayTime(target)));

    QVERIFY(window.WaitFor([&] { return std::abs(window.Position() - target) < 1.0; }));
    // The time and the bar run on from the new place.
    const QString later = QString::fromStdString(FormatPlayTime(target + 1.5));
    QVERIFY2(window.WaitFor([&] { return window.LabelText("statuslabel3") >= later; }),
             qPrintable(window.LabelText("statuslabel3")));
    QVERIFY(window.Slider("progressbar")->value() > 7000);
    QCOMPARE(window.Host().SeekDragging, 0);
    QVERIFY(window.LabelText("statuslabel3") <= QString::fromStdString(FormatPlayTime(duration)));
}

// A click beside the handle puts the position where the click was, in the window and
// full screen, as media players do (not a page step towards it).
void PlayerSeekTest::aClickOnThePositionBarJumpsThere()
{
    PlayerWindow window;
    PlayMovie(window, 1);
    const double duration = window.Host().MediaDuration;
    for (const bool fullScreen : {false, true}) {
        if (fullScreen) {
            window.Main().btnFullScreen->click();
            QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && window.Position() > 0.5; }));
        }
        auto* bar = qobject_cast<QSlider*>(window.Slider("progressbar", fullScreen));
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        const QRect groove = bar->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, bar);
        const double share = fullScreen ? 0.4 : 0.75;
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          QPoint(groove.left() + int(groove.width() * share), groove.center().y()));
        const double target = duration * share;
        QVERIFY2(window.WaitFor([&] { return std::abs(window.Position() - target) < 2.0; }),
                 qPrintable(QString("at %1 s, clicked at %2 s").arg(window.Position()).arg(target)));
        QCOMPARE(window.Host().SeekDragging, 0);
        QVERIFY(window.WaitFor([&] { return window.Position() > target - 2.0 + 0.5; }));   // and plays on
    }
}

void PlayerSeekTest::fullScreenAndBackContinueTheItemWhereItWas()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    TfrmFullScreen& fullScreen = host.FullScreenForm();
    PlayMovie(window, 2);
    window.Click("muteswitch");   // muted before entering
    QVERIFY(host.Muted);

    double remembered = window.Position();
    window.Main().btnFullScreen->click();
    QVERIFY(host.FullScreenActive);
    QVERIFY(fullScreen.isVisible());
    QCOMPARE(host.Control()->window(), static_cast<QWidget*>(&fullScreen));
    // The picture goes to the display the full-screen window shows.
    std::optional<PictureWatch> pictures(std::in_place, window, kMovieSize);
    QVERIFY(!window.Button("muteswitch", true)->isChecked());   // off: muted
    QVERIFY(host.ModernPlayer()->settings().mute());
    VerifyContinuesFrom(window, remembered);
    QVERIFY(window.WaitFor([&] { return pictures->Seen(); }));
    QVERIFY(host.ModernPlayer()->settings().mute());   // the reopened item stays muted
    // The full-screen skin shows the time while it is in use.
    QVERIFY(window.WaitFor([&] { return !window.LabelText("statuslabel3", true).isEmpty() &&
                                        window.LabelText("statuslabel3", true) != "00:00"; }));

    // The full-screen volume moves the main slider, which sets the volume and the sound on.
    window.Slider("volumizer", true)->setValue(30);
    QCOMPARE(window.Slider("volumizer")->value(), 30);
    QCOMPARE(host.CurrentVolume, 30);
    QVERIFY(!host.Muted);
    QVERIFY(window.Button("muteswitch", true)->isChecked());

    // The full-screen bar's pause works both ways.
    window.Click("pausebutton", true);
    QVERIFY2(window.WaitForState("Paused"), qPrintable(DescribeEngine(window)));
    QVERIFY(!host.tmrProgress.isActive());
    window.Click("pausebutton", true);
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY(host.tmrProgress.isActive());

    // Escape released in the full-screen window: back on the Playing page, same place.
    remembered = window.Position();
    QTest::keyRelease(&fullScreen, Qt::Key_Escape);
    QVERIFY(!host.FullScreenActive);
    QVERIFY(!fullScreen.isVisible());
    QCOMPARE(host.Control()->parentWidget(), static_cast<QWidget*>(window.Main().pnlMoviePlayer));
    pictures.emplace(window, kMovieSize);
    QVERIFY(window.Button("muteswitch")->isChecked());
    VerifyContinuesFrom(window, remembered);
    QVERIFY(window.WaitFor([&] { return pictures->Seen(); }));

    // And in again; its stop resets only its own position bar; out by the close button.
    window.Main().btnFullScreen->click();
    QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && window.Slider("progressbar", true)->value() > 0; }));
    const int mainBar = window.Slider("progressbar")->value();
    window.Click("stopbutton", true);
    QVERIFY(window.WaitForState("Stopped"));
    QCOMPARE(window.Slider("progressbar", true)->value(), 0);
    QCOMPARE(window.Slider("progressbar")->value(), mainBar);
    QVERIFY(!host.tmrProgress.isActive());
    window.Click("closebutton", true);
    QVERIFY(!host.FullScreenActive && !fullScreen.isVisible());
}

// Each switch stops the movie and opens it again at once. GStreamer's AVI reader
// seeks on its own thread just after a stop; taking the player down while that seek
// is under way could leave the window waiting for ever.
void PlayerSeekTest::switchingToAndFroInARowNeverFreezesTheWindow()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    PlayMovie(window, 0.5);
    for (int round = 0; round < 10; ++round) {
        const double before = window.Position();
        {
            const FreezeGuard guard(std::chrono::seconds(20));
            if (host.FullScreenActive)
                QTest::keyRelease(&host.FullScreenForm(), Qt::Key_Escape);
            else
                window.Main().btnFullScreen->click();
        }
        QCOMPARE(host.FullScreenActive, round % 2 == 0);
        QVERIFY2(window.WaitFor([&] { return window.StateText() == "Playing" && window.Position() > before + 0.1; }),
                 qPrintable(QString("round %1: %2").arg(round).arg(DescribeEngine(window))));
    }
}

// A stop that seeks at once makes GStreamer's AVI reader fetch from the stream again
// while the item may be closing (see switchingToAndFroInARowNeverFreezesTheWindow):
// the stop holds the movie where it is, and only playing again goes back to the start.
void PlayerSeekTest::aStopHoldsTheMovieUntilItPlaysAgain()
{
    PlayerWindow window;
    const TVideoStreamServ& server = window.Main().StreamServer();
    PlayMovie(window, 1.5);
    QTest::qWait(300);   // the reader has settled after its start
    const int served = server.ServedConnections();
    window.Click("stopbutton");
    QVERIFY(window.WaitForState("Stopped"));
    QCOMPARE(window.Position(), 0.0);
    QTest::qWait(500);
    QCOMPARE(server.ServedConnections(), served);   // nothing fetched for the stop

    window.Click("playbutton");
    QVERIFY(window.WaitForState("Playing"));
    QVERIFY2(window.WaitFor([&] { return window.Position() > 0.2; }), qPrintable(DescribeEngine(window)));
    QVERIFY2(window.Position() < 1.2, qPrintable(QString("played on from %1").arg(window.Position())));
}

void PlayerSeekTest::lockingWhileAMoviePlaysFullScreen()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    PlayMovie(window, 1);
    window.Main().btnFullScreen->click();
    QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && host.Control()->isVisible(); }));

    window.Main().actFileBoss->trigger();
    TMediaEngine& engine = host.ModernPlayer()->Engine();
    QCOMPARE(engine.Playback(), MediaPlayback::Stopped);
    QVERIFY(!host.FullScreenActive);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible())
            QCOMPARE(top, static_cast<QWidget*>(window.Main().LockStandIn()));
    }

    WhenPasswordPromptOpens([](TfrmPassword& form) {
        form.txtPass->setText(QLatin1String(kPassword));
        form.btnOKClick();
    });
    window.Main().LockStandIn()->showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(window.Main().isVisible(), PlayerWindow::kPatienceMs);
    QCOMPARE(window.Main().CurrentPage(), 1);
    QCOMPARE(host.Control()->parentWidget(), static_cast<QWidget*>(window.Main().pnlMoviePlayer));
    QVERIFY(!host.FullScreenForm().isVisible());
    QCOMPARE(engine.Playback(), MediaPlayback::Stopped);
    QCOMPARE(window.StateText(), QString("Stopped"));
}

// The server drops a player that takes nothing for its idle time (here 1 s instead of
// 30 s). A pause longer than that must not cost the item: once the player has used
// what it holds, it connects again for the rest and plays on.
void PlayerSeekTest::aPauseLongerThanTheServerWaitsPlaysOn()
{
    using namespace std::chrono_literals;
    PlayerWindow window({}, 1s);
    const TVideoStreamServ& server = window.Main().StreamServer();
    QSignalSpy errors(window.Host().ModernPlayer(), &TModernMediaPlayer::OnError);
    // Paused at once, and far bigger than what the player and the sockets hold (4 to
    // 12 MB seen), so the server is still sending when the pause begins: 24 MB, 32 s.
    const double seconds = 32;
    window.DoubleClickItem(window.AddItem(MakeWav(seconds, 192000, 2), "long.wav"));
    QVERIFY(window.WaitForState("Playing"));
    window.Click("pausebutton");
    QVERIFY2(window.WaitForState("Paused"), qPrintable(window.StateText()));
    const double pausedAt = window.Position();
    QVERIFY(window.WaitFor([&] { return server.LiveConnections() == 0; }));   // dropped
    QCOMPARE(window.StateText(), QString("Paused"));

    window.Click("pausebutton");
    QVERIFY(window.WaitForState("Playing"));
    double last = window.Position();
    bool forwardOnly = true;
    const auto sample = [&] {
        const double now = window.Position();
        forwardOnly = forwardOnly && now >= last - 0.05 && now >= pausedAt - 0.05;
        last = now;
    };
    QVERIFY2(window.WaitFor([&] { sample(); return server.LiveConnections() > 0 || window.Host().MediaEnded; }),
             qPrintable(QString("%1 at %2").arg(window.StateText()).arg(window.Position())));
    // An end here: the player did not connect again (or the whole item had come before
    // the pause, and nothing was tested).
    QVERIFY2(!window.Host().MediaEnded, qPrintable(QString("ended at %1 of %2 s with no new connection")
                                                       .arg(window.Position()).arg(seconds)));
    const double reconnectedAt = window.Position();
    // Played on past the place where the first connection was dropped.
    QVERIFY2(window.WaitFor([&] { sample(); return window.Position() > reconnectedAt + 2; }),
             qPrintable(QString("%1 at %2").arg(window.StateText()).arg(window.Position())));
    QVERIFY2(forwardOnly, qPrintable(QString("went back to %1 after %2").arg(last).arg(pausedAt)));
    QCOMPARE(window.StateText(), QString("Playing"));
    QCOMPARE(errors.count(), 0);
}

// A closed item's player is taken down after a rest. Qt flushes a pipeline with a seek
// whenever one of its outputs goes, and its player's destructor takes the sound output
// off: that seek set the HTTP source fetching a few milliseconds before the pipeline
// went, and a request cut off there could crash inside libsoup. Taking the player down
// must fetch nothing.
void PlayerSeekTest::aClosedPlayerIsTakenDownWithoutFetching()
{
    PlayerWindow window;
    const TVideoStreamServ& server = window.Main().StreamServer();
    TMediaEngine& engine = window.Host().ModernPlayer()->Engine();
    const int movie = window.AddItem(m_movie, "movie.avi");
    for (int round = 0; round < 3; ++round) {
        window.DoubleClickItem(movie);
        QVERIFY2(window.WaitFor([&] { return window.StateText() == "Playing" && window.Position() >= 1; }),
                 qPrintable(DescribeEngine(window)));
        window.Host().StopAndClearPlayer();   // as the play list does when it ends
        QCOMPARE(engine.ClosedPlayersResting(), 1);
        // What was fetched until just before the player went; its own closing fetches at once.
        int servedBefore = server.ServedConnections();
        QVERIFY(window.WaitFor([&] {
            if (engine.ClosedPlayersResting() == 0)
                return true;
            servedBefore = server.ServedConnections();
            return false;
        }));
        QTest::qWait(500);
        QVERIFY2(server.ServedConnections() == servedBefore,
                 qPrintable(QString("round %1: %2 requests as the player went")
                                .arg(round)
                                .arg(server.ServedConnections() - servedBefore)));
    }
}

QTEST_MAIN(PlayerSeekTest)
#include "PlayerSeekTest.moc"
