// The lock key as the user presses it, on a real X server without a window manager
// (Xvfb started here): Ctrl+B typed into whichever window of the program has the
// keyboard, and what stays on the screen afterwards.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "app/TaskbarStandIn.h"
#include "dialogs/VelmoraApplication.h"
#include "playback/FullScreen.h"
#include "playback/PlayerHost.h"
#include "playback/Preview.h"
#include "store/AddItemOnThread.h"
#include "store/MemoryStream.h"

#include "app/MainWindowSession.h"
#include "playback/TestPictures.h"
#include "support/XDesktop.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest/QtTest>

#include <cstdio>

using namespace velmora;
using velmora::test::Session;

namespace {

// The server the whole test runs on; its keyboard is the user's.
velmora::test::XDesktop* desktop = nullptr;

QString WindowId(const QWidget& window)
{
    return QString::number(window.winId());
}

// The program's windows the user can see: mapped top-level windows of this process.
QStringList VisibleWindows()
{
    return desktop->VisibleWindowsOf(QCoreApplication::applicationPid());
}

void AddPicture(const std::string& fileName)
{
    MemoryStream source(test::EncodedPicture(test::TwoColourPicture(64, 48), "JPG"));
    if (!AddItemOnThread(std::nullopt, source, fileName, -1, fileName))
        qFatal("item not added");
}

enum class Place { PlayingPage, LibraryPage, SettingsPage, FullScreen, Slideshow, ProgressWindow };

} // namespace

Q_DECLARE_METATYPE(Place)

class MainLockX11Test : public QObject {
    Q_OBJECT
private slots:
    void lockKeyWorksInEveryWindow_data();
    void lockKeyWorksInEveryWindow();
};

void MainLockX11Test::lockKeyWorksInEveryWindow_data()
{
    QTest::addColumn<Place>("place");
    QTest::newRow("Playing page") << Place::PlayingPage;
    QTest::newRow("Library page") << Place::LibraryPage;
    QTest::newRow("Settings page") << Place::SettingsPage;
    QTest::newRow("full screen") << Place::FullScreen;
    QTest::newRow("slideshow") << Place::Slideshow;
    QTest::newRow("progress window of a long add") << Place::ProgressWindow;
}

void MainLockX11Test::lockKeyWorksInEveryWindow()
{
    QFETCH(Place, place);
    Session session;
    TfrmMain& main = session.Open();
    AddPicture("holiday.jpg");
    session.ShowAndActivate();

    // The window the user is in when the key is pressed.
    QWidget* window = &main;
    switch (place) {
    case Place::PlayingPage:
        main.SelectPage(1);
        break;
    case Place::LibraryPage:
        main.SelectPage(2);
        main.mainList->setFocus();
        break;
    case Place::SettingsPage: {
        main.SelectPage(3);
        auto* name = main.findChild<QLineEdit*>(QStringLiteral("txtAppName"));
        QVERIFY(name != nullptr);
        name->setFocus();
        break;
    }
    case Place::FullScreen:
        main.SetFullScreen(true);
        window = &main.Player().FullScreenForm();
        break;
    case Place::Slideshow:
        main.SelectPage(2);
        main.doViewSlideshow();
        window = &main.frmPreview();
        break;
    case Place::ProgressWindow:
        main.Progress().ShowProgress("Adding Files", false);
        main.Progress().SetProgressTotal("Adding 1 file", 1);
        main.Progress().SetProgressItem("a very big movie.avi", 100);
        window = velmora::test::ShownProgressWindow();
        QVERIFY(window != nullptr);
        break;
    }
    QTRY_VERIFY(window->isVisible());
    QTRY_VERIFY(VisibleWindows().contains(WindowId(*window)));

    desktop->Focus(WindowId(*window));
    QTRY_VERIFY(window->isActiveWindow());
    desktop->Key(QStringLiteral("ctrl+b"));

    QTRY_VERIFY(main.Locked());
    // Nothing of the library is left on the screen: only the stand-in, which asks for
    // the password.
    const QString standIn = WindowId(*main.LockStandIn());
    QTRY_COMPARE(VisibleWindows(), QStringList{standIn});
    if (place == Place::ProgressWindow) {
        // The operation stops at its next check.
        QVERIFY(main.Progress().ProgressCancelled());
        main.Progress().HideProgress();
    }
}

int main(int argc, char** argv)
{
    // A server of its own: tests of other builds may run beside this one.
    velmora::test::XDesktop server;
    if (server.Display().isEmpty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        return 1;
    }
    desktop = &server;
    qputenv("DISPLAY", server.Display().toLatin1());
    qputenv("QT_QPA_PLATFORM", "xcb");
    VelmoraApplication app(argc, argv);
    MainLockX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainLockX11Test.moc"
