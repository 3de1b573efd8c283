// The play list control in the main window, without a sound device (no multimedia
// backend: the program runs without a player): filling it from the item list by menu,
// drops and double clicks, moving and removing entries, the switches, its drawing.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "catalogue/DragMarkers.h"
#include "dialogs/VelmoraApplication.h"
#include "platform/SettingsStore.h"
#include "playback/Playlist.h"
#include "playback/PlaylistView.h"
#include "playback/Preview.h"

#include "app/MainWindowSession.h"

#include <QAction>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QToolButton>
#include <QTreeView>
#include <QScopeGuard>
#include <QtTest/QtTest>

#include <algorithm>
#include <string>

using namespace velmora;
using velmora::test::Session;

namespace {

// The window over a library holding the named items, listed in name order.
struct PlaylistSession : Session {
    TfrmMain& main;

    explicit PlaylistSession(std::initializer_list<const char*> names, std::function<void()> beforeOpen = {})
        : main((beforeOpen ? beforeOpen() : void(), Open()))
    {
        for (const char* name : names)
            AddItem(name);
        ShowAndActivate();
        main.SelectPage(2);
        main.mainList->SortRows(ItemListView::ColFilename, 1);
        if (main.mainList->RowCount() != static_cast<int>(names.size()))
            qFatal("the items are not listed");
    }

