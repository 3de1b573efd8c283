// The slideshow window over a real library: where a show starts, Next and Previous
// with and without repeat, the options row, its keys and buttons, the switches, the
// picture control lent to it and given back, large pictures decoded off the window's
// thread.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "platform/SettingsStore.h"
#include "playback/ImageAspect.h"
#include "playback/Playlist.h"
#include "playback/Preview.h"
#include "store/AddItemOnThread.h"
#include "store/MemoryStream.h"
#include "store/Connection.h"

#include "app/MainWindowSession.h"
#include "dialogs/VelmoraApplication.h"
#include "playback/TestPictures.h"
#include "support/ImageColours.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTreeView>
#include <QtTest/QtTest>

#include <string>

using namespace velmora;
using velmora::test::Session;

namespace {

void AddContent(const std::string& fileName, const std::string& bytes)
{
    MemoryStream source(bytes);
    if (!AddItemOnThread(std::nullopt, source, fileName, -1, fileName))
        qFatal("item not added");
}

// A picture whose size tells which one is shown: width 40 + 10 * n.
std::string Photo(int n)
{
    return test::EncodedPicture(test::TwoColourPicture(40 + 10 * n, 30), "JPG");
}

// The window over a library of the named items (pictures are real JPEGs), listed in
// name order, on the Library page.
struct ShowSession : Session {
    TfrmMain& main;

    ShowSession(std::initializer_list<const char*> names, std::int64_t packedOptions = 0x50001) : main(Open())
    {
        main.MainLibrary().MainConnection().Execute("Update options set opt_currentStore = " +
                                                    std::to_string(packedOptions) + ", opt_currentStoreSize = 255");
        int n = 0;
        for (const char* name : names) {
            const std::string file(name);
            AddContent(file, file.ends_with(".jpg") ? Photo(n) : "not a picture: " + file);
            ++n;
        }
        ShowAndActivate();
        main.SelectPage(2);
        main.mainList->SortRows(ItemListView::ColFilename, 1);
        if (main.mainList->RowCount() != static_cast<int>(names.size()))
            qFatal("the items are not listed");
    }

    TfrmPreview& Show() { return main.frmPreview(); }
    QString Info() { return Show().lblInfo->text(); }
    int SelectedRow()
    {
        const std::vector<int> rows = SelectedRows();
        return rows.size() == 1 ? rows.front() : -1;
    }
    std::vector<int> SelectedRows()
    {
        std::vector<int> rows;
        for (int row = 0; row < main.mainList->RowCount(); ++row)
            if (main.mainList->IsRowSelected(row))
                rows.push_back(row);
        return rows;
    }
    // The picture drawn is the one of the row: its width tells.
    bool Showing(int row) { return main.picture->Picture().width() == 40 + 10 * row; }
    bool PictureOnTheShow() { return main.picture->parentWidget() == Show().PictureArea(); }
    bool PictureInThePane() { return main.picture->parentWidget() == main.Panel4; }
};

// Pictures at rows 2, 5 and 7 of nine.
const std::initializer_list<const char*> kNine = {"0.mp3", "1.avi", "2.jpg", "3.mp3", "4.txt",
                                                  "5.jpg", "6.avi", "7.jpg", "8.mp3"};

} // namespace

class SlideshowWindowTest : public QObject {
    Q_OBJECT
private slots:
    void startsAtTheSelectedPictureAndWrapsWithRepeat();
    void withoutRepeatAnEndClosesTheShow();
    void theOptionsRowSetsTimerColourAndRepeat();
    void underTheProgramsStyleTheColourShowsAndEveryCaptionIsWhole();
    void escapeKeepsTheTimerCloseStopsIt();
    void startStopShowAndHiddenControls();
    void kindsTheShowPassesOverAreNotCounted();
    void theLockANonPictureAndAddingFilesEndTheShow();
    void doubleClicksAndEnterStartTheShow();
    void aLargePictureIsDecodedOffTheWindowsThread();
};

