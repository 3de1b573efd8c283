// The player host opening and playing a movie item from the stream server, in the main
// window (offscreen), as bench/player-vs-file.sh drives it:
//
//   player_bench open DATA_DIR ITEM            time from OpenMediaItem + play to the first
//                                              "Playing" and to the first video frame; the
//                                              longest event-loop stall while opening, while
//                                              seeking five times and while opening the
//                                              item again as it plays
//   player_bench play DATA_DIR ITEM SECONDS    plays the item from the stream that long, with
//                                              a seek to 90% half way; prints the peak memory
//   player_bench play-file DATA_DIR FILE SECONDS   the same from a file on disk, same player
//   player_bench fullscreen DATA_DIR ITEM      on a real X server (QT_QPA_PLATFORM=xcb): time
//                                              from entering full screen, and from leaving
//                                              it, to the movie's picture lit on the screen,
//                                              three rounds
//   player_bench rate DATA_DIR ITEM SECONDS    plays the item from the stream that long: time
//                                              to "Playing", the longest event-loop stall, the
//                                              times the player waited for data once playing
//   player_bench rate-file DATA_DIR FILE SECONDS   the same from a file on disk, same player
//   player_bench damaged DATA_DIR BAD GOOD     a play list of an item that cannot play and a
//                                              good one: time from the list's start to the
//                                              good item playing
//
// VELMORA_PASSWORD is the library's password.
#include "app/MainWindow.h"
#include "ui/MessageBoxes.h"
#include "platform/Skin.h"
#include "playback/MediaEngine.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/FullScreen.h"
#include "playback/PlayerHost.h"
#include "playback/Playlist.h"
#include "playback/StreamItemIdent.h"
#include "store/LibraryFiles.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

using namespace velmora;

namespace {

class SilentBoxes : public MessageBoxes {
public:
    int ShowMessageBox(const std::string& text, int) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return mb::kResultOk;
    }
};

// The longest gap between two turns of the event loop, measured by a 1 ms timer.
class StallMeter : public QObject {
public:
    StallMeter()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = std::max(m_longest, m_clock.restart());
        });
    }
    void Start()
    {
        m_longest = 0;
        m_clock.start();
        m_timer.start();
    }
    qint64 Stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 120000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

long PeakKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

int Fail(const char* what)
{
    std::fprintf(stderr, "player_bench: %s\n", what);
    return 1;
}

int Open(TfrmMain& main, int item)
{
    PlayerHost& host = main.Player();
    TModernMediaPlayer& player = *host.ModernPlayer();
    auto* video = qobject_cast<QVideoWidget*>(player.Control());
    QElapsedTimer clock;
    qint64 firstFrame = -1;
    QObject::connect(video->videoSink(), &QVideoSink::videoFrameChanged, [&](const QVideoFrame& frame) {
        if (firstFrame < 0 && frame.isValid())
            firstFrame = clock.elapsed();
    });
    StallMeter stalls;
    stalls.Start();
    clock.start();
    host.PlayItem(item);   // OpenMediaItem, then play
    if (!WaitFor([&] { return player.playState() == 3; }))
        return Fail("the item never played");
    const qint64 playing = clock.elapsed();
    if (!WaitFor([&] { return firstFrame >= 0; }))
        return Fail("no video frame");
    WaitFor([&] { return player.controls().currentPosition() > 2; });
    const qint64 openStall = stalls.Stop();

    // Seeks as the position bar makes them, each until playing at the new place.
    stalls.Start();
    QElapsedTimer seeking;
    seeking.start();
    for (int bar : {1000, 8000, 3000, 9500, 5000}) {
        const double target = host.MediaDuration * bar / 10000;
        auto* progress = main.findChild<QAbstractSlider*>(QStringLiteral("progressbar"));
        progress->setValue(bar);
        host.spDynamicSkinForm1MouseUpEvent(QStringLiteral("progressbar"));
        if (!WaitFor([&] {
                const double at = player.controls().currentPosition();
                return at > target + 0.3 && at < target + 2;
            })) {
            std::fprintf(stderr, "seek to %.1f s: at %.1f s\n", target, player.controls().currentPosition());
            return Fail("a seek did not land");
        }
    }
    const qint64 seekStall = stalls.Stop();

    // Opening again while it plays, as the next entry of a play list opens: the playing
    // item is stopped and cleared first.
    stalls.Start();
    clock.restart();
    host.PlayItem(item);
    if (!WaitFor([&] { return player.playState() == 3 && player.controls().currentPosition() > 0.5; }))
        return Fail("the item never played again");
    const qint64 reopen = clock.elapsed();
    const qint64 reopenStall = stalls.Stop();
    std::printf("open to \"Playing\":           %6lld ms\n", playing);
    std::printf("open to first video frame:    %6lld ms\n", firstFrame);
    std::printf("longest stall while opening:  %6lld ms\n", openStall);
    std::printf("longest stall, five seeks:    %6lld ms (%lld ms for the five)\n", seekStall, seeking.elapsed());
    std::printf("opened again while playing:   %6lld ms to 0.5 s played, longest stall %lld ms\n", reopen, reopenStall);
    return 0;
}