    int Row(const char* fileName) const
    {
        for (int row = 0; row < main.mainList->RowCount(); ++row)
            if (main.mainList->CellText(row, ItemListView::ColFilename) == QLatin1String(fileName))
                return row;
        qFatal("%s is not listed", fileName);
    }
    void SelectOnly(std::initializer_list<const char*> names)
    {
        main.mainList->DetailView()->selectionModel()->clearSelection();
        for (const char* name : names)
            main.mainList->SetRowSelected(Row(name), true);
    }
    // The captions of the entries, joined with blanks (a caption is the file name).
    QString Entries() const
    {
        QStringList captions;
        for (const PlaylistEntry& entry : main.PlayList().Entries())
            captions << QString::fromStdString(entry.caption);
        return captions.join(' ');
    }
    QPoint RowCentre(int index) const { return main.playlist->visualRect(main.PlayList().index(index)).center(); }
    QPoint BelowTheRows() const
    {
        const int count = main.PlayList().Count();
        return count == 0 ? QPoint(20, 5) : main.playlist->visualRect(main.PlayList().index(count - 1)).bottomLeft() + QPoint(20, 30);
    }
    // A drag carrying the marker moved over the list to at, then dropped there.
    bool Drop(const char* marker, QPoint at)
    {
        const std::unique_ptr<QMimeData> data = NewMarkerDrag(marker);
        QWidget* target = main.playlist->viewport();
        const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(at, offered, data.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        QDragMoveEvent move(at, offered, data.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &move);
        if (!move.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), offered, data.get(), Qt::LeftButton, {});
        drop.setAccepted(false);
        QCoreApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    // The colours of the control's picture in the rectangle.
    QSet<QRgb> Colours(QRect area) const
    {
        const QImage shot = main.playlist->viewport()->grab().toImage();
        QSet<QRgb> colours;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                colours.insert(shot.pixel(x, y) & 0xFFFFFF);
        return colours;
    }
};

constexpr QRgb Rgb(int r, int g, int b)
{
    return static_cast<QRgb>((r << 16) | (g << 8) | b);
}

} // namespace

class PlaylistWindowTest : public QObject {
    Q_OBJECT
private slots:
    void addFilesAndDropsKeepTheListOrder();
    void entriesMoveByDraggingAndTheCurrentEntryStays();
    void deleteKeyRemoveItemAndRemoveAll();
    void repeatAndShuffleAreStoredAtOnceAndReadAtStart();
    void rowsAreColouredAndTheHintShowsOnlyOnTheLibraryPage();
    void theHintWrapsInsideTheList();
    void savingToDiskSwitchesThePlayListOff();
    void doubleClickOnAMovieReplacesThePlayList();
};

void PlaylistWindowTest::addFilesAndDropsKeepTheListOrder()
{
    PlaylistSession s({"a.mp3", "b.mp3", "c.mp3", "d.avi", "e.jpg"});
    QVERIFY(!s.main.btnFullScreen->isEnabled());

    s.SelectOnly({"d.avi", "b.mp3"});
    s.main.findChild<QAction*>("AddFilestoPlayList1")->trigger();
    QCOMPARE(s.Entries(), QString("b.mp3 d.avi"));   // list order, not selection order
    QCOMPARE(s.main.playlist->SelectedIndex(), 1);    // the last one added
    QVERIFY(s.main.btnFullScreen->isEnabled());

    // Rows of the item list dropped on a row land after it, in their list order; the
    // current entry stays the same item.
    s.main.SetCurrentPlaylistIndex(1);
    s.SelectOnly({"e.jpg", "a.mp3"});
    QVERIFY(s.Drop(kListDragMarker, s.RowCentre(0)));
    QCOMPARE(s.Entries(), QString("b.mp3 a.mp3 e.jpg d.avi"));
    QCOMPARE(s.main.PlayList().CurrentPlaylistIndex(), 3);
    QCOMPARE(s.main.playlist->PlaylistDropIndex, -1);

    // Below the last row: appended.
    s.SelectOnly({"c.mp3"});
    QVERIFY(s.Drop(kListDragMarker, s.BelowTheRows()));
    QCOMPARE(s.Entries(), QString("b.mp3 a.mp3 e.jpg d.avi c.mp3"));

    // Files from outside are not taken.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/tmp/x.mp3")});
    QDragEnterEvent enter(s.RowCentre(0), Qt::CopyAction, &files, Qt::LeftButton, {});
    QCoreApplication::sendEvent(s.main.playlist->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
}

void PlaylistWindowTest::entriesMoveByDraggingAndTheCurrentEntryStays()
{
    PlaylistSession s({"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    s.SelectOnly({"a.mp3", "b.mp3", "c.mp3", "d.mp3"});
    s.main.AddFilestoPlayList1Click();
    s.main.SetCurrentPlaylistIndex(2);   // c

    // A press on the first row, then the drag dropped on the third row.
    QTest::mousePress(s.main.playlist->viewport(), Qt::LeftButton, {}, s.RowCentre(0));
    QTest::mouseRelease(s.main.playlist->viewport(), Qt::LeftButton, {}, s.RowCentre(0));
    QCOMPARE(s.main.playlist->SelectedIndex(), 0);
    QVERIFY(s.Drop(kPlaylistDragMarker, s.RowCentre(2)));
    QCOMPARE(s.Entries(), QString("b.mp3 c.mp3 a.mp3 d.mp3"));
    QCOMPARE(s.main.playlist->SelectedIndex(), 2);
    QCOMPARE(s.main.PlayList().CurrentPlaylistIndex(), 1);   // still c

    // Dropped on no row, or on itself: nothing moves.
    QVERIFY(s.Drop(kPlaylistDragMarker, s.BelowTheRows()));
    QVERIFY(s.Drop(kPlaylistDragMarker, s.RowCentre(2)));
    QCOMPARE(s.Entries(), QString("b.mp3 c.mp3 a.mp3 d.mp3"));
    QCOMPARE(s.main.playlist->PlaylistDragIndex, -1);
}

void PlaylistWindowTest::deleteKeyRemoveItemAndRemoveAll()
{
    PlaylistSession s({"a.mp3", "b.mp3", "c.mp3"});
    s.SelectOnly({"a.mp3", "b.mp3", "c.mp3"});
    s.main.AddFilestoPlayList1Click();
    s.main.SetCurrentPlaylistIndex(2);

    s.main.playlist->SelectIndex(0);
    s.main.playlist->setFocus();
    QTest::keyClick(s.main.playlist, Qt::Key_Delete);
    QCOMPARE(s.Entries(), QString("b.mp3 c.mp3"));
    QCOMPARE(s.main.PlayList().CurrentPlaylistIndex(), 1);   // still c

    // "Remove Item" without a selection does nothing.
    s.main.playlist->selectionModel()->clearSelection();
    s.main.findChild<QAction*>("RemoveItem2")->trigger();
    QCOMPARE(s.Entries(), QString("b.mp3 c.mp3"));
    s.main.playlist->SelectIndex(1);
    s.main.findChild<QAction*>("RemoveItem1")->trigger();
    QCOMPARE(s.Entries(), QString("b.mp3"));
    QVERIFY(s.main.btnFullScreen->isEnabled());

    s.main.PlayPlaylist();
    QVERIFY(s.main.PlaylistActive());
    s.main.findChild<QAction*>("RemoveAll1")->trigger();
    QCOMPARE(s.main.PlayList().Count(), 0);
    QVERIFY(!s.main.PlaylistActive());
    QCOMPARE(s.main.PlayList().CurrentPlaylistIndex(), 0);
    QVERIFY(!s.main.btnFullScreen->isEnabled());
}

void PlaylistWindowTest::repeatAndShuffleAreStoredAtOnceAndReadAtStart()
{
    {
        PlaylistSession s({"a.mp3"});
        QVERIFY(!s.main.Repeat1->isChecked() && !s.main.Repeat2->isChecked());   // off for a new user
        QVERIFY(!s.main.Shuffle1->isChecked() && !s.main.Shuffle2->isChecked());
        s.main.Repeat2->trigger();
        QVERIFY(s.main.Repeat1->isChecked() && s.main.Repeat2->isChecked());
        QVERIFY(s.main.PlayList().PlaylistRepeat);
        QCOMPARE(SettingsStore().ReadString(SettingsStore::kSettings, "PLRepeat", ""), std::string("1"));
        s.main.Shuffle1->trigger();
        QVERIFY(s.main.Shuffle1->isChecked() && s.main.Shuffle2->isChecked());
        QCOMPARE(SettingsStore().ReadString(SettingsStore::kSettings, "PLShuffle", ""), std::string("1"));
        s.main.Repeat1->trigger();
        QVERIFY(!s.main.Repeat1->isChecked() && !s.main.Repeat2->isChecked());
        QCOMPARE(SettingsStore().ReadString(SettingsStore::kSettings, "PLRepeat", ""), std::string("0"));
    }
    PlaylistSession s({"a.mp3"}, [] {
        SettingsStore store;
        store.WriteBool(SettingsStore::kSettings, "PLRepeat", true);
        store.WriteBool(SettingsStore::kSettings, "PLShuffle", true);
        store.WriteBool(SettingsStore::kSettings, "SSCycle", false);
        store.WriteBool(SettingsStore::kSettings, "SSHideCtrls", true);
    });
    QVERIFY(s.main.Repeat1->isChecked() && s.main.Repeat2->isChecked() && s.main.PlayList().PlaylistRepeat);
    QVERIFY(s.main.Shuffle1->isChecked() && s.main.Shuffle2->isChecked() && s.main.PlayList().PlaylistShuffle);
    QVERIFY(!s.main.frmPreview().SlideshowCycle);
    QVERIFY(s.main.frmPreview().SlideshowHideControls);
}

void PlaylistWindowTest::rowsAreColouredAndTheHintShowsOnlyOnTheLibraryPage()
{
    PlaylistSession s({"a.mp3", "b.mp3", "c.mp3"});
    const QRect hintArea(21, 10, 150, 26);
    const QRgb hint = Rgb(49, 69, 136);
    QVERIFY(s.Colours(hintArea).contains(hint));   // Library page, empty list
    s.main.SelectPage(1);
    QVERIFY(!s.Colours(hintArea).contains(hint));
    s.main.SelectPage(2);

    s.SelectOnly({"a.mp3", "b.mp3", "c.mp3"});
    s.main.AddFilestoPlayList1Click();
    QVERIFY(!s.Colours(hintArea).contains(hint));
    s.main.SetCurrentPlaylistIndex(1);
    s.main.playlist->SelectIndex(2);
    const auto row = [&](int index) { return s.main.playlist->visualRect(s.main.PlayList().index(index)); };
    const QSet<QRgb> ordinary = s.Colours(row(0));
    const QSet<QRgb> current = s.Colours(row(1));
    const QSet<QRgb> selected = s.Colours(row(2));
    QVERIFY(ordinary.contains(Rgb(204, 204, 204)) && ordinary.contains(Rgb(0, 0, 0)));
    QVERIFY(current.contains(Rgb(204, 204, 204)) && current.contains(Rgb(64, 82, 184)));
    QVERIFY(!current.contains(Rgb(0, 0, 0)));
    QVERIFY(selected.contains(Rgb(131, 131, 131)) && selected.contains(Rgb(255, 255, 255)));
    // The current entry keeps its text colour when selected.
    s.main.playlist->SelectIndex(1);
    const QSet<QRgb> currentSelected = s.Colours(row(1));
    QVERIFY(currentSelected.contains(Rgb(131, 131, 131)) && currentSelected.contains(Rgb(64, 82, 184)));
    QVERIFY(!currentSelected.contains(Rgb(255, 255, 255)));
}

void PlaylistWindowTest::savingToDiskSwitchesThePlayListOff()
{
    PlaylistSession s({"a.mp3", "b.mp3"});
    QTemporaryDir target;
    s.SelectOnly({"a.mp3", "b.mp3"});
    s.main.AddFilestoPlayList1Click();
    s.main.PlayPlaylist();
    QVERIFY(s.main.PlaylistActive());
    QVERIFY(s.main.PlayList().plTimer.isActive());

    s.main.SelectPage(2);
    s.SelectOnly({"a.mp3"});
    s.dialogs.files.push_back(target.path());
    s.main.actFileSaveToDisk->trigger();
    QVERIFY(QFile::exists(target.filePath("a.mp3")));
    QVERIFY(!s.main.PlaylistActive());
    QVERIFY(!s.main.PlayList().plTimer.isActive());
}

void PlaylistWindowTest::doubleClickOnAMovieReplacesThePlayList()
{
    PlaylistSession s({"a.jpg", "b.avi", "c.jpg", "d.mp3"});
    s.SelectOnly({"d.mp3"});
    s.main.AddFilestoPlayList1Click();   // replaced below

    s.SelectOnly({"b.avi"});
    s.main.mainList1DblClick(s.Row("b.avi"));
    // Without a player control pictures are entries like any other (only the legacy
    // control leaves them out).
    QCOMPARE(s.Entries(), QString("a.jpg b.avi c.jpg d.mp3"));
    QCOMPARE(s.main.PlayList().CurrentPlaylistIndex(), 1);
    QVERIFY(s.main.PlaylistActive());
    QCOMPARE(s.main.CurrentPage(), 1);
    QVERIFY(!s.main.frmPreview().isVisible());
}

// The empty list's hint is written whole inside the list, at the window's sizes: no
// text runs into the right edge, where it would be cut.
void PlaylistWindowTest::theHintWrapsInsideTheList()
{
    qApp->setStyleSheet(VelmoraApplication::StyleSheet());
    const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    PlaylistSession s({"a.mp3"});
    for (const QSize size : {s.main.size(), QSize(900, 600), QSize(700, 500)}) {
        s.main.resize(size);
        QTest::qWait(50);
        QWidget* viewport = s.main.playlist->viewport();
        const QImage shot = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto isText = [&](int x, int y) { return (shot.pixel(x, y) & 0xFFFFFF) != Rgb(204, 204, 204); };
        int textPixels = 0;
        int rightmost = -1;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (isText(x, y)) {
                    ++textPixels;
                    rightmost = std::max(rightmost, x);
                }
        const QString where = QString("window %1 x %2, list %3 wide").arg(size.width()).arg(size.height()).arg(shot.width());
        QVERIFY2(textPixels > 100, qPrintable(where + ": no hint"));
        QVERIFY2(rightmost < shot.width() - 3,
                 qPrintable(where + QString(": text reaches x = %1").arg(rightmost)));
    }
}

QTEST_MAIN(PlaylistWindowTest)
#include "PlaylistWindowTest.moc"