void SlideshowWindowTest::startsAtTheSelectedPictureAndWrapsWithRepeat()
{
    ShowSession s(kNine);
    s.main.mainList->SetRowSelected(0, true);
    s.main.mainList->SetRowSelected(5, true);
    s.main.mainList->SetRowSelected(8, true);
    // With several rows selected the action is off; a double click on the pane starts it.
    QVERIFY(!s.main.actViewSlideshow->isEnabled());
    QTest::mouseDClick(s.main.Panel4, Qt::LeftButton);
    QVERIFY(s.Show().isVisible());
    QVERIFY(s.PictureOnTheShow());
    QCOMPARE(s.SelectedRows(), std::vector<int>{5});   // every other selection cleared
    QCOMPARE(s.Info(), QString("Image 2 of 3"));
    QVERIFY(s.Showing(5));

    s.Show().btnNext->click();
    QCOMPARE(s.Info(), QString("Image 3 of 3"));
    QCOMPARE(s.SelectedRow(), 7);
    QVERIFY(s.Showing(7));
    QTest::keyClick(&s.Show(), Qt::Key_Right);   // wraps
    QCOMPARE(s.Info(), QString("Image 1 of 3"));
    QCOMPARE(s.SelectedRow(), 2);
    QTest::keyClick(&s.Show(), Qt::Key_Up);   // Previous at the first: the last
    QCOMPARE(s.Info(), QString("Image 3 of 3"));
    QCOMPARE(s.SelectedRow(), 7);
    QTest::keyClick(&s.Show(), Qt::Key_Left);
    QCOMPARE(s.Info(), QString("Image 2 of 3"));
    QTest::keyClick(&s.Show(), Qt::Key_Space);
    QCOMPARE(s.Info(), QString("Image 3 of 3"));
    QVERIFY(s.Show().isVisible());

    // A request to close the window is refused: it is only ever hidden.
    s.Show().close();
    QVERIFY(s.Show().isVisible());
}

void SlideshowWindowTest::withoutRepeatAnEndClosesTheShow()
{
    ShowSession s(kNine, 0x50000);
    s.main.actViewSlideshow->trigger();   // nothing selected: the first picture
    QCOMPARE(s.Info(), QString("Image 1 of 3"));
    QCOMPARE(s.SelectedRow(), 2);
    QTest::keyClick(&s.Show(), Qt::Key_Left);   // Previous at the first closes
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());
    QVERIFY(!s.Show().tmrAutoadvance.isActive());

    s.main.actViewSlideshow->trigger();
    s.Show().btnNext->click();
    s.Show().btnNext->click();
    QCOMPARE(s.Info(), QString("Image 3 of 3"));
    s.Show().btnNext->click();
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());
}

void SlideshowWindowTest::theOptionsRowSetsTimerColourAndRepeat()
{
    {
        ShowSession s(kNine, 0x1E0000);
        s.main.actViewSlideshow->trigger();
        QCOMPARE(s.Show().tmrAutoadvance.interval(), 30000);
        QVERIFY(s.Show().tmrAutoadvance.isActive());   // cycling is on for a new user
        QVERIFY(!s.Show().Show().SlideshowRepeat);
        QVERIFY(test::ColourShare(s.Show().grab().toImage(), QColor(255, 0, 0)) > 0.5);   // 0x0000FF is red
        QCOMPARE(s.Show().geometry(), s.Show().screen()->geometry());
    }
    ShowSession s(kNine, 0x00001);   // a delay of 0: never advances by itself
    s.main.actViewSlideshow->trigger();
    QVERIFY(!s.Show().tmrAutoadvance.isActive());
    QTest::qWait(50);
    QCOMPARE(s.Info(), QString("Image 1 of 3"));
}

void SlideshowWindowTest::escapeKeepsTheTimerCloseStopsIt()
{
    ShowSession s(kNine);
    s.main.actViewSlideshow->trigger();
    QVERIFY(s.Show().tmrAutoadvance.isActive());
    QCOMPARE(s.Show().tmrAutoadvance.interval(), 5000);
    QTest::keyClick(&s.Show(), Qt::Key_Escape);
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());
    QVERIFY(s.Show().tmrAutoadvance.isActive());
    // While hidden the timer does nothing.
    const int row = s.SelectedRow();
    s.Show().tmrAutoadvanceTimer();
    QCOMPARE(s.SelectedRow(), row);

    s.main.actViewSlideshow->trigger();
    s.Show().tmrAutoadvanceTimer();   // shown: it steps
    QCOMPARE(s.Info(), QString("Image 2 of 3"));
    s.Show().btnClose->click();
    QVERIFY(!s.Show().isVisible());
    QVERIFY(!s.Show().tmrAutoadvance.isActive());
    QVERIFY(s.PictureInThePane());
}

