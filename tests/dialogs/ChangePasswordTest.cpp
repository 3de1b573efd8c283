#include "dialogs/ChangePassword.h"
#include "dialogs/ChangePasswordDialog.h"
#include "dialogs/GuiProgress.h"
#include "store/AddItemOnThread.h"
#include "store/Library.h"
#include "store/LibraryFiles.h"
#include "store/LibraryPassword.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "support/LibraryFixture.h"
#include "support/TestSupport.h"

#include "DialogTestDoubles.h"
#include "ModalDriver.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::PressKey;
using velmora::test::RecordingMessageBoxes;
using velmora::test::RecordingProgress;
using velmora::test::WhenModalOpens;

namespace {

const std::string kOld = "correct horse";
const std::string kNew = "battery staple";

bool OpensWith(const std::string& password)
{
    Library library;
    library.Open();
    return library.VerifyPassword(password, true) || library.VerifyPassword(password, false);
}

void Fill(TdlgChangePass& dialog, const QString& current, const QString& newPassword, const QString& confirm)
{
    dialog.txtCurrentPass->setText(current);
    dialog.txtPassword->setText(newPassword);
    dialog.txtConfirmPass->setText(confirm);
}

} // namespace

class ChangePasswordTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void dialogShowsItsCaptionLabelsAndMaskedEdits();
    void okRefusesEachFaultyEntryAndMovesTheFocus_data();
    void okRefusesEachFaultyEntryAndMovesTheFocus();
    void okWithAGoodEntryClosesTheDialog();
    void enterRunsOkAndEscapeCancels();
    void confirmedChangeReEncryptsAndTheNewPasswordOpensTheLibrary();
    void changeRunsWithTheProgressWindow();
    void answeringNoChangesNothing();
    void cancellingTheDialogAsksNothing();

private:
    std::unique_ptr<velmora::test::TempDir> dir;
    std::unique_ptr<Library> library;
};

void ChangePasswordTest::init()
{
    dir = std::make_unique<velmora::test::TempDir>();
    library = velmora::test::OpenFreshLibrary(dir->path(), kOld);
    QVERIFY(library);
}

void ChangePasswordTest::cleanup()
{
    velmora::test::CloseLibrary(library);
    dir.reset();
}

void ChangePasswordTest::dialogShowsItsCaptionLabelsAndMaskedEdits()
{
    RecordingMessageBoxes boxes;
    TdlgChangePass dialog(boxes);
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Change Password"));
    QCOMPARE(dialog.lblInfo->text(), QStringLiteral("To change your password, enter your current password, then "
                                                    "enter and confirm your new password, and click OK."));
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (label != dialog.lblInfo)
            labels << label->text().remove(QLatin1Char('&'));
    }
    labels.sort();
    QCOMPARE(labels, (QStringList{"Confirm Password:", "Current Password:", "New Password:"}));
    for (QLineEdit* edit : {dialog.txtCurrentPass, dialog.txtPassword, dialog.txtConfirmPass})
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QCOMPARE(dialog.OKBtn->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.CancelBtn->text(), QStringLiteral("Cancel"));
    QCOMPARE(dialog.focusWidget(), dialog.txtCurrentPass);
}

void ChangePasswordTest::okRefusesEachFaultyEntryAndMovesTheFocus_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");

    const QString incorrect = "The current password you entered is incorrect. Please re-enter.";
    QTest::newRow("wrong current") << "horse" << "new" << "new" << incorrect << "txtCurrentPass";
    QTest::newRow("current with trailing blank") << "correct horse " << "new" << "new" << incorrect
                                                 << "txtCurrentPass";
    QTest::newRow("empty new") << "correct horse" << "" << "" << "You must enter a password."
                               << "txtPassword";
    QTest::newRow("mismatch") << "correct horse" << "new one" << "new 1"
                              << "Password does not match confirmation. Please re-enter." << "txtPassword";
    QTest::newRow("refused: leading blank")
        << "correct horse" << " new" << " new" << "A password cannot begin or end with a blank. Please re-enter."
        << "txtPassword";
}

void ChangePasswordTest::okRefusesEachFaultyEntryAndMovesTheFocus()
{
    QFETCH(QString, current);
    QFETCH(QString, newPassword);
    QFETCH(QString, confirm);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    RecordingMessageBoxes boxes;
    TdlgChangePass dialog(boxes);
    dialog.show();
    Fill(dialog, current, newPassword, confirm);
    dialog.OKBtn->setFocus();
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);

    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(boxes.messages[0].text), message);
    QCOMPARE(boxes.messages[0].flags, mb::kIconInformation);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QCOMPARE(dialog.focusWidget()->objectName(), focus);
    QCOMPARE(dialog.txtCurrentPass->text(), current);   // nothing is cleared
}

