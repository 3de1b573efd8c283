// What the screen of a real X server (Xvfb started here) shows of the player: the
// movie's picture in the window and full screen, read back from the screen itself, not
// from what the video widget was handed. The offscreen platform draws no video window.
#include "PlayerWindow.h"
#include "ScreenPixels.h"
#include "TestMedia.h"

#include "dialogs/VelmoraApplication.h"
#include "platform/MachineInfo.h"
#include "playback/FullScreen.h"
#include "playback/ModernMediaPlayer.h"
#include "playback/PlayerHost.h"
#include "support/XDesktop.h"

#include <QToolButton>
#include <QtTest/QtTest>

#include <cstdio>
#include <memory>

using namespace velmora;
using namespace velmora::test;

namespace {

// The colour bars fill the picture; the pane around it is black.
constexpr double kPictureShown = 0.3;

} // namespace

class PlayerScreenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void thePictureShowsFullScreenAndBackAndForTheNextMovie();

private:
    // Waits until the video area shows the picture; fails with what it showed last.
    void VerifyPictureShows(PlayerWindow& window, const char* where);

    std::unique_ptr<TempDir> m_dir;
    std::string m_movie;
};

void PlayerScreenTest::initTestCase()
{
    // No sound server: GStreamer's own sink keeps the clock.
    m_dir = std::make_unique<TempDir>();
    qputenv("PULSE_SERVER", QByteArray::fromStdString("unix:" + (*m_dir / "none").string()));
    WriteFile(*m_dir / "machine.ini", "[{6BF52A52-394A-11d3-B153-00C04F79FAA6}]\nIsInstalled=1\nVersion=9,0,0,0\n");
    qputenv(MachineInfo::kOverrideVariable, QByteArray::fromStdString((*m_dir / "machine.ini").string()));
    m_movie = MakeColourBarAvi(60);
}

void PlayerScreenTest::cleanupTestCase()
{
    qunsetenv("PULSE_SERVER");
    qunsetenv(MachineInfo::kOverrideVariable);
}

void PlayerScreenTest::VerifyPictureShows(PlayerWindow& window, const char* where)
{
    double lit = 0;
    const bool shown = window.WaitFor([&] {
        QWidget* control = window.Host().Control();
        lit = control->isVisible() ? LitShare(control) : 0;
        return lit > kPictureShown;
    });
    QVERIFY2(shown, qPrintable(QString("%1: %2 of the video area lit").arg(where).arg(lit)));
}

void PlayerScreenTest::thePictureShowsFullScreenAndBackAndForTheNextMovie()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    const int first = window.AddItem(m_movie, "first.avi");
    const int second = window.AddItem(m_movie, "second.avi");
    window.DoubleClickItem(first);
    QVERIFY(window.WaitForState("Playing"));
    VerifyPictureShows(window, "in the window");
    if (QTest::currentTestFailed())
        return;

    for (int round = 1; round <= 2; ++round) {
        window.Main().btnFullScreen->click();
        QVERIFY(host.FullScreenActive);
        QVERIFY(QTest::qWaitForWindowExposed(&host.FullScreenForm()));
        VerifyPictureShows(window, round == 1 ? "full screen" : "full screen again");
        if (QTest::currentTestFailed())
            return;
        QTest::keyRelease(&host.FullScreenForm(), Qt::Key_Escape);
        QVERIFY(!host.FullScreenActive);
        VerifyPictureShows(window, round == 1 ? "back in the window" : "back in the window again");
        if (QTest::currentTestFailed())
            return;
    }

    window.DoubleClickItem(second);
    QVERIFY(window.WaitFor([&] { return window.StateText() == "Playing" && window.Position() > 0.5; }));
    VerifyPictureShows(window, "the next movie");
}

int main(int argc, char** argv)
{
    // A server of its own: tests of other builds may run beside this one.
    XDesktop server;
    if (server.Display().isEmpty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    qputenv("DISPLAY", server.Display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    VelmoraApplication app(argc, argv);
    PlayerScreenTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "PlayerScreenTest.moc"
