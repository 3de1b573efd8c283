#include "dialogs/PasswordForm.h"
#include "store/PasswordPolicy.h"

#include "DialogTestDoubles.h"
#include "ModalDriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::PressKey;
using velmora::test::RecordingMessageBoxes;
using velmora::test::WhenModalOpens;

namespace {

// A library whose password is "pw"; keeps every candidate it was asked about.
struct FakeLibrary {
    std::vector<std::string> asked;
    bool refuseAsNew = false;

    TfrmPassword::VerifyPasswordFn Verifier()
    {
        return [this](const std::string& candidate) {
            asked.push_back(candidate);
            if (refuseAsNew)
                throw PasswordRefused("You must enter a password.");
            return candidate == "pw";
        };
    }
};

} // namespace

class PasswordFormTest : public QObject {
    Q_OBJECT
private slots:
    void formShowsItsCaptionTextAndMaskedEntry();
    void entryIsTrimmedBeforeTheTest_data();
    void entryIsTrimmedBeforeTheTest();
    void wrongPasswordIsReportedAndTheTextKept();
    void enterActsAsOkAndEscapeAsCancel();
    void refusedFirstPasswordShowsWhy();
    void firstPasswordIsTypedTwice_data();
    void firstPasswordIsTypedTwice();
};

void PasswordFormTest::formShowsItsCaptionTextAndMaskedEntry()
{
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    TfrmPassword form(library.Verifier(), boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Password Protected"));
    QCOMPARE(form.lblInfo->text(), QStringLiteral("This application is password protected. Please enter the "
                                                  "password, and click OK to continue"));
    QVERIFY(form.lblInfo->font().bold());
    QVERIFY(form.lblInfo->wordWrap());
    QCOMPARE(form.txtPass->echoMode(), QLineEdit::Password);
    QCOMPARE(form.focusWidget(), form.txtPass);
    QVERIFY(!(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowCloseButtonHint | Qt::WindowContextHelpButtonHint)));
    QCOMPARE(form.minimumSize(), form.maximumSize());   // fixed size
    const QRect screen = form.screen()->availableGeometry();
    QVERIFY(qAbs(form.frameGeometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1);
}

void PasswordFormTest::entryIsTrimmedBeforeTheTest_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("leading and trailing blank") << " pw ";
    QTest::newRow("trailing blanks") << "pw   ";
    QTest::newRow("tab in front") << "\tpw";
    QTest::newRow("as is") << "pw";
}

