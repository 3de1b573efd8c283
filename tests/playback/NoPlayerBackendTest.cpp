// Qt Multimedia without any backend (QT_MEDIA_BACKEND names none that exists, set by
// the test's ctest entry): Qt would end the process at the first player made. The
// program tells the user once and goes on without a player; every player command is
// harmless.
#include "PlayerWindow.h"

#include "app/TaskbarStandIn.h"
#include "dialogs/PasswordForm.h"
#include "playback/FullScreen.h"
#include "playback/MediaEngine.h"
#include "playback/PlayerHost.h"

#include <QAbstractSlider>
#include <QAction>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest/QtTest>

using namespace velmora;
using namespace velmora::test;

class NoPlayerBackendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void theProgramGoesOnWithoutAPlayer();
};

void NoPlayerBackendTest::initTestCase()
{
    qputenv("QT_MEDIA_BACKEND", "none");
    QVERIFY(!TMediaEngine::BackendAvailable());
}

void NoPlayerBackendTest::theProgramGoesOnWithoutAPlayer()
{
    PlayerWindow window;
    PlayerHost& host = window.Host();
    QVERIFY(!host.HasPlayer());
    QCOMPARE(host.DefaultPlayerVersion, 7);   // the modern player is not installed
    QCOMPARE(window.Boxes().messages.size(), std::size_t(1));
    QCOMPARE(window.Boxes().messages.front().text,
             std::string("Critical Error: Could not instantiate Media Player\r\n\r\n"
                         "If the problem persists please ensure that media player is installed"));
    QCOMPARE(window.Boxes().messages.front().flags, 0);

    const int ident = window.AddItem("not really a song", "song.mp3");
    window.DoubleClickItem(ident);
    QCOMPARE(window.Main().CurrentPage(), 1);
    for (const char* button : {"playbutton", "pausebutton", "stopbutton", "nextbutton", "backbutton", "muteswitch"})
        window.Click(button);
    window.DragPositionBar(5000);
    window.Slider("volumizer")->setValue(20);
    for (QAction* entry : {window.Main().Play1, window.Main().Pause1, window.Main().Stop1, window.Main().Mute1})
        entry->trigger();
    window.Main().OpenMediaItem(ident);
    window.Main().StopAndClearPlayer();
    window.Main().btnFullScreen->click();
    QVERIFY(!host.FullScreenForm().isVisible());
    host.RefreshPlayerFocus();
    QTest::qWait(300);   // a few progress-timer periods, were the timer running
    QCOMPARE(window.LabelText("statuslabel3"), QString("00:00"));

    window.Main().actFileBoss->trigger();
    QVERIFY(!window.Main().isVisible());
    WhenPasswordPromptOpens([](TfrmPassword& form) {
        form.txtPass->setText(QLatin1String(kPassword));
        form.btnOKClick();
    });
    window.Main().LockStandIn()->showNormal();
    QTRY_VERIFY_WITH_TIMEOUT(window.Main().isVisible(), PlayerWindow::kPatienceMs);
    QCOMPARE(window.Boxes().messages.size(), std::size_t(1));
}

QTEST_MAIN(NoPlayerBackendTest)
#include "NoPlayerBackendTest.moc"
