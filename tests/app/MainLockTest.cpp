// The start-up gate and the lock against what reaches a program that waits for its
// password: handed-over files, the bring-to-front message, a running operation, and
// the stand-in the user unlocks from.
#include "app/MainWindow.h"
#include "app/TaskbarStandIn.h"
#include "dialogs/ApplicationTitle.h"
#include "dialogs/PasswordForm.h"
#include "store/Query.h"

#include "app/MainWindowSession.h"
#include "support/TestSupport.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::kPassword;
using velmora::test::Session;
using velmora::test::WhenPasswordPromptOpens;

namespace {

int Items(TfrmMain& main)
{
    db::Query records(main.MainLibrary().MainConnection(), "Select count(*) as n from Record");
    return static_cast<int>(records.AsInteger("n"));
}

// Whatever the event loop holds runs now (queued hand-over work included).
void RunPendingEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void Answer(TfrmPassword& form, bool withPassword)
{
    if (withPassword) {
        form.txtPass->setText(QLatin1String(kPassword));
        form.btnOKClick();
    } else {
        form.btnCancelClick();
    }
}

} // namespace

class MainLockTest : public QObject {
    Q_OBJECT
private slots:
    void lockStopsTheRunningOperationAndHidesItsWindowAtOnce();
    void handOverToALockedProgramWaitsForThePassword_data();
    void handOverToALockedProgramWaitsForThePassword();
    void handOverDuringTheStartGateWaitsForIt_data();
    void handOverDuringTheStartGateWaitsForIt();
    void secondStartRestoresAMinimisedGate();
    void secondStartBringsTheMainWindowBack();
    void standInUnlocksOnAClickOrEnter_data();
    void standInUnlocksOnAClickOrEnter();

private:
    QTemporaryDir m_files;
    std::string Photo()
    {
        const std::string path = m_files.filePath(QStringLiteral("photo.jpg")).toStdString();
        velmora::test::WriteFile(path, "photo bytes");
        return path;
    }
};

void MainLockTest::lockStopsTheRunningOperationAndHidesItsWindowAtOnce()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    ProgressRoutines& progress = main.Progress();
    progress.ShowProgress("Adding Files", false);
    progress.SetProgressItem("a big movie.avi", 100);
    QWidget* window = velmora::test::ShownProgressWindow();
    QVERIFY(window != nullptr);
    QVERIFY(!progress.ProgressCancelled());

    main.actFileBoss->trigger();
    // The operation stops at its next check; the window naming its file goes now.
    QVERIFY(progress.ProgressCancelled());
    QVERIFY(!window->isVisible());
    // The file is still being stored: its steps do not bring the window back.
    progress.StepItemProgress();
    progress.SetProgressItem("a big movie.avi", -1);
    QVERIFY(!window->isVisible());

    // Unlocked before the operation ends: its window is back over the main window,
    // and the stop asked for still holds.
    WhenPasswordPromptOpens([](TfrmPassword& form) { Answer(form, true); });
    QTest::mouseClick(main.LockStandIn(), Qt::LeftButton);
    QTRY_VERIFY(main.isVisible());
    QVERIFY(window->isVisible());
    QVERIFY(!main.isEnabled());
    QVERIFY(progress.ProgressCancelled());
    progress.HideProgress();
    QVERIFY(main.isEnabled());
}

void MainLockTest::handOverToALockedProgramWaitsForThePassword_data()
{
    QTest::addColumn<bool>("unlock");
    QTest::newRow("the right password") << true;
    QTest::newRow("Cancel") << false;
}

void MainLockTest::handOverToALockedProgramWaitsForThePassword()
{
    QFETCH(bool, unlock);
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    main.actFileBoss->trigger();
    QSignalSpy ended(&main, &TfrmMain::EndProgram);

    int itemsAtThePrompt = -1;
    WhenPasswordPromptOpens([&](TfrmPassword& form) {
        RunPendingEvents();
        itemsAtThePrompt = Items(main);
        Answer(form, unlock);
    });
    // What the hand-over window does with a second start's file.
    main.BringToFront();
    main.AddFileList({Photo()}, 0);

    if (unlock) {
        QTRY_COMPARE(Items(main), 1);
        QVERIFY(main.isVisible());
        QVERIFY(!main.Locked());
    } else {
        QTRY_COMPARE(ended.count(), 1);
        RunPendingEvents();
        QCOMPARE(Items(main), 0);
        QVERIFY(!main.isVisible());
    }
    QCOMPARE(itemsAtThePrompt, 0);
}

