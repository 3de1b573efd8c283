#include "dialogs/VelmoraApplication.h"

#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QtTest/QtTest>

#include <stdexcept>

using namespace velmora;

class VelmoraApplicationTest : public QObject {
    Q_OBJECT
private slots:
    void errorsNoOperationCaughtAreDroppedAndEventsGoOn();
    void errorInAButtonHandlerEndsOnlyThatHandler();
    void theStyleSheetIsLoadedAndApplied();
    void theStyleSheetScalesWithTheDesktopFont();

private:
    VelmoraApplication& App() { return *static_cast<VelmoraApplication*>(QCoreApplication::instance()); }
};

void VelmoraApplicationTest::errorsNoOperationCaughtAreDroppedAndEventsGoOn()
{
    const int before = App().DroppedErrors();
    bool after = false;
    QTimer::singleShot(0, [] { throw std::runtime_error("disk full"); });
    QTimer::singleShot(0, [] { throw 42; });
    QTimer::singleShot(0, [&after] { after = true; });
    QTRY_VERIFY(after);
    QCOMPARE(App().DroppedErrors(), before + 2);
}

void VelmoraApplicationTest::errorInAButtonHandlerEndsOnlyThatHandler()
{
    QPushButton button(QStringLiteral("Export"));
    int started = 0;
    int finished = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        ++started;
        throw std::runtime_error("Unable to open the archive");
        ++finished;
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    const int before = App().DroppedErrors();
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);   // the program is still there to click again
    QCOMPARE(started, 2);
    QCOMPARE(finished, 0);
    QCOMPARE(App().DroppedErrors(), before + 2);
}

void VelmoraApplicationTest::theStyleSheetIsLoadedAndApplied()
{
    const QString sheet = VelmoraApplication::StyleSheet();
    QVERIFY(!sheet.isEmpty());
    QCOMPARE(App().styleSheet(), sheet);
    // Keyboard focus is drawn for buttons and entry fields.
    QVERIFY(sheet.contains(QStringLiteral("QPushButton:focus")));
    QVERIFY(sheet.contains(QStringLiteral("QLineEdit:focus")));
}

void VelmoraApplicationTest::theStyleSheetScalesWithTheDesktopFont()
{
    // Text keeps the desktop's size, so the look follows the user's scaling.
    const QString sheet = VelmoraApplication::StyleSheet();
    QVERIFY(!sheet.contains(QRegularExpression(QStringLiteral("font(-size)?\\s*:[^;]*\\d+\\s*(px|pt)"))));

    // Sizes are in em of the desktop font: a larger desktop font gives larger buttons.
    const auto buttonSize = [] {
        QPushButton button(QStringLiteral("OK"));
        button.ensurePolished();
        return button.sizeHint();
    };
    const QSize normal = buttonSize();
    const QFont desktop = QApplication::font();
    QFont larger = desktop;
    larger.setPointSizeF(desktop.pointSizeF() * 2);
    QApplication::setFont(larger);
    App().setStyleSheet(App().styleSheet());   // sizes in em are worked out when applied
    const QSize doubled = buttonSize();
    QApplication::setFont(desktop);
    App().setStyleSheet(App().styleSheet());
    QVERIFY2(doubled.width() > normal.width() * 3 / 2, qPrintable(QString::number(doubled.width())));
    QVERIFY2(doubled.height() > normal.height() * 3 / 2, qPrintable(QString::number(doubled.height())));
}

int main(int argc, char** argv)
{
    VelmoraApplication app(argc, argv);
    VelmoraApplicationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "VelmoraApplicationTest.moc"