void PasswordFormTest::entryIsTrimmedBeforeTheTest()
{
    QFETCH(QString, typed);
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    TfrmPassword form(library.Verifier(), boxes);
    WhenModalOpens<TfrmPassword>([&](TfrmPassword& shown) {
        shown.txtPass->setText(typed);
        QTest::mouseClick(shown.btnOK, Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(library.asked, std::vector<std::string>{"pw"});
    QVERIFY(boxes.messages.empty());
}

void PasswordFormTest::wrongPasswordIsReportedAndTheTextKept()
{
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    TfrmPassword form(library.Verifier(), boxes);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.txtPass->setText(QStringLiteral(" Pw "));
    form.btnOK->setFocus();
    form.btnOKClick();

    QCOMPARE(library.asked, std::vector<std::string>{"Pw"});
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].text, std::string("Invalid Password, please try again"));
    QCOMPARE(boxes.messages[0].flags, mb::kIconError);
    QVERIFY(form.isVisible());
    QCOMPARE(form.result(), 0);
    QCOMPARE(form.txtPass->text(), QStringLiteral(" Pw "));
    QCOMPARE(form.focusWidget(), form.txtPass);

    // No limit on attempts: the right one still gets in.
    form.txtPass->setText(QStringLiteral("pw"));
    form.btnOKClick();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void PasswordFormTest::enterActsAsOkAndEscapeAsCancel()
{
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    {
        TfrmPassword form(library.Verifier(), boxes);
        WhenModalOpens<TfrmPassword>([](TfrmPassword& shown) {
            QTest::keyClicks(shown.txtPass, QStringLiteral("pw "));
            PressKey(shown, Qt::Key_Return);
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
    }
    {
        // Enter with the focus on Cancel is still OK: the form takes the key first.
        TfrmPassword form(library.Verifier(), boxes);
        WhenModalOpens<TfrmPassword>([](TfrmPassword& shown) {
            shown.txtPass->setText(QStringLiteral("wrong"));
            shown.btnCancel->setFocus();
            PressKey(shown, Qt::Key_Enter);
            shown.txtPass->setText(QStringLiteral("pw"));
            shown.btnCancel->setFocus();
            PressKey(shown, Qt::Key_Enter);
        });
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QCOMPARE(boxes.messages.size(), std::size_t(1));
    }
    {
        TfrmPassword form(library.Verifier(), boxes);
        WhenModalOpens<TfrmPassword>([](TfrmPassword& shown) {
            shown.txtPass->setText(QStringLiteral("pw"));
            PressKey(shown, Qt::Key_Escape);
        });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
    }
    {
        TfrmPassword form(library.Verifier(), boxes);
        WhenModalOpens<TfrmPassword>([](TfrmPassword& shown) {
            QTest::mouseClick(shown.btnCancel, Qt::LeftButton);
        });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
    }
    // Cancel and Escape never test a password.
    QCOMPARE(library.asked, (std::vector<std::string>{"pw", "wrong", "pw"}));
}

void PasswordFormTest::refusedFirstPasswordShowsWhy()
{
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    library.refuseAsNew = true;
    TfrmPassword form(library.Verifier(), boxes);
    form.show();
    form.txtPass->setText(QStringLiteral("   "));
    form.btnOKClick();
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].text, std::string("You must enter a password."));
    QVERIFY(form.isVisible());
    QCOMPARE(form.focusWidget(), form.txtPass);
}

void PasswordFormTest::firstPasswordIsTypedTwice_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("alike") << "pw" << "pw" << true;
    QTest::newRow("a typo") << "pw" << "pe" << false;
    QTest::newRow("confirmation left empty") << "pw" << "" << false;
    QTest::newRow("another letter case") << "pw" << "PW" << false;
}

void PasswordFormTest::firstPasswordIsTypedTwice()
{
    QFETCH(QString, password);
    QFETCH(QString, confirmation);
    QFETCH(bool, accepted);
    RecordingMessageBoxes boxes;
    FakeLibrary library;
    TfrmPassword form(library.Verifier(), boxes, nullptr, TfrmPassword::Entry::FirstPassword);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Password Protected"));
    QVERIFY(form.txtConfirmPass != nullptr);
    QVERIFY(form.txtConfirmPass->isVisible());
    QCOMPARE(form.txtConfirmPass->echoMode(), QLineEdit::Password);

    // Typed as the user does: the first edit, Tab, the second, Enter.
    QTest::keyClicks(form.txtPass, password);
    QTest::keyClick(form.txtPass, Qt::Key_Tab);
    QCOMPARE(form.focusWidget(), form.txtConfirmPass);
    QTest::keyClicks(form.txtConfirmPass, confirmation);
    PressKey(form, Qt::Key_Return);

    if (accepted) {
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(library.asked, std::vector<std::string>{"pw"});
        QVERIFY(boxes.messages.empty());
        return;
    }
    // Nothing is tested, so nothing becomes the password.
    QVERIFY(library.asked.empty());
    QVERIFY(form.isVisible());
    QCOMPARE(boxes.messages.size(), std::size_t(1));
    QCOMPARE(boxes.messages[0].text, std::string("Password does not match confirmation. Please re-enter."));
    QCOMPARE(boxes.messages[0].flags, mb::kIconInformation);
    QCOMPARE(form.focusWidget(), form.txtPass);
}

QTEST_MAIN(PasswordFormTest)
#include "PasswordFormTest.moc"
