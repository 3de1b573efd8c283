#include "dialogs/ApplicationTitle.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/GuiMessageBoxes.h"
#include "dialogs/MessageForm.h"

#include "ModalDriver.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::PressKey;
using velmora::test::WhenModalOpens;

namespace {

struct Observed {
    QString title;
    QString shownText;
    QStringList visibleButtons;   // left to right
    QString focused;
    QImage icon;
    QPoint position;
    QSize size;
};

Observed Observe(TmessageForm& box)
{
    Observed seen;
    seen.title = box.windowTitle();
    seen.shownText = box.lblCaption->text();
    QList<QPushButton*> shown;
    for (QPushButton* b : {box.btnOK, box.btnYes, box.btnNo, box.btnCancel}) {
        if (b->isVisible())
            shown.append(b);
    }
    std::sort(shown.begin(), shown.end(), [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
    for (QPushButton* b : shown)
        seen.visibleButtons.append(b->objectName());
    seen.focused = box.focusWidget() ? box.focusWidget()->objectName() : QString();
    seen.icon = box.Icon->pixmap().toImage();
    seen.position = box.pos();
    seen.size = box.frameGeometry().size();
    return seen;
}

QImage StandardIcon(QStyle::StandardPixmap which)
{
    const int size = QApplication::style()->pixelMetric(QStyle::PM_MessageBoxIconSize);
    return QApplication::style()->standardIcon(which).pixmap(size, size).toImage();
}

} // namespace

class MessageFormTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ApplicationTitle::Set(QStringLiteral("Velmora Test Library")); }

    void flagsChooseButtonsIconFocusAndKeys_data();
    void flagsChooseButtonsIconFocusAndKeys();
    void buttonsAnswerWithTheirResults();
    void tabOrderIsOkCancelYesNoAndEnterAnswersForTheFocusedButton();
    void textIsShownAsPlainTextWithLineBreaks();
    void closingTheBoxAnswersLikeEscape();
    void boxIsCentredOnTheMainWindow();
    void boxIsKeptOnTheScreen();
    void boxBeforeTheMainWindowIsShownIsCentredOnTheGateOrTheScreen();
    void boxOverAMaximisedMainWindowIsCentredOnTheWorkArea();
    void boxAskedWhileTheMainWindowIsDisabledCanBeAnswered();
    void guiMessageBoxesShowsTheBox();
};

void MessageFormTest::flagsChooseButtonsIconFocusAndKeys_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("enterResult");
    QTest::addColumn<int>("escapeResult");

    QTest::newRow("0 plain") << 0 << QStringList{"btnOK"} << int(QStyle::SP_MessageBoxInformation)
                             << "btnOK" << 1 << 2;
    QTest::newRow("36 question yes/no") << 36 << QStringList{"btnYes", "btnNo"}
                                        << int(QStyle::SP_MessageBoxQuestion) << "btnYes" << 6 << 7;
    QTest::newRow("3 yes/no/cancel") << 3 << QStringList{"btnYes", "btnNo", "btnCancel"}
                                     << int(QStyle::SP_MessageBoxInformation) << "btnCancel" << 2 << 7;
    QTest::newRow("52 warning yes/no") << 52 << QStringList{"btnYes", "btnNo"}
                                       << int(QStyle::SP_MessageBoxWarning) << "btnYes" << 6 << 7;
    QTest::newRow("1 ok/cancel") << 1 << QStringList{"btnOK", "btnCancel"}
                                 << int(QStyle::SP_MessageBoxInformation) << "btnOK" << 1 << 2;
    QTest::newRow("16 error") << 16 << QStringList{"btnOK"} << int(QStyle::SP_MessageBoxCritical) << "btnOK"
                              << 1 << 2;
    QTest::newRow("2 no buttons") << 2 << QStringList{} << int(QStyle::SP_MessageBoxInformation) << ""
                                  << 1 << 2;
}

