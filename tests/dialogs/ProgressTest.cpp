#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/GuiProgress.h"
#include "dialogs/MessageForm.h"
#include "dialogs/ProgressForm.h"

#include "DialogTestDoubles.h"
#include "ModalDriver.h"

#include <QApplication>
#include <QCursor>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::PressKey;
using velmora::test::RecordingMessageBoxes;
using velmora::test::WhenModalOpens;

class ProgressTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void showMakesTheWindowAndDisablesTheMainWindowUntilHidden();
    void gaugesAreSetShownAndHidden();
    void gaugesWrapToZeroAtTheirMaximum();
    void routinesWithoutAWindowDoNothing();
    void cancelIsAskedAndNoKeepsTheOperationRunning();
    void cancelButtonWorksWhileTheOperationRuns();
    void escapeAsksToCancel();
    void closeIsRefusedWithoutCancelButton();
    void closeWithCancelButtonClosesOnlyWhenConfirmed();
    void noCancelShowsTheHourglassUntilHidden();
    void windowIsCentredOnTheMainWindowOrTheGivenRectangle();
    void cancelProgressSetsTheFlagAndShowClearsIt();
    void cancelQuestionStacksAboveTheProgressWindow();

private:
    std::unique_ptr<QWidget> mainWindow;
    std::unique_ptr<RecordingMessageBoxes> boxes;
    std::unique_ptr<GuiProgress> progress;
};

void ProgressTest::init()
{
    mainWindow = std::make_unique<QWidget>();
    mainWindow->setGeometry(100, 100, 600, 400);
    mainWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mainWindow.get()));
    boxes = std::make_unique<RecordingMessageBoxes>();
    progress = std::make_unique<GuiProgress>(mainWindow.get(), *boxes);
}

void ProgressTest::cleanup()
{
    progress.reset();
    boxes.reset();
    mainWindow.reset();
}