void MainLockTest::handOverDuringTheStartGateWaitsForIt_data()
{
    QTest::addColumn<bool>("unlock");
    QTest::newRow("the right password") << true;
    QTest::newRow("Cancel") << false;
}

void MainLockTest::handOverDuringTheStartGateWaitsForIt()
{
    QFETCH(bool, unlock);
    Session session;
    TfrmMain& main = session.Open();
    int itemsAtTheGate = -1;
    WhenPasswordPromptOpens([&](TfrmPassword& form) {
        main.AddFileList({Photo()}, 0);
        RunPendingEvents();
        itemsAtTheGate = Items(main);
        Answer(form, unlock);
    });
    QCOMPARE(main.PasswordGate(), unlock);
    if (unlock) {
        main.show();
        QTRY_COMPARE(Items(main), 1);
    } else {
        RunPendingEvents();
        QCOMPARE(Items(main), 0);
    }
    QCOMPARE(itemsAtTheGate, 0);
}

void MainLockTest::secondStartRestoresAMinimisedGate()
{
    Session session;
    TfrmMain& main = session.Open();
    bool wasMinimised = false;
    bool restored = false;
    WhenPasswordPromptOpens([&](TfrmPassword& form) {
        form.showMinimized();
        wasMinimised = form.isMinimized();
        main.BringToFront();   // a second start's broadcast
        restored = !form.isMinimized() && QTest::qWaitFor([&] { return form.isActiveWindow(); });
        Answer(form, true);
    });
    QVERIFY(main.PasswordGate());
    QVERIFY(wasMinimised);
    QVERIFY(restored);
    QVERIFY(!main.isVisible());   // the gate decides; the window is shown by the start
}

void MainLockTest::secondStartBringsTheMainWindowBack()
{
    Session session;
    TfrmMain& main = session.Open();
    // Never shown (a windowless start): it stays so.
    main.BringToFront();
    QVERIFY(!main.isVisible());

    session.ShowAndActivate();
    main.showMinimized();
    QTRY_VERIFY(main.isMinimized());
    main.BringToFront();
    QVERIFY(!main.isMinimized());
    QTRY_VERIFY(main.isActiveWindow());
}

void MainLockTest::standInUnlocksOnAClickOrEnter_data()
{
    QTest::addColumn<bool>("click");
    QTest::newRow("click") << true;
    QTest::newRow("Enter") << false;
}

void MainLockTest::standInUnlocksOnAClickOrEnter()
{
    QFETCH(bool, click);
    Session session;
    TfrmMain& main = session.Open();
    main.MainLibrary().MainConnection().Execute("Update options set opt_caption = 'My Vault'");
    QVERIFY(main.VerifyPassword(kPassword));
    session.ShowAndActivate();
    QCOMPARE(main.windowTitle(), QStringLiteral("My Vault"));
    main.actFileBoss->trigger();
    TaskbarStandIn* standIn = main.LockStandIn();
    QCOMPARE(standIn->windowTitle(), QStringLiteral("Password Protected Program"));

    bool prompted = false;
    WhenPasswordPromptOpens([&](TfrmPassword& form) {
        prompted = true;
        Answer(form, true);
    });
    // Without a window manager the stand-in stays on the screen: the user clicks it or
    // presses Enter on it.
    if (click)
        QTest::mouseClick(standIn, Qt::LeftButton);
    else
        QTest::keyClick(standIn, Qt::Key_Return);
    QTRY_VERIFY(main.isVisible());
    QVERIFY(prompted);
    QVERIFY(!standIn->isVisible());
    QCOMPARE(main.windowTitle(), QStringLiteral("My Vault"));
    QCOMPARE(ApplicationTitle::Text(), QStringLiteral("My Vault"));
}

QTEST_MAIN(MainLockTest)
#include "MainLockTest.moc"