void MessageFormTest::flagsChooseButtonsIconFocusAndKeys()
{
    QFETCH(int, flags);
    QFETCH(QStringList, buttons);
    QFETCH(int, icon);
    QFETCH(QString, focused);
    QFETCH(int, enterResult);
    QFETCH(int, escapeResult);

    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        PressKey(box, Qt::Key_Return);
    });
    QCOMPARE(ShowMessageBox(QStringLiteral("Question?"), flags), enterResult);
    QCOMPARE(seen.visibleButtons, buttons);
    QCOMPARE(seen.focused, focused);
    QCOMPARE(seen.icon, StandardIcon(QStyle::StandardPixmap(icon)));
    QCOMPARE(seen.title, QStringLiteral("Velmora Test Library"));

    WhenModalOpens<TmessageForm>([&](TmessageForm& box) { PressKey(box, Qt::Key_Escape); });
    QCOMPARE(ShowMessageBox(QStringLiteral("Question?"), flags), escapeResult);

    // Keypad Enter answers like Return.
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) { PressKey(box, Qt::Key_Enter); });
    QCOMPARE(ShowMessageBox(QStringLiteral("Question?"), flags), enterResult);
}

void MessageFormTest::buttonsAnswerWithTheirResults()
{
    const std::pair<QPushButton* TmessageForm::*, int> cases[] = {
        {&TmessageForm::btnOK, 1}, {&TmessageForm::btnYes, 6}, {&TmessageForm::btnNo, 7},
        {&TmessageForm::btnCancel, 2}};
    for (const auto& [button, result] : cases) {
        WhenModalOpens<TmessageForm>([button = button](TmessageForm& box) {
            QTest::mouseClick(box.*button, Qt::LeftButton);
        });
        // Flags 3 with OK added by hand: every button on show.
        const int flags = (button == &TmessageForm::btnOK) ? 1 : 3;
        QCOMPARE(ShowMessageBox(QStringLiteral("Which?"), flags), result);
    }
}

void MessageFormTest::tabOrderIsOkCancelYesNoAndEnterAnswersForTheFocusedButton()
{
    QStringList order;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        order << box.focusWidget()->objectName();
        for (int i = 0; i < 3; ++i) {
            PressKey(box, Qt::Key_Tab);
            order << box.focusWidget()->objectName();
        }
        // Round again to No, and answer with it.
        PressKey(box, Qt::Key_Tab);
        PressKey(box, Qt::Key_Tab);
        PressKey(box, Qt::Key_Return);
    });
    QCOMPARE(ShowMessageBox(QStringLiteral("Save?"), 3), 7);
    QCOMPARE(order, (QStringList{"btnCancel", "btnYes", "btnNo", "btnCancel"}));

    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        PressKey(box, Qt::Key_Tab);   // Yes -> No
        PressKey(box, Qt::Key_Return);
    });
    QCOMPARE(ShowMessageBox(QStringLiteral("Delete?"), 36), 7);

    // With OK and Cancel, OK has the focus and Tab moves to Cancel.
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        PressKey(box, Qt::Key_Tab);
        PressKey(box, Qt::Key_Return);
    });
    QCOMPARE(ShowMessageBox(QStringLiteral("Go on?"), 1), 2);
}

void MessageFormTest::textIsShownAsPlainTextWithLineBreaks()
{
    Observed seen;
    Qt::TextFormat format = Qt::AutoText;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        format = box.lblCaption->textFormat();
        box.btnOKClick();
    });
    const QString text = QStringLiteral("First line.\r\n\r\nMove <Unclassified> & <b>all</b>?\rLast");
    QCOMPARE(ShowMessageBox(text, 0), 1);
    QCOMPARE(seen.shownText, QStringLiteral("First line.\n\nMove <Unclassified> & <b>all</b>?\nLast"));
    QCOMPARE(format, Qt::PlainText);
}

void MessageFormTest::closingTheBoxAnswersLikeEscape()
{
    WhenModalOpens<TmessageForm>([](TmessageForm& box) { box.close(); });
    QCOMPARE(ShowMessageBox(QStringLiteral("Delete?"), 36), 7);
    WhenModalOpens<TmessageForm>([](TmessageForm& box) { box.close(); });
    QCOMPARE(ShowMessageBox(QStringLiteral("Go on?"), 1), 2);
}