void SlideshowWindowTest::startStopShowAndHiddenControls()
{
    ShowSession s(kNine);
    s.main.actViewSlideshow->trigger();
    QCOMPARE(s.Show().btnAutoShow->text(), QString("Stop Show  "));
    QVERIFY(s.Show().pnlHideControls->isVisible() && !s.Show().pnlRestoreControls->isVisible());
    const int height = s.Show().height();
    QCOMPARE(s.Show().sausagepanel->y(), s.Show().screen()->geometry().height() - TfrmPreview::kPanelHeight - 2);

    s.Show().btnAutoShow->click();
    QCOMPARE(s.Show().btnAutoShow->text(), QString("Start Show  "));
    QVERIFY(!s.Show().tmrAutoadvance.isActive());
    QCOMPARE(SettingsStore().ReadString(SettingsStore::kSettings, "SSCycle", ""), std::string("0"));
    s.Show().btnAutoShow->click();
    QVERIFY(s.Show().tmrAutoadvance.isActive());
    QCOMPARE(SettingsStore().ReadString(SettingsStore::kSettings, "SSCycle", ""), std::string("1"));

    s.Show().btnMinimize1Click();
    QCOMPARE(s.Show().sausagepanel->y(), height - TfrmPreview::kHiddenPanelShows);
    QVERIFY(!s.Show().lblInfo->isVisible() && s.Show().pnlRestoreControls->isVisible());
    s.Show().btnMaximize1Click();
    QVERIFY(s.Show().lblInfo->isVisible() && !s.Show().pnlRestoreControls->isVisible());

    // Started with the controls tucked away.
    s.Show().btnCloseClick();
    s.Show().SlideshowHideControls = true;
    s.main.actViewSlideshow->trigger();
    QVERIFY(!s.Show().lblInfo->isVisible());
    QCOMPARE(s.Show().sausagepanel->y(), s.Show().height() - TfrmPreview::kHiddenPanelShows);
}

void SlideshowWindowTest::kindsTheShowPassesOverAreNotCounted()
{
    // An ".EMF" item is no picture for the show: it is passed by and not counted.
    ShowSession s({"0.jpg", "1.emf", "2.jpg"});
    s.main.actViewSlideshow->trigger();
    QCOMPARE(s.Info(), QString("Image 1 of 2"));
    QTest::keyClick(&s.Show(), Qt::Key_Left);
    QCOMPARE(s.Info(), QString("Image 2 of 2"));
    QCOMPARE(s.SelectedRow(), 2);
    QTest::keyClick(&s.Show(), Qt::Key_Left);
    QCOMPARE(s.Info(), QString("Image 1 of 2"));
    QCOMPARE(s.SelectedRow(), 0);
}

void SlideshowWindowTest::theLockANonPictureAndAddingFilesEndTheShow()
{
    ShowSession s(kNine);
    // A non-picture previewed while the show runs.
    s.main.actViewSlideshow->trigger();
    QVERIFY(s.Show().isVisible());
    s.main.mainList->SelectIdent(s.main.mainList->IdentAt(3));
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());

    // Files added (a second start handing them over); a non-picture is selected, so
    // the action is off and the show starts as a double click starts it.
    s.main.doViewSlideshow();
    QVERIFY(s.Show().isVisible());
    QTemporaryDir folder;
    // A picture: selecting it afterwards would not end the show by itself.
    const QString photo = folder.filePath("new.jpg");
    QFile file(photo);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(Photo(1)));
    file.close();
    s.main.AddFileList({photo.toStdString()}, 0);
    QVERIFY(QTest::qWaitFor([&] { return s.main.mainList->RowCount() == 10; }, 30000));
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());

    // The lock.
    s.main.SelectPage(2);
    s.main.doViewSlideshow();
    QVERIFY(s.Show().isVisible());
    s.main.doFileBoss();
    QVERIFY(!s.Show().isVisible());
    QVERIFY(s.PictureInThePane());
}