// The share of the widget's pixels on the screen that are not black.
double LitShare(const QWidget* widget)
{
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    const QImage image = widget->screen()
                             ->grabWindow(0, origin.x(), origin.y(), widget->width(), widget->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (image.isNull())
        return 0;
    qint64 lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            lit += std::max({qRed(line[x]), qGreen(line[x]), qBlue(line[x])}) > 40 ? 1 : 0;
    }
    return double(lit) / (double(image.width()) * image.height());
}

bool PictureLit(PlayerHost& host)
{
    QWidget* control = host.Control();
    return control != nullptr && control->isVisible() && LitShare(control) > 0.3;
}

int FullScreen(TfrmMain& main, int item)
{
    PlayerHost& host = main.Player();
    main.PlayList().Insert(-1, "movie", item);
    main.PlayList().PlayPlaylist();
    if (!WaitFor([&] { return PictureLit(host); }))
        return Fail("no picture in the window");
    for (int round = 1; round <= 3; ++round) {
        QElapsedTimer clock;
        clock.start();
        host.SetFullScreen(true);
        if (!WaitFor([&] { return PictureLit(host); }, 30000))
            return Fail("full screen stays black");
        const qint64 in = clock.elapsed();
        clock.restart();
        emit host.FullScreenForm().LeaveRequested();
        if (!WaitFor([&] { return PictureLit(host); }, 30000))
            return Fail("the window stays black after full screen");
        std::printf("round %d: full screen to picture %5lld ms, back to picture %5lld ms\n", round, in,
                    clock.elapsed());
    }
    return 0;
}

int Damaged(TfrmMain& main, int bad, int good)
{
    PlayerHost& host = main.Player();
    TModernMediaPlayer& player = *host.ModernPlayer();
    main.PlayList().Insert(-1, "damaged", bad);
    main.PlayList().Insert(0, "good", good);
    QElapsedTimer clock;
    clock.start();
    main.PlayList().PlayPlaylist();
    if (!WaitFor([&] { return host.ItemFailed(); }, 60000))
        return Fail("the damaged item never ended");
    const qint64 failed = clock.elapsed();
    if (!WaitFor([&] { return StreamItemIdent == good && player.playState() == 3; }, 60000))
        return Fail("the good item never played");
    std::printf("damaged item ended after %5lld ms; next item playing after %5lld ms\n", failed, clock.elapsed());
    return 0;
}

