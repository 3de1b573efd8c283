// The main window on a real X server without a window manager (Xvfb started here):
// what the window system does with the pointer and the windows, which the offscreen
// platform does not show.
#include "app/MainWindow.h"
#include "app/SkinTitleBar.h"
#include "dialogs/MessageForm.h"
#include "dialogs/VelmoraApplication.h"

#include "app/MainWindowSession.h"
#include "support/XDesktop.h"

#include <QCursor>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QtTest>

#include <cstdio>
#include <memory>

using namespace velmora;
using velmora::test::Session;

namespace {
// The server the whole test runs on; its pointer and keyboard are the user's.
velmora::test::XDesktop* desktop = nullptr;
}

class MainWindowX11Test : public QObject {
    Q_OBJECT
private slots:
    void helpButtonIsNotLeftHoveredWhenItsMenuCloses();
    void pageButtonsFollowThePageAfterTheSaveQuestion_data();
    void pageButtonsFollowThePageAfterTheSaveQuestion();
};

void MainWindowX11Test::helpButtonIsNotLeftHoveredWhenItsMenuCloses()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    QToolButton* help = main.TitleArea->HelpButton();
    const QPoint on = help->mapToGlobal(help->rect().center());
    desktop->Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(on.x()),
                                             QString::number(on.y()), QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY(main.helpPop->isVisible());

    // The user moves away, over the window, and closes the menu with Escape.
    const QPoint away = main.mapToGlobal(QPoint(main.width() / 4, main.height() / 2));
    desktop->Run(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QString::number(away.x()), QString::number(away.y())});
    QTRY_COMPARE(QCursor::pos(), away);
    desktop->Key(QStringLiteral("Escape"));
    QTRY_VERIFY(!main.helpPop->isVisible());
    QTRY_VERIFY(!help->underMouse());
}

void MainWindowX11Test::pageButtonsFollowThePageAfterTheSaveQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("Yes") << QStringLiteral("Return");
    QTest::newRow("No") << QStringLiteral("Escape");
}

void MainWindowX11Test::pageButtonsFollowThePageAfterTheSaveQuestion()
{
    QFETCH(QString, answer);
    Session session;
    session.programMessageBoxes = true;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    const auto click = [&](QWidget* widget) {
        const QPoint on = widget->mapToGlobal(widget->rect().center());
        desktop->Run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(on.x()),
                                                 QString::number(on.y()), QStringLiteral("click"),
                                                 QStringLiteral("1")});
    };

    click(main.TitleArea->PageButton(3));
    QTRY_COMPARE(main.CurrentPage(), 3);
    auto* name = main.findChild<QLineEdit*>(QStringLiteral("txtAppName"));
    QVERIFY(name != nullptr);
    click(name);
    QTRY_VERIFY(name->hasFocus());
    desktop->Type(QStringLiteral(" changed"));
    QTRY_VERIFY(name->text().endsWith(QStringLiteral(" changed")));

    // The question comes on releasing the "Library" button; the user answers it with
    // the keyboard.
    QString asked;
    QTimer answering;
    answering.setInterval(20);
    connect(&answering, &QTimer::timeout, this, [&] {
        auto* box = qobject_cast<TmessageForm*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isActiveWindow())
            return;
        answering.stop();
        asked = box->Message();
        desktop->Key(answer);
    });
    answering.start();
    click(main.TitleArea->PageButton(2));
    QTRY_VERIFY(!asked.isEmpty());
    QVERIFY(asked.contains(QStringLiteral("Would you like to save the changes?")));
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);

    QCOMPARE(main.CurrentPage(), 2);
    QTRY_VERIFY(main.TitleArea->PageButton(2)->isChecked());
    QVERIFY(!main.TitleArea->PageButton(3)->isChecked());
    QVERIFY(!main.TitleArea->PageButton(1)->isChecked());
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
    MainWindowX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainWindowX11Test.moc"