void SlideshowWindowTest::doubleClicksAndEnterStartTheShow()
{
    {
        // Only pictures: a double click anywhere starts the show.
        ShowSession s({"0.jpg", "1.jpg", "2.jpg"});
        s.main.mainList->SelectIdent(s.main.mainList->IdentAt(1));
        s.main.mainList1DblClick(1);
        QVERIFY(s.Show().isVisible());
        QCOMPARE(s.Info(), QString("Image 2 of 3"));
        QCOMPARE(s.main.PlayList().Count(), 0);
    }
    ShowSession s(kNine);
    // A picture among other kinds.
    s.main.mainList->SelectIdent(s.main.mainList->IdentAt(5));
    s.main.mainList1DblClick(5);
    QVERIFY(s.Show().isVisible());
    QCOMPARE(s.main.PlayList().Count(), 0);
    s.Show().btnCloseClick();

    // Enter in the list while a picture is previewed; a double click on the picture.
    s.main.mainList->SelectIdent(s.main.mainList->IdentAt(7));
    QVERIFY(s.main.picture->isVisible());
    s.main.mainList->DetailView()->setFocus();
    QTest::keyClick(s.main.mainList->DetailView(), Qt::Key_Return);
    QVERIFY(s.Show().isVisible());
    QCOMPARE(s.Info(), QString("Image 3 of 3"));
    s.Show().btnCloseClick();
    QTest::mouseDClick(s.main.picture, Qt::LeftButton);
    QVERIFY(s.Show().isVisible());
    s.Show().btnCloseClick();

    // Enter with no picture previewed does nothing.
    s.main.mainList->SelectIdent(s.main.mainList->IdentAt(3));
    QTest::keyClick(s.main.mainList->DetailView(), Qt::Key_Return);
    QVERIFY(!s.Show().isVisible());
}

void SlideshowWindowTest::aLargePictureIsDecodedOffTheWindowsThread()
{
    // Noise does not compress: a large file of many pixels.
    QImage noise(2400, 1800, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < noise.width(); ++x)
            line[x] = random.generate();
    }
    ShowSession s({"0.jpg"});
    AddContent("1.jpg", test::EncodedPicture(noise, "JPG"));
    s.main.ListSelectedNode();
    s.main.mainList->SortRows(ItemListView::ColFilename, 1);

    s.main.mainList->SelectIdent(s.main.mainList->IdentAt(0));
    QVERIFY(s.Showing(0));
    s.main.actViewSlideshow->trigger();
    s.Show().btnNext->click();
    QCOMPARE(s.Info(), QString("Image 2 of 2"));
    // The previous picture stays until the next one is ready.
    QVERIFY(s.Showing(0));
    QVERIFY(s.main.picture->isVisible());
    QVERIFY(QTest::qWaitFor([&] { return s.main.picture->Picture().width() == 2400; }, 60000));
    QVERIFY(s.main.picture->isVisible());

    // A picture still on its way when another is chosen is never shown.
    s.Show().btnNext->click();   // back to the small one at once
    QVERIFY(s.Showing(0));
    s.Show().btnNext->click();   // the large one again ...
    s.Show().btnNext->click();   // ... and away before it arrived
    QVERIFY(s.Showing(0));
    QTest::qWait(1500);
    QVERIFY(s.Showing(0));
}

void SlideshowWindowTest::underTheProgramsStyleTheColourShowsAndEveryCaptionIsWhole()
{
    qApp->setStyleSheet(VelmoraApplication::StyleSheet());
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    ShowSession s(kNine);   // red
    s.main.actViewSlideshow->trigger();
    TfrmPreview& show = s.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&show));
    const QImage shot = show.grab().toImage();
    const double red = test::ColourShare(shot, QColor(255, 0, 0));
    QVERIFY2(red > 0.5, qPrintable(QString("%1 of the window red").arg(red)));

    // Every caption in full, with either caption of the show button, none over another,
    // all on the panel and the panel on the screen.
    for (int cycling = 0; cycling < 2; ++cycling) {
        const QList<QPushButton*> buttons{show.btnClose, show.btnAutoShow, show.btnPrevious, show.btnNext};
        for (QPushButton* button : buttons) {
            QVERIFY2(button->width() >= button->sizeHint().width(),
                     qPrintable(QString("%1: %2 wide, needs %3").arg(button->text()).arg(button->width())
                                    .arg(button->sizeHint().width())));
            const QRect onPanel(button->mapTo(show.sausagepanel, QPoint(0, 0)), button->size());
            QVERIFY(show.sausagepanel->rect().contains(onPanel));
            for (QPushButton* other : buttons)
                if (other != button)
                    QVERIFY2(!button->geometry().intersects(other->geometry()),
                             qPrintable(button->text() + " overlaps " + other->text()));
        }
        QVERIFY(show.rect().contains(show.sausagepanel->geometry()));
        show.btnAutoShowClick();
        QCoreApplication::processEvents();   // the layout runs before the next paint
    }
}

QTEST_MAIN(SlideshowWindowTest)
#include "SlideshowWindowTest.moc"
