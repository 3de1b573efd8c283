// "Online Help", "Check for updates" and "About ..." from the main window: the pages
// open in the browser command (a stand-in that writes down what it was given), the
// about box shows the version resource and its link opens the site, and the help menu
// opens where the skin's help button is.
#include "app/MainWindow.h"
#include "app/SkinTitleBar.h"
#include "dialogs/AboutForm.h"
#include "dialogs/VelmoraApplication.h"
#include "integration/WebPages.h"
#include "platform/VersionResource.h"

#include "app/MainWindowSession.h"
#include "dialogs/ModalDriver.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::Session;
using velmora::test::WhenModalOpens;

namespace {

constexpr const char* kSite = "http://help.test/velmora";

// The addresses the stand-in browser was started with, in order.
QStringList Opened(const QString& record)
{
    QFile file(record);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// How many colours the part of the image shows: one for an empty background.
int Colours(const QImage& image, const QRect& part)
{
    QSet<QRgb> seen;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

} // namespace

class OnlineHandlersTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void helpAndUpdatesOpenTheirPagesOnTheConfiguredSite();
    void theAboutBoxShowsTheVersionResourceAndItsLinkOpensTheSite();
    void theHelpMenuOpensBelowTheHelpButton();

private:
    QString m_record;
    std::unique_ptr<QTemporaryDir> m_folder;
};

void OnlineHandlersTest::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    m_record = m_folder->filePath(QStringLiteral("opened"));
    const QString browser = m_folder->filePath(QStringLiteral("browser"));
    QFile script(browser);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write(QStringLiteral("#!/bin/sh\necho \"$1\" >> '%1'\nexec sleep 600\n").arg(m_record).toUtf8());
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("VELMORA_BROWSER", browser.toUtf8());
}

void OnlineHandlersTest::helpAndUpdatesOpenTheirPagesOnTheConfiguredSite()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsStore().WriteString(SettingsStore::kSettings, kWebSiteValue, kSite);

    auto* help = main.helpPop->findChild<QAction*>(QStringLiteral("Help2"));
    auto* updates = main.findChild<QAction*>(QStringLiteral("CheckforUpdates1"));
    QVERIFY(help && updates);
    help->trigger();
    QTRY_COMPARE(Opened(m_record), QStringList{QStringLiteral("%1/onlinehelp.php").arg(kSite)});
    updates->trigger();
    QTRY_COMPARE(Opened(m_record), (QStringList{QStringLiteral("%1/onlinehelp.php").arg(kSite),
                                                QStringLiteral("%1/updates.php?vmaj=1&vmin=1").arg(kSite)}));
}

void OnlineHandlersTest::theAboutBoxShowsTheVersionResourceAndItsLinkOpensTheSite()
{
    Session session;
    TfrmMain& main = session.Open();
    SettingsStore().WriteString(SettingsStore::kSettings, kWebSiteValue, kSite);

    bool seen = false;
    WhenModalOpens<TfrmAbout>([&](TfrmAbout& about) {
        seen = true;
        QCOMPARE(about.windowTitle(), QStringLiteral("About ..."));
        QCOMPARE(about.Label1->text(), QStringLiteral("Velmora"));
        QCOMPARE(about.Label2->text(), QStringLiteral("Velmora is a secure media player for Linux that hides and "
                                                      "protects all of your media files"));
        QVERIFY(!about.Image1->pixmap().isNull());
        // The picture is drawn, not an empty square.
        const QImage picture = about.Image1->pixmap().toImage();
        QVERIFY(picture.pixelColor(picture.width() / 2, picture.height() / 2).alpha() > 0);
        QCOMPARE(about.lvDetails->topLevelItemCount(), 2);
        QCOMPARE(about.lvDetails->topLevelItem(0)->text(0), QStringLiteral("Product:"));
        QCOMPARE(about.lvDetails->topLevelItem(0)->text(1), QStringLiteral("Velmora"));
        QCOMPARE(about.lvDetails->topLevelItem(1)->text(0), QStringLiteral("Version:"));
        QCOMPARE(about.lvDetails->topLevelItem(1)->text(1),
                 QStringLiteral("Version ") + QString::fromStdString(ProductVersion()));
        QCOMPARE(about.lvDetails->columnWidth(0), 90);
        // Both rows are on the screen, whole, with their text drawn.
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QWidget* rows = about.lvDetails->viewport();
        const QImage drawn = rows->grab().toImage();
        for (int row = 0; row < 2; ++row) {
            const QRect at = about.lvDetails->visualItemRect(about.lvDetails->topLevelItem(row));
            QVERIFY2(!at.isEmpty() && rows->rect().contains(at),
                     qPrintable(QStringLiteral("row %1 at %2,%3 %4x%5 in a list %6 high")
                                    .arg(row).arg(at.x()).arg(at.y()).arg(at.width()).arg(at.height())
                                    .arg(rows->height())));
            QVERIFY(Colours(drawn, at) > 1);
        }
        QVERIFY(about.lblCopyright->text().startsWith(QStringLiteral("Copyright")));
        QCOMPARE(about.lblCopyright->text(), QString::fromStdString(LegalCopyright()));
        QCOMPARE(about.lmbBtnOK->text(), QStringLiteral("Close"));
        QCOMPARE(about.minimumSize(), about.maximumSize());   // fixed size

        QVERIFY(about.spSkinLinkLabel1->text().startsWith(QStringLiteral("Visit our website at:")));
        emit about.spSkinLinkLabel1->linkActivated(QString::fromLatin1(kSite));
        QTRY_COMPARE(Opened(m_record), QStringList{QString::fromLatin1(kSite)});

        QTest::mouseClick(about.lmbBtnOK, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    });
    main.findChild<QAction*>(QStringLiteral("About2"))->trigger();
    QVERIFY(seen);
}

void OnlineHandlersTest::theHelpMenuOpensBelowTheHelpButton()
{
    Session session;
    TfrmMain& main = session.Open();
    main.show();
    // Where the menu fits on the (800 x 600) screen, which would move it otherwise.
    main.move(20, 30);
    main.resize(710, 480);
    QTest::mouseClick(main.TitleArea->HelpButton(), Qt::LeftButton);
    QTRY_VERIFY(main.helpPop->isVisible());
    QCOMPARE(main.helpPop->pos(), QPoint(main.x() + main.width() - 195, main.y() + 43));
    main.helpPop->close();
}

int main(int argc, char** argv)
{
    VelmoraApplication app(argc, argv);
    OnlineHandlersTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "OnlineHandlersTest.moc"