int Play(TfrmMain& main, const std::function<void()>& start, double seconds)
{
    PlayerHost& host = main.Player();
    TModernMediaPlayer& player = *host.ModernPlayer();
    start();
    if (!WaitFor([&] { return player.Engine().Playback() == MediaPlayback::Playing && player.controls().currentPosition() > 0.5; }))
        return Fail("the item never played");
    QElapsedTimer clock;
    clock.start();
    bool sought = false;
    WaitFor([&] {
        if (!sought && clock.elapsed() > seconds * 500) {
            player.controls().setCurrentPosition(player.currentMedia().duration * 0.9);
            sought = true;
        }
        return clock.elapsed() > seconds * 1000 || player.Engine().Status() == MediaStatus::EndOfMedia;
    }, int(seconds * 1000) + 60000);
    std::printf("played %.1f s, at %.1f of %.1f s; peak memory %ld KiB\n", clock.elapsed() / 1000.0,
                player.controls().currentPosition(), player.currentMedia().duration, PeakKib());
    return 0;
}

// Plays from start for seconds (or to the end): the time to "Playing", the longest gap
// of the event loop over the whole play, and how often the player's status fell back to
// buffering or stalled (it waited for data) after it first played.
int Rate(TfrmMain& main, const std::function<void()>& start, double seconds, const char* source)
{
    TModernMediaPlayer& player = *main.Player().ModernPlayer();
    StallMeter stalls;
    stalls.Start();
    QElapsedTimer clock;
    clock.start();
    start();
    if (!WaitFor([&] { return player.playState() == 3; }))
        return Fail("the item never played");
    const qint64 playing = clock.elapsed();
    int waits = 0;
    MediaStatus last = player.Engine().Status();
    clock.restart();
    WaitFor([&] {
        const MediaStatus now = player.Engine().Status();
        if (now != last && (now == MediaStatus::Buffering || now == MediaStatus::Stalled))
            ++waits;
        last = now;
        return clock.elapsed() > seconds * 1000 || now == MediaStatus::EndOfMedia;
    }, int(seconds * 1000) + 60000);
    const double played = player.controls().currentPosition();
    std::printf("%-6s to \"Playing\" %6lld ms; longest stall %5lld ms; waited for data %d times; "
                "at %.1f s after %.1f s\n",
                source, playing, stalls.Stop(), waits, played, clock.elapsed() / 1000.0);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Fail("usage: player_bench open|play|play-file DATA_DIR ITEM|FILE [SECONDS]");
    const std::string mode = argv[1];
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    SetDataDir(argv[2]);
    const char* password = std::getenv("VELMORA_PASSWORD");
    SilentBoxes boxes;
    MainWindowOptions options;
    options.streamPort = 0;
    options.boxes = &boxes;
    TfrmMain main(options);
    if (!main.LibraryOpened() || password == nullptr || !main.VerifyPassword(password))
        return Fail("the library did not open (VELMORA_PASSWORD?)");
    if (main.Player().ModernPlayer() == nullptr)
        return Fail("no modern player");
    main.show();
    main.Player().SetMute(true);   // nothing to hear

    const double seconds = argc > 4 && mode != "damaged" ? std::atof(argv[4]) : 20;
    if (mode == "open")
        return Open(main, std::atoi(argv[3]));
    if (mode == "play")
        return Play(main, [&] { main.Player().PlayItem(std::atoi(argv[3])); }, seconds);
    if (mode == "fullscreen")
        return FullScreen(main, std::atoi(argv[3]));
    if (mode == "damaged")
        return argc > 4 ? Damaged(main, std::atoi(argv[3]), std::atoi(argv[4])) : Fail("damaged needs BAD GOOD");
    if (mode == "rate")
        return Rate(main, [&] { main.Player().PlayItem(std::atoi(argv[3])); }, seconds, "stream");
    if (mode == "rate-file") {
        const QString url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[3])).toString();
        return Rate(main, [&] {
            TModernMediaPlayer& player = *main.Player().ModernPlayer();
            player.setURL(url);
            player.controls().play();
        }, seconds, "file");
    }
    if (mode == "play-file") {
        const QString url = QUrl::fromLocalFile(QString::fromLocal8Bit(argv[3])).toString();
        return Play(main, [&] {
            TModernMediaPlayer& player = *main.Player().ModernPlayer();
            player.setURL(url);
            player.controls().play();
        }, seconds);
    }
    return Fail("unknown mode");
}