void ProgressTest::showMakesTheWindowAndDisablesTheMainWindowUntilHidden()
{
    QVERIFY(!progress->Window());
    progress->ShowProgress("Adding Files", false);
    QPointer<TfrmProgress> form = progress->Window();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QVERIFY(!form->isModal());
    QVERIFY(form->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(form->windowTitle(), QStringLiteral("Adding Files"));
    QCOMPARE(form->lblProg2->text(), QStringLiteral("Initializing, please wait...."));
    QVERIFY(form->btnCancel->isVisible());
    QVERIFY(!form->ProgressBar->isVisible());
    QVERIFY(!form->curItemprogress->isVisible());

    QVERIFY(!mainWindow->isEnabled());
    // The window itself stays usable while its owner is disabled.
    QVERIFY(form->btnCancel->isEnabled());

    progress->HideProgress();
    QVERIFY(mainWindow->isEnabled());
    QVERIFY(!progress->Window());
    QTRY_VERIFY(!form);   // released, so the next ShowProgress makes a fresh window

    progress->ShowProgress("Again", true);
    QVERIFY(progress->Window());
    QCOMPARE(progress->Window()->lblProg2->text(), QStringLiteral("Initializing, please wait...."));
    QVERIFY(!progress->Window()->btnCancel->isVisible());
    QVERIFY(!mainWindow->isEnabled());
}

void ProgressTest::gaugesAreSetShownAndHidden()
{
    progress->ShowProgress("Exporting", false);
    TfrmProgress& form = *progress->Window();

    progress->SetProgressItem("first.jpg", 5);
    QVERIFY(form.curItemprogress->isVisible());
    progress->SetProgressTotal("Exporting 3 items", 3);
    QCOMPARE(form.lblProg2->text(), QStringLiteral("Exporting 3 items"));
    QVERIFY(form.ProgressBar->isVisible());
    QCOMPARE(form.ProgressBar->maximum(), 3);
    QCOMPARE(form.ProgressBar->value(), 0);
    QVERIFY(!form.curItemprogress->isVisible());   // a new total hides the item gauge

    progress->StepProgress();
    progress->SetProgressItem("second.jpg", 4);
    QCOMPARE(form.lblProg2->text(), QStringLiteral("second.jpg"));
    QVERIFY(form.curItemprogress->isVisible());
    QCOMPARE(form.curItemprogress->maximum(), 4);
    QCOMPARE(form.curItemprogress->value(), 0);
    progress->StepItemProgress();
    progress->StepItemProgress();

    // -1 shows the gauge and changes the text only.
    progress->SetProgressItem("still second.jpg", -1);
    QCOMPARE(form.curItemprogress->maximum(), 4);
    QCOMPARE(form.curItemprogress->value(), 2);
    QCOMPARE(form.lblProg2->text(), QStringLiteral("still second.jpg"));
    progress->SetProgressTotal("Nearly there", -1);
    QCOMPARE(form.ProgressBar->maximum(), 3);
    QCOMPARE(form.ProgressBar->value(), 1);
    QVERIFY(form.curItemprogress->isVisible());

    // 0 hides.
    progress->SetProgressItem("no item gauge", 0);
    QVERIFY(!form.curItemprogress->isVisible());
    progress->SetProgressTotal("no gauges", 0);
    QVERIFY(!form.ProgressBar->isVisible());
}

void ProgressTest::gaugesWrapToZeroAtTheirMaximum()
{
    progress->ShowProgress("Printing", false);
    TfrmProgress& form = *progress->Window();
    progress->SetProgressTotal("total", 3);
    progress->SetProgressItem("item", 3);
    QList<int> overall, item;
    for (int i = 0; i < 4; ++i) {
        progress->StepProgress();
        progress->StepItemProgress();
        overall << form.ProgressBar->value();
        item << form.curItemprogress->value();
    }
    QCOMPARE(overall, (QList<int>{1, 2, 3, 0}));
    QCOMPARE(item, (QList<int>{1, 2, 3, 0}));
}

void ProgressTest::routinesWithoutAWindowDoNothing()
{
    progress->SetProgressTotal("x", 3);
    progress->SetProgressItem("y", 3);
    progress->StepProgress();
    progress->StepItemProgress();
    progress->CancelProgress();
    QVERIFY(!progress->ProgressCancelled());
    QVERIFY(!progress->Window());
    progress->HideProgress();
    QVERIFY(mainWindow->isEnabled());
}

void ProgressTest::cancelIsAskedAndNoKeepsTheOperationRunning()
{
    progress->ShowProgress("Deleting", false);
    TfrmProgress& form = *progress->Window();

    boxes->answers = {mb::kResultNo};
    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
    QCOMPARE(boxes->messages.size(), std::size_t(1));
    QCOMPARE(boxes->messages[0].text, std::string("Cancel this operation?"));
    QCOMPARE(boxes->messages[0].flags, 36);
    QVERIFY(!progress->ProgressCancelled());
    QVERIFY(form.isVisible());

    boxes->answers = {mb::kResultYes};
    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
    QVERIFY(progress->ProgressCancelled());

    // Any answer but No cancels (a box closed some other way, for instance).
    progress->ShowProgress("Deleting", false);
    QVERIFY(!progress->ProgressCancelled());
    boxes->answers = {mb::kResultCancel};
    progress->Window()->btnCancelClick();
    QVERIFY(progress->ProgressCancelled());
}

void ProgressTest::cancelButtonWorksWhileTheOperationRuns()
{
    progress->ShowProgress("Adding Files", false);
    progress->SetProgressTotal("Adding", 1000);
    QPointer<QPushButton> cancel = progress->Window()->btnCancel;
    boxes->answers = {mb::kResultYes};
    QTimer::singleShot(0, [cancel] {
        if (cancel)
            cancel->click();
    });
    // The operation's loop: no event loop of its own, only the routines' event processing.
    int steps = 0;
    while (!progress->ProgressCancelled() && steps < 1000) {
        progress->StepProgress();
        ++steps;
    }
    QVERIFY(progress->ProgressCancelled());
    QVERIFY(steps < 1000);
}

void ProgressTest::escapeAsksToCancel()
{
    progress->ShowProgress("Saving", false);
    TfrmProgress& form = *progress->Window();
    boxes->answers = {mb::kResultNo, mb::kResultYes};
    form.btnCancel->setFocus();
    PressKey(form, Qt::Key_Escape);
    QVERIFY(form.isVisible());   // swallowed: not the dialog's own Escape, which would close it
    QVERIFY(!progress->ProgressCancelled());
    PressKey(form, Qt::Key_Escape);
    QVERIFY(progress->ProgressCancelled());
    QCOMPARE(boxes->messages.size(), std::size_t(2));
}

void ProgressTest::closeIsRefusedWithoutCancelButton()
{
    progress->ShowProgress("Re-Encrypting", true);
    TfrmProgress& form = *progress->Window();
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QVERIFY(boxes->messages.empty());
    QVERIFY(!progress->ProgressCancelled());
    QVERIFY(!mainWindow->isEnabled());
}

void ProgressTest::closeWithCancelButtonClosesOnlyWhenConfirmed()
{
    progress->ShowProgress("Importing", false);
    TfrmProgress& form = *progress->Window();
    boxes->answers = {mb::kResultNo};
    QVERIFY(!form.close());
    QVERIFY(form.isVisible());
    QVERIFY(!progress->ProgressCancelled());

    boxes->answers = {mb::kResultYes};
    QVERIFY(form.close());
    QVERIFY(!form.isVisible());
    QVERIFY(progress->ProgressCancelled());
    QVERIFY(mainWindow->isEnabled());
    QCOMPARE(boxes->messages.size(), std::size_t(2));
}

void ProgressTest::noCancelShowsTheHourglassUntilHidden()
{
    QVERIFY(!QApplication::overrideCursor());
    progress->ShowProgress("Adding", false);
    QVERIFY(!QApplication::overrideCursor());
    progress->ShowProgress("Re-Encrypting", true);
    progress->ShowProgress("Re-Encrypting", true);
    QVERIFY(QApplication::overrideCursor());
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    progress->HideProgress();
    QVERIFY(!QApplication::overrideCursor());
}

void ProgressTest::windowIsCentredOnTheMainWindowOrTheGivenRectangle()
{
    const QRect frame = mainWindow->frameGeometry();
    progress->ShowProgress("Saving", false);
    TfrmProgress& form = *progress->Window();
    const QSize outer = form.frameGeometry().size();
    QCOMPARE(form.pos(), QPoint(frame.left() + (frame.width() - outer.width()) / 2,
                                frame.top() + (frame.height() - outer.height()) / 2));
    progress->HideProgress();

    progress->ShowProgressAt("Adding", 0, 0, true, 600, 800);
    TfrmProgress& at = *progress->Window();
    QCOMPARE(at.pos(), QPoint((800 - at.frameGeometry().width()) / 2, (600 - at.frameGeometry().height()) / 2));
    QVERIFY(!at.btnCancel->isVisible());
}

void ProgressTest::cancelProgressSetsTheFlagAndShowClearsIt()
{
    progress->ShowProgress("Adding", false);
    progress->CancelProgress();
    QVERIFY(progress->ProgressCancelled());
    progress->ShowProgress("Adding more", false);   // the same window, shown again
    QVERIFY(!progress->ProgressCancelled());
    progress->CancelProgress();
    progress->HideProgress();
    QVERIFY(!progress->ProgressCancelled());   // no window, nothing cancelled
}

void ProgressTest::cancelQuestionStacksAboveTheProgressWindow()
{
    // With the real message box: the question must not open behind the window that stays
    // on top, nor be disabled along with the main window.
    GuiMessageBoxes realBoxes(mainWindow.get());
    GuiProgress shown(mainWindow.get(), realBoxes);
    shown.ShowProgress("Deleting", false);
    TfrmProgress& form = *shown.Window();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QWindow* stackedAbove = nullptr;
    bool usable = false;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        stackedAbove = box.windowHandle()->transientParent();
        usable = box.btnYes->isEnabled();
        box.btnYesClick();
    });
    QTest::mouseClick(form.btnCancel, Qt::LeftButton);
    QVERIFY(shown.ProgressCancelled());
    QVERIFY(usable);
    QCOMPARE(stackedAbove, form.windowHandle());
}

QTEST_MAIN(ProgressTest)
#include "ProgressTest.moc"