void ChangePasswordTest::okWithAGoodEntryClosesTheDialog()
{
    RecordingMessageBoxes boxes;
    TdlgChangePass dialog(boxes);
    WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
        Fill(shown, "wrong", "x", "x");
        shown.OKBtnClick();   // a failed try first: there is no limit on attempts
        Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
        QTest::mouseClick(shown.OKBtn, Qt::LeftButton);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.NewPassword(), kNew);
    QCOMPARE(boxes.messages.size(), std::size_t(1));
}

void ChangePasswordTest::enterRunsOkAndEscapeCancels()
{
    RecordingMessageBoxes boxes;
    {
        TdlgChangePass dialog(boxes);
        WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
            Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
            shown.txtConfirmPass->setFocus();
            PressKey(shown, Qt::Key_Return);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    }
    {
        TdlgChangePass dialog(boxes);
        WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
            Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
            PressKey(shown, Qt::Key_Escape);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }
    {
        // Enter on a faulty entry shows the message and keeps the dialog open.
        TdlgChangePass dialog(boxes);
        bool stayedOpen = false;
        WhenModalOpens<TdlgChangePass>([&](TdlgChangePass& shown) {
            PressKey(shown, Qt::Key_Enter);
            stayedOpen = shown.isVisible();
            QTest::mouseClick(shown.CancelBtn, Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        QVERIFY(stayedOpen);
    }
    QCOMPARE(boxes.messages.size(), std::size_t(1));
}

void ChangePasswordTest::confirmedChangeReEncryptsAndTheNewPasswordOpensTheLibrary()
{
    const std::string big = velmora::test::PatternBytes(700000, 7);
    MemoryStream source;
    source.WriteBuffer(big.data(), static_cast<std::int64_t>(big.size()));
    source.SetPosition(0);
    QVERIFY(AddItemOnThread(std::nullopt, source, "holiday.mpg", -1, "holiday.mpg"));
    const int item = static_cast<int>(
        db::Query(ObjectStore::ForThisThread().MainConnection(), "Select max(rec_ident) as v from Record")
            .AsInteger("v"));

    RecordingMessageBoxes boxes;
    boxes.answers = {mb::kResultYes};
    RecordingProgress progress;
    QWidget mainWindow;
    WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
        Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
        shown.OKBtnClick();
    });
    doChangePass(&mainWindow, *library, boxes, progress);

    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].text, std::string(kChangePasswordQuestion));
    QCOMPARE(boxes.messages[0].flags, 36);
    QCOMPARE(progress.calls.front(), std::string("show Re-Encrypting nocancel"));
    QCOMPARE(progress.calls.back(), std::string("hide"));
    QVERIFY(std::count(progress.calls.begin(), progress.calls.end(), "item holiday.mpg 2") == 1);

    QCOMPARE(LibraryPassword(), kNew);
    QVERIFY(!OpensWith(kOld));
    QVERIFY(OpensWith(kNew));
    QVERIFY(velmora::test::ReadStoredItem(item) == big);
}

void ChangePasswordTest::changeRunsWithTheProgressWindow()
{
    QWidget mainWindow;
    mainWindow.show();
    RecordingMessageBoxes boxes;
    boxes.answers = {mb::kResultYes};
    GuiProgress progress(&mainWindow, boxes);
    WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
        Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
        shown.OKBtnClick();
    });
    doChangePass(&mainWindow, *library, boxes, progress);
    QVERIFY(OpensWith(kNew));
    // Hidden again: the main window is usable and the cursor is back.
    QVERIFY(!progress.Window());
    QVERIFY(mainWindow.isEnabled());
    QVERIFY(!QApplication::overrideCursor());
}

void ChangePasswordTest::answeringNoChangesNothing()
{
    RecordingMessageBoxes boxes;
    boxes.answers = {mb::kResultNo};
    RecordingProgress progress;
    WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
        Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
        shown.OKBtnClick();
    });
    doChangePass(nullptr, *library, boxes, progress);
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QVERIFY(progress.calls.empty());
    QCOMPARE(progress.steps + progress.allItemSteps, 0);
    QCOMPARE(LibraryPassword(), kOld);
    QVERIFY(OpensWith(kOld));
    QVERIFY(!OpensWith(kNew));
}

void ChangePasswordTest::cancellingTheDialogAsksNothing()
{
    RecordingMessageBoxes boxes;
    RecordingProgress progress;
    WhenModalOpens<TdlgChangePass>([](TdlgChangePass& shown) {
        Fill(shown, QString::fromStdString(kOld), QString::fromStdString(kNew), QString::fromStdString(kNew));
        shown.CancelBtnClick();
    });
    doChangePass(nullptr, *library, boxes, progress);
    QVERIFY(boxes.messages.empty());
    QVERIFY(progress.calls.empty());
    QCOMPARE(progress.steps + progress.allItemSteps, 0);
    QVERIFY(OpensWith(kOld));
}

QTEST_MAIN(ChangePasswordTest)
#include "ChangePasswordTest.moc"