void MessageFormTest::boxIsCentredOnTheMainWindow()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget mainWindow;
    // Well inside the screen, so that no edge moves the box.
    mainWindow.setGeometry(screen.adjusted(screen.width() / 10, screen.height() / 8, -screen.width() / 8,
                                           -screen.height() / 10));
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    const QRect frame = mainWindow.frameGeometry();

    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("Done."), 64, &mainWindow);
    QCOMPARE(seen.position.x(), frame.left() + frame.width() / 2 - seen.size.width() / 2);
    QCOMPARE(seen.position.y(), frame.top() + frame.height() / 2 - seen.size.height() / 2);
}

void MessageFormTest::boxIsKeptOnTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget mainWindow;
    // The main window's centre lies near the screen's bottom right corner.
    mainWindow.setGeometry(screen.right() - 150, screen.bottom() - 100, 200, 150);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));

    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("A message long enough to make the box wider than the space that is left."),
                   48, &mainWindow);
    QVERIFY(seen.size.width() > 150);
    QCOMPARE(seen.position.x(), screen.left() + screen.width() - seen.size.width());
    QCOMPARE(seen.position.y(), screen.top() + screen.height() - seen.size.height());

    mainWindow.setGeometry(screen.left() - 120, screen.top() - 200, 200, 150);
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("Top left."), 0, &mainWindow);
    QCOMPARE(seen.position, screen.topLeft());
}

void MessageFormTest::boxBeforeTheMainWindowIsShownIsCentredOnTheGateOrTheScreen()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    // Made, with its first-run geometry, but never shown (the gate is still open).
    QWidget mainWindow;
    mainWindow.setGeometry(100, 100, 800, 600);
    QDialog gate;
    gate.setGeometry(work.right() - 400, work.bottom() - 300, 300, 160);
    gate.show();
    gate.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&gate));

    const auto expected = [&](const QRect& owner, const Observed& seen) {
        const WindowPosition at = MessageBoxPosition({owner.left(), owner.top(), owner.width(), owner.height()},
                                                     seen.size.width(), seen.size.height(),
                                                     {screen.left(), screen.top(), screen.width(), screen.height()});
        return QPoint(at.left, at.top);
    };
    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("Invalid Password, please try again"), 16, &mainWindow);
    QCOMPARE(seen.position, expected(gate.frameGeometry(), seen));

    // Nothing shown at all (the first-run question, an error before the window opens).
    gate.hide();
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("Unable to connect to Velmora Database."), 16, &mainWindow);
    QCOMPARE(seen.position, expected(work, seen));
}

void MessageFormTest::boxOverAMaximisedMainWindowIsCentredOnTheWorkArea()
{
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget mainWindow;
    mainWindow.setGeometry(work.left() + 10, work.top() + 10, 300, 200);
    mainWindow.show();
    QVERIFY(QTest::qWaitForWindowExposed(&mainWindow));
    // Restored maximised: the box comes before the window system has told the new size.
    mainWindow.showMaximized();
    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnOKClick();
    });
    ShowMessageBox(QStringLiteral("Done."), 64, &mainWindow);
    QCOMPARE(seen.position, QPoint(work.left() + work.width() / 2 - seen.size.width() / 2,
                                   work.top() + work.height() / 2 - seen.size.height() / 2));
}

void MessageFormTest::boxAskedWhileTheMainWindowIsDisabledCanBeAnswered()
{
    QWidget mainWindow;
    mainWindow.show();
    mainWindow.setEnabled(false);
    bool enabled = false;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        enabled = box.btnYes->isEnabled();
        QTest::mouseClick(box.btnYes, Qt::LeftButton);
    });
    QCOMPARE(ShowMessageBox(QStringLiteral("Cancel this operation?"), 36, &mainWindow), 6);
    QVERIFY(enabled);
}

void MessageFormTest::guiMessageBoxesShowsTheBox()
{
    QWidget mainWindow;
    GuiMessageBoxes boxes(&mainWindow);
    Observed seen;
    WhenModalOpens<TmessageForm>([&](TmessageForm& box) {
        seen = Observe(box);
        box.btnNoClick();
    });
    QCOMPARE(boxes.ShowMessageBox("Sp\xc3\xa4ter?", 52), 7);
    QCOMPARE(seen.shownText, QStringLiteral("Sp\u00e4ter?"));
    QCOMPARE(seen.visibleButtons, (QStringList{"btnYes", "btnNo"}));
}

QTEST_MAIN(MessageFormTest)
#include "MessageFormTest.moc"
