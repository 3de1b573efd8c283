// The item list of the Library page over a real library in a temporary folder:
// listings and counters, kinds, sizes and dates with their sorting, lazy thumbnails,
// renaming in place, the drag out of the list and drops onto it.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "app/StockImages.h"
#include "app/TaskbarStandIn.h"
#include "catalogue/Categories.h"
#include "catalogue/DragMarkers.h"
#include "catalogue/ItemKind.h"
#include "catalogue/ItemRows.h"
#include "store/AddItemOnThread.h"
#include "store/MemoryStream.h"
#include "store/ObjectStore.h"
#include "store/Query.h"
#include "store/SqlText.h"

#include "app/MainWindowSession.h"

#include <QAction>
#include <QBuffer>
#include <QDrag>
#include <QDirIterator>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QTreeView>
#include <QUrl>
#include <QtTest/QtTest>

#include <algorithm>
#include <optional>
#include <thread>
#include <string>

using namespace velmora;
using velmora::test::Session;

namespace {

// Adds an item with the given bytes; returns its rec_ident.
int AddBytes(TfrmMain& main, const std::string& fileName, const QByteArray& bytes,
             std::optional<int> category = std::nullopt, const std::string& description = {})
{
    MemoryStream source(bytes.toStdString());
    if (!AddItemOnThread(category, source, fileName, -1, description.empty() ? fileName : description))
        qFatal("item not added");
    db::Query last(main.MainLibrary().MainConnection(), "Select max(rec_ident) as id from Record");
    return static_cast<int>(last.AsInteger("id"));
}

QByteArray Jpeg(int width, int height, const QColor& color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return bytes;
}

QStringList Column(const ItemListView& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.RowCount(); ++row)
        texts << list.CellText(row, column);
    return texts;
}

int RowOf(const ItemListView& list, const QString& description)
{
    for (int row = 0; row < list.RowCount(); ++row)
        if (list.CellText(row, ItemListView::ColDescription) == description)
            return row;
    return -1;
}

void ClickHeader(ItemListView& list, int column)
{
    QHeaderView* header = list.DetailView()->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void ShowCategory(TfrmMain& main, int category)
{
    main.FillItemList(ReadItemRows(main.MainLibrary().MainConnection(), CategoryItemsQuery(category)));
}

QList<int> Images(const ItemListView& list)
{
    QList<int> positions;
    for (int row = 0; row < list.RowCount(); ++row)
        positions << list.ImageIndexAt(row);
    return positions;
}

bool AllMade(const ItemListView& list)
{
    return !Images(list).contains(kThumbnailNotMade);
}

// Every file under folder, each as one string of bytes.
QList<QByteArray> FilesUnder(const QString& folder)
{
    QList<QByteArray> contents;
    QDirIterator files(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly))
            contents << file.readAll();
    }
    return contents;
}

struct DropOutcome {
    bool entered = false;              // the list took the drag in
    Qt::DropAction enterAction = Qt::IgnoreAction;
    bool dropped = false;              // ... and then the drop
    Qt::DropAction dropAction = Qt::IgnoreAction;
};

// Drags data over the middle of the list's visible view and drops it there, the way
// the application delivers it: a drop reaches only a widget that took the drag in.
DropOutcome DragAndDrop(ItemListView& list, const QMimeData& data, Qt::KeyboardModifiers keys)
{
    QWidget* viewport = list.IsThumbnailView() ? list.ThumbnailView()->viewport() : list.DetailView()->viewport();
    const QPoint at(viewport->width() / 2, viewport->height() / 2);
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    DropOutcome outcome;
    QDragEnterEvent enter(at, offered, &data, Qt::LeftButton, keys);
    enter.setAccepted(false);
    QApplication::sendEvent(viewport, &enter);
    outcome.entered = enter.isAccepted();
    outcome.enterAction = enter.dropAction();
    if (!outcome.entered)
        return outcome;
    QDragMoveEvent move(at, offered, &data, Qt::LeftButton, keys);
    move.setAccepted(false);
    QApplication::sendEvent(viewport, &move);
    QDropEvent drop(QPointF(at), offered, &data, Qt::LeftButton, keys);
    drop.setAccepted(false);
    QApplication::sendEvent(viewport, &drop);
    outcome.dropped = drop.isAccepted();
    outcome.dropAction = drop.dropAction();
    return outcome;
}

QMimeData* FilesFromOutside(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

} // namespace

class ItemListViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void statusLineForACategoryOfPictureMoviesAndMidi();
    void unclassifiedListsExactlyTheItemsWithoutCategory();
    void emfIsUnknownWithTheNoThumbnailImage();
    void sizeTextsAndSortingByBytes();
    void dateSortingByValue();
    void descriptionSortsAscendingAtTheFirstClick();
    void thumbnailsFillInFromTheWorkers();
    void visibleRowsAreFilledFirst();
    void afterARestartThumbnailsComeFromTheCacheAndNothingPlainIsOnDisk();
    void theLockStopsTheWorkersUntilUnlocked();
    void renameDescriptionInPlace_data();
    void renameDescriptionInPlace();
    void infoTipAndSelectAll();
    void initialViewFollowsTheOptions_data();
    void initialViewFollowsTheOptions();
    void dragFromTheListCarriesTheMarkerOnly();
    void markerDropOnTheListIsRefused();
    void fileManagerDropAddsTheFiles();
};

void ItemListViewTest::initTestCase()
{
    // Sizes and dates in a known form: thousands with commas, dates month first.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void ItemListViewTest::statusLineForACategoryOfPictureMoviesAndMidi()
{
    Session session;
    TfrmMain& main = session.Open();
    const int category = InsertCategory(main.MainLibrary().MainConnection(), 0, "Mixed");
    for (const char* name : {"photo.jpg", "first.avi", "second.mpg", "tune.mid"})
        session.AddItem(name, category);
    session.AddItem("elsewhere.gif");   // unclassified: not counted
    main.actViewSlideshow->setEnabled(false);

    ShowCategory(main, category);

    QCOMPARE(main.mainList->RowCount(), 4);
    QCOMPARE((QStringList{main.lblFileInfo1->text(), main.lblFileInfo3->text(), main.lblFileInfo4->text(),
                          main.lblFileInfo5->text()}),
             (QStringList{"4 Items", "2 movies", "1 audio", "1 image"}));
    QVERIFY(main.actViewSlideshow->isEnabled());
    QCOMPARE(Column(*main.mainList, ItemListView::ColFileType), (QStringList{"Video", "Image", "Video", "Audio"}));

    // A category without pictures turns the slideshow off again.
    const int sounds = InsertCategory(main.MainLibrary().MainConnection(), 0, "Sounds");
    session.AddItem("song.mp3", sounds);
    ShowCategory(main, sounds);
    QVERIFY(!main.actViewSlideshow->isEnabled());
    QCOMPARE(main.lblFileInfo1->text(), QStringLiteral("1 Item"));
}

void ItemListViewTest::unclassifiedListsExactlyTheItemsWithoutCategory()
{
    Session session;
    TfrmMain& main = session.Open();
    db::Connection& connection = main.MainLibrary().MainConnection();
    const int filed = InsertCategory(connection, 0, "Filed");
    const int other = InsertCategory(connection, filed, "Other");
    const int loose1 = AddBytes(main, "zeta.jpg", "z");
    AddBytes(main, "in filed.avi", "f", filed);
    AddBytes(main, "in other.mp3", "o", other);
    const int loose2 = AddBytes(main, "alpha.wav", "a");
    session.ShowAndActivate();   // lists "<Unclassified>"

    QCOMPARE(main.mainList->RowCount(), 2);
    QCOMPARE(main.mainList->IdentAt(0), loose2);   // by description
    QCOMPARE(main.mainList->IdentAt(1), loose1);
    QCOMPARE(Column(*main.mainList, ItemListView::ColDescription), (QStringList{"alpha.wav", "zeta.jpg"}));
    QCOMPARE(Column(*main.mainList, ItemListView::ColFilename), (QStringList{"alpha.wav", "zeta.jpg"}));
    QCOMPARE(main.lblFileInfo1->text(), QStringLiteral("2 Items"));
}

void ItemListViewTest::emfIsUnknownWithTheNoThumbnailImage()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "Drawing.emf", QByteArray(200, '\x01'));
    session.ShowAndActivate();
    main.actViewThumbnails->trigger();
    ItemListView& list = *main.mainList;

    QCOMPARE(list.CellText(0, ItemListView::ColFileType), QStringLiteral("Unknown"));
    QCOMPARE(list.ImageIndexAt(0), 0);
    QTRY_COMPARE_WITH_TIMEOUT(list.ImageIndexAt(0), 1, 30000);
    QCOMPARE(list.ImageCount(), 4);   // nothing made
    QCOMPARE(list.Image(1), StockImages()[1].toImage());
    QVERIFY(list.Image(1) != list.Image(0));
}

void ItemListViewTest::sizeTextsAndSortingByBytes()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "two.avi", QByteArray(2 * 1024 * 1024, 'b'));
    AddBytes(main, "one.avi", QByteArray(1, 'a'));
    AddBytes(main, "nine.avi", QByteArray(900 * 1024, 'c'));
    AddBytes(main, "ten.avi", QByteArray(10240, 'd'));
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    list.SelectIdent(list.IdentAt(RowOf(list, "nine.avi")));

    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"nine.avi", "one.avi", "ten.avi", "two.avi"}));
    QCOMPARE(Column(list, ItemListView::ColSize), (QStringList{"900 KB", "1  B", "10,240  B", "2,048 KB"}));

    // The first click on "Size" sorts descending, the next ascending: by bytes, where
    // the texts would put "900 KB" last.
    ClickHeader(list, ItemListView::ColSize);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"two.avi", "nine.avi", "ten.avi", "one.avi"}));
    ClickHeader(list, ItemListView::ColSize);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"one.avi", "ten.avi", "nine.avi", "two.avi"}));
    // The selection stays on its item.
    QCOMPARE(list.SelectedCount(), 1);
    QCOMPARE(list.CellText(list.DetailView()->currentIndex().row(), ItemListView::ColDescription),
             QStringLiteral("nine.avi"));

    // A refill shows the query's order again; the sort state carries on.
    main.actViewRefresh->trigger();
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"nine.avi", "one.avi", "ten.avi", "two.avi"}));
    ClickHeader(list, ItemListView::ColSize);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"two.avi", "nine.avi", "ten.avi", "one.avi"}));
}

void ItemListViewTest::dateSortingByValue()
{
    Session session;
    TfrmMain& main = session.Open();
    db::Connection& connection = main.MainLibrary().MainConnection();
    const struct {
        const char* name;
        const char* date;
    } items[] = {{"a.mp3", "2024-02-01"}, {"b.mp3", "2023-12-31"}, {"c.mp3", "2025-10-05"}, {"d.mp3", nullptr}};
    for (const auto& item : items) {
        const int ident = AddBytes(main, item.name, "x");
        connection.Execute(item.date == nullptr
                               ? SqlFormat("update Record set rec_date_added = NULL where rec_ident = %d", ident)
                               : SqlFormat("update Record set rec_date_added = '%s' where rec_ident = %d", item.date,
                                           ident));
    }
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    QCOMPARE(Column(list, ItemListView::ColDateAdded), (QStringList{"2/1/2024", "12/31/2023", "10/5/2025", ""}));

    // As texts "10/5/2025" would come first; as dates it is the newest. No date at all
    // counts as older than every date.
    ClickHeader(list, ItemListView::ColDateAdded);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"c.mp3", "a.mp3", "b.mp3", "d.mp3"}));
    ClickHeader(list, ItemListView::ColDateAdded);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"d.mp3", "b.mp3", "a.mp3", "c.mp3"}));
}

void ItemListViewTest::descriptionSortsAscendingAtTheFirstClick()
{
    Session session;
    TfrmMain& main = session.Open();
    const int category = InsertCategory(main.MainLibrary().MainConnection(), 0, "Mixed");
    for (const char* name : {"b.avi", "C.wav", "a.jpg"})
        AddBytes(main, name, "x", category);
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    list.SetRows({});
    // Rows in an order of their own, as a search might give them.
    ItemListing listing = ReadItemRows(main.MainLibrary().MainConnection(), CategoryItemsQuery(category));
    std::swap(listing.rows[0], listing.rows[2]);
    main.FillItemList(listing);
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"b.avi", "a.jpg", "C.wav"}));

    ClickHeader(list, ItemListView::ColDescription);   // letters compare without case
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"a.jpg", "b.avi", "C.wav"}));
    ClickHeader(list, ItemListView::ColFileType);      // another column: descending
    QCOMPARE(Column(list, ItemListView::ColFileType), (QStringList{"Video", "Image", "Audio"}));
}

void ItemListViewTest::thumbnailsFillInFromTheWorkers()
{
    Session session;
    TfrmMain& main = session.Open();
    const int wide = AddBytes(main, "a wide.jpg", Jpeg(200, 100, Qt::red));
    const int corrupt = AddBytes(main, "b corrupt.jpg", QByteArray("\xFF\xD8\xFF\xE0 not really a picture"));
    const int film = AddBytes(main, "c film.avi", "movie bytes");
    const int song = AddBytes(main, "d song.mp3", "music bytes");
    const int tall = AddBytes(main, "e tall.JPEG", Jpeg(50, 100, Qt::blue));
    session.ShowAndActivate();
    ItemListView& list = *main.mainList;
    QCOMPARE(list.RowCount(), 5);
    QCOMPARE(list.IdentAt(0), wide);
    QCOMPARE(list.IdentAt(1), corrupt);
    QCOMPARE(list.IdentAt(2), film);
    QCOMPARE(list.IdentAt(3), song);
    QCOMPARE(list.IdentAt(4), tall);

    // The workers run in the thumbnail view only.
    QVERIFY(!list.ThumbnailsRunning());
    main.actViewThumbnails->trigger();
    QVERIFY(list.ThumbnailsRunning());

    QCOMPARE(Images(list), (QList<int>{0, 0, 0, 0, 0}));   // nothing shown before the loop runs
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(list), 30000);
    // The corrupt JPEG: no thumbnail possible; the movie and the song their stock
    // pictures; the two pictures their own, in the order they arrived.
    QCOMPARE(Images(list).mid(1, 3), (QList<int>{1, 2, 3}));
    QCOMPARE(list.ImageCount(), 6);
    QCOMPARE((QSet<int>{list.ImageIndexAt(0), list.ImageIndexAt(4)}), (QSet<int>{4, 5}));

    // The 200 x 100 picture spans the cell's width, 32 pixels high from row 16; the
    // 50 x 100 one its height, 32 pixels wide from column 16.
    const QImage wideCell = list.Image(list.ImageIndexAt(0));
    QCOMPARE(wideCell.size(), QSize(64, 64));
    QCOMPARE(qAlpha(wideCell.pixel(32, 8)), 0);
    QCOMPARE(qAlpha(wideCell.pixel(32, 55)), 0);
    QVERIFY(qRed(wideCell.pixel(32, 32)) > 200 && qBlue(wideCell.pixel(32, 32)) < 60);
    QVERIFY(qAlpha(wideCell.pixel(0, 17)) == 255 && qAlpha(wideCell.pixel(63, 46)) == 255);
    const QImage tallCell = list.Image(list.ImageIndexAt(4));
    QCOMPARE(qAlpha(tallCell.pixel(8, 32)), 0);
    QCOMPARE(qAlpha(tallCell.pixel(55, 32)), 0);
    QVERIFY(qBlue(tallCell.pixel(32, 32)) > 200 && qRed(tallCell.pixel(32, 32)) < 60);

    // A refill starts again from the stock images; the details view stops the workers.
    main.actViewRefresh->trigger();
    QCOMPARE(Images(list), (QList<int>{0, 0, 0, 0, 0}));
    QCOMPARE(list.ImageCount(), 4);
    main.actViewDetails->trigger();
    QVERIFY(!list.ThumbnailsRunning());

    // Back in the thumbnail view every row is completed again, the same pictures.
    main.actViewThumbnails->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(list), 30000);
    QCOMPARE(Images(list).mid(1, 3), (QList<int>{1, 2, 3}));
    QCOMPARE(list.Image(list.ImageIndexAt(0)), wideCell);
    QCOMPARE(list.Image(list.ImageIndexAt(4)), tallCell);
}

// A category larger than the list shows, scrolled to its end before the thumbnail view
// opens: the rows on screen get their pictures before the rest. (That rows scrolled into
// view then jump the queue is the pool's own test.)
void ItemListViewTest::visibleRowsAreFilledFirst()
{
    Session session;
    TfrmMain& main = session.Open();
    const int category = InsertCategory(main.MainLibrary().MainConnection(), 0, "Many");
    const QByteArray picture = Jpeg(640, 480, Qt::darkGreen);
    for (int i = 0; i < 150; ++i)
        AddBytes(main, QStringLiteral("p%1.jpg").arg(i, 3, 10, QLatin1Char('0')).toStdString(), picture, category);
    session.ShowAndActivate();
    main.SelectPage(2);
    ShowCategory(main, category);
    ItemListView& list = *main.mainList;
    QCOMPARE(list.RowCount(), 150);

    std::vector<int> arrivals;
    connect(&list, &ItemListView::ThumbnailShown, this, [&arrivals](int row) { arrivals.push_back(row); });
    // The icon view shown and scrolled to its end before the workers start.
    list.setCurrentWidget(list.ThumbnailView());
    QTest::qWait(100);   // shown at its size and laid out
    list.ThumbnailView()->scrollToBottom();
    const std::vector<int> visible = list.VisibleRows();
    QVERIFY(!visible.empty());
    QVERIFY(visible.size() < 60);
    QCOMPARE(visible.back(), 149);
    main.actViewThumbnails->trigger();
    QCOMPARE(list.VisibleRows(), visible);
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(list), 120000);
    QCOMPARE(arrivals.size(), std::size_t{150});
    // A worker may finish rows off screen while another still makes a row on screen, the
    // more so on a busy machine that leaves one worker waiting for a processor: a quarter
    // of the listing's length is allowed for that. Filled in list order, the rows on
    // screen would come last.
    const std::size_t slack = 150 / 4;
    for (int row : visible) {
        const auto at = std::find(arrivals.begin(), arrivals.end(), row);
        QVERIFY2(static_cast<std::size_t>(at - arrivals.begin()) < visible.size() + slack,
                 qPrintable(QStringLiteral("row %1 arrived as number %2").arg(row).arg(at - arrivals.begin())));
    }
}

// Locked, the program makes no thumbnails: the workers stop with the window and go on
// from where they were once it is unlocked.
void ItemListViewTest::theLockStopsTheWorkersUntilUnlocked()
{
    Session session;
    TfrmMain& main = session.Open();
    const int category = InsertCategory(main.MainLibrary().MainConnection(), 0, "Large");
    const QByteArray picture = Jpeg(2400, 1800, Qt::darkCyan);
    constexpr int kPictures = 40;
    for (int i = 0; i < kPictures; ++i)
        AddBytes(main, "large" + std::to_string(i) + ".jpg", picture, category);
    session.ShowAndActivate();
    main.SelectPage(2);
    ShowCategory(main, category);
    ItemListView& list = *main.mainList;
    main.actViewThumbnails->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(list.ThumbnailDecodes() > 0, 60000);

    main.actFileBoss->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(list.ThumbnailsIdle(), 60000);
    const int decodes = list.ThumbnailDecodes();
    QTest::qWait(500);
    QCOMPARE(list.ThumbnailDecodes(), decodes);
    QVERIFY2(!AllMade(list), "every picture was made before the lock: the test saw nothing");

    velmora::test::WhenPasswordPromptOpens([](TfrmPassword& form) {
        form.txtPass->setText(QLatin1String(velmora::test::kPassword));
        form.btnOKClick();
    });
    QTest::mouseClick(main.LockStandIn(), Qt::LeftButton);
    QTRY_VERIFY(main.isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(list) && list.ThumbnailsIdle(), 120000);
    // Made once each; a picture being made at the lock may be made once more by each worker.
    const int slack = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    QVERIFY2(list.ThumbnailDecodes() <= kPictures + slack, qPrintable(QString::number(list.ThumbnailDecodes())));
}

// The thumbnails made in one run are shown in the next without a single picture being
// decrypted and decoded again; and nothing of them was written in plain form to the
// library folder, the cache folder or the temporary folder.
void ItemListViewTest::afterARestartThumbnailsComeFromTheCacheAndNothingPlainIsOnDisk()
{
    QTemporaryDir cache;
    QTemporaryDir temporary;
    const QByteArray oldCache = qgetenv("XDG_CACHE_HOME");
    const QByteArray oldTemporary = qgetenv("TMPDIR");
    qputenv("XDG_CACHE_HOME", cache.path().toUtf8());
    qputenv("TMPDIR", temporary.path().toUtf8());
    const auto restore = qScopeGuard([&] {
        qputenv("XDG_CACHE_HOME", oldCache);
        qputenv("TMPDIR", oldTemporary);
    });

    Session session;
    TfrmMain& first = session.Open();
    const int category = InsertCategory(first.MainLibrary().MainConnection(), 0, "Photos");
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta};
    for (int i = 0; i < 6; ++i)
        AddBytes(first, "photo" + std::to_string(i) + ".jpg", Jpeg(300 + 10 * i, 200, colours[i]), category);
    session.ShowAndActivate();
    ShowCategory(first, category);
    first.actViewThumbnails->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(*first.mainList), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(first.mainList->ThumbnailsIdle(), 60000);
    QCOMPARE(first.mainList->ThumbnailDecodes(), 6);
    std::vector<QImage> made;
    for (int row = 0; row < 6; ++row)
        made.push_back(first.mainList->Image(first.mainList->ImageIndexAt(row)));

    session.main.reset();
    ObjectStore::ForThisThread().Close();
    TfrmMain& second = session.Open();
    session.ShowAndActivate();
    ShowCategory(second, category);
    second.actViewThumbnails->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(AllMade(*second.mainList), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(second.mainList->ThumbnailsIdle(), 60000);
    QCOMPARE(second.mainList->ThumbnailDecodes(), 0);
    for (int row = 0; row < 6; ++row)
        QCOMPARE(second.mainList->Image(second.mainList->ImageIndexAt(row)), made[static_cast<std::size_t>(row)]);

    session.main.reset();
    ObjectStore::ForThisThread().Close();
    // The thumbnails as files would hold them (PNG, JPEG), and a row of their pixels.
    QList<QByteArray> traces{QByteArray("\x89PNG\r\n\x1a\n", 8), QByteArray("JFIF")};
    for (const QImage& cell : made) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        cell.save(&buffer, "PNG");
        traces << png;
        const QImage pixels = cell.convertToFormat(QImage::Format_ARGB32);
        traces << QByteArray(reinterpret_cast<const char*>(pixels.constScanLine(32)), 64 * 4);
        const QImage premultiplied = cell.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        traces << QByteArray(reinterpret_cast<const char*>(premultiplied.constScanLine(32)), 64 * 4);
    }
    for (const QString& folder : {session.data.path(), cache.path(), temporary.path()}) {
        const QList<QByteArray> files = FilesUnder(folder);
        if (folder == session.data.path())
            QVERIFY(!files.isEmpty());
        for (const QByteArray& file : files)
            for (const QByteArray& trace : traces)
                QVERIFY2(!file.contains(trace), qPrintable(folder));
    }
}

void ItemListViewTest::renameDescriptionInPlace_data()
{
    QTest::addColumn<bool>("thumbnails");
    QTest::addColumn<bool>("byF2");
    QTest::newRow("details, menu") << false << false;
    QTest::newRow("details, F2") << false << true;
    QTest::newRow("thumbnails, F2") << true << true;
}

void ItemListViewTest::renameDescriptionInPlace()
{
    QFETCH(bool, thumbnails);
    QFETCH(bool, byF2);
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "first.avi", "1");
    const int ident = AddBytes(main, "second.avi", "2");
    session.ShowAndActivate();
    main.SelectPage(2);
    if (thumbnails)
        main.actViewThumbnails->trigger();
    ItemListView& list = *main.mainList;
    QVERIFY(list.SelectIdent(ident));
    QAbstractItemView* view = thumbnails ? static_cast<QAbstractItemView*>(list.ThumbnailView()) : list.DetailView();
    view->setFocus();
    main.UpdateActions();

    if (byF2) {
        QTest::keyClick(view, Qt::Key_F2);
    } else {
        QVERIFY(main.actEditChangeDescription->isEnabled());
        main.actEditChangeDescription->trigger();
    }
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), QStringLiteral("second.avi"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("O'Brien's 'best'"));
    QTest::keyClick(editor, Qt::Key_Return);   // the editor commits from the event loop

    QTRY_VERIFY(RowOf(list, QStringLiteral("O'Brien's 'best'")) >= 0);
    const int row = RowOf(list, QStringLiteral("O'Brien's 'best'"));
    QCOMPARE(list.IdentAt(row), ident);
    db::Query stored(main.MainLibrary().MainConnection(),
                     SqlFormat("Select rec_description, rec_tnorigname from Record where rec_ident = %d", ident));
    QCOMPARE(QString::fromStdString(stored.AsString("rec_description")), QStringLiteral("O'Brien's 'best'"));
    QCOMPARE(QString::fromStdString(stored.AsString("rec_tnorigname")), QStringLiteral("second.avi"));
    main.actViewRefresh->trigger();
    QCOMPARE(Column(list, ItemListView::ColDescription), (QStringList{"O'Brien's 'best'", "first.avi"}));
}

void ItemListViewTest::infoTipAndSelectAll()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "one.gif", QByteArray(20000, 'g'), std::nullopt, "A picture");
    AddBytes(main, "two.xyz", "x", std::nullopt, "Odd one");
    main.MainLibrary().MainConnection().Execute("update Record set rec_date_added = '2024-03-09'");
    session.ShowAndActivate();
    ItemListView& list = *main.mainList;
    QCOMPARE(list.InfoTip(0),
             QStringLiteral("Description: A picture\r\nSize: 20 KB\r\nDate Added: 3/9/2024\r\nFormat: Image"));
    QCOMPARE(list.InfoTip(1), QStringLiteral("Description: Odd one\r\nSize: 1  B\r\nDate Added: 3/9/2024\r\nFormat: Unknown"));

    main.SelectPage(1);
    main.SelectAll1->trigger();
    QCOMPARE(main.CurrentPage(), 2);
    QCOMPARE(list.SelectedCount(), 2);
}

void ItemListViewTest::initialViewFollowsTheOptions_data()
{
    QTest::addColumn<int>("enabled");
    QTest::addColumn<int>("byDefault");
    QTest::addColumn<bool>("thumbnailsAllowed");
    QTest::addColumn<bool>("thumbnailView");
    QTest::newRow("shipped: allowed, details first") << 1 << 0 << true << false;
    QTest::newRow("thumbnails by default") << 1 << 1 << true << true;
    QTest::newRow("thumbnails off") << 0 << 1 << false << false;
}

void ItemListViewTest::initialViewFollowsTheOptions()
{
    QFETCH(int, enabled);
    QFETCH(int, byDefault);
    QFETCH(bool, thumbnailsAllowed);
    QFETCH(bool, thumbnailView);
    Session session;
    TfrmMain& main = session.Open();
    main.MainLibrary().MainConnection().Execute(
        SqlFormat("update options set opt_enablethumb = %d, opt_thumbdefault = %d", enabled, byDefault));
    session.ShowAndActivate();

    QCOMPARE(main.actViewThumbnails->isEnabled(), thumbnailsAllowed);
    QCOMPARE(main.actViewThumbnails->statusTip(), thumbnailsAllowed
                                                      ? QStringLiteral("View Thumbnails")
                                                      : QStringLiteral("To enable thumbnail view, turn it on in Options"));
    QCOMPARE(main.actViewThumbnails->isChecked(), thumbnailView);
    QCOMPARE(main.actViewDetails->isChecked(), !thumbnailView);
    QCOMPARE(main.mainList->IsThumbnailView(), thumbnailView);
    QCOMPARE(main.mainList->ThumbnailsRunning(), thumbnailView);

    // Turned on again, the thumbnail view can be chosen.
    main.MainLibrary().MainConnection().Execute("update options set opt_enablethumb = 1, opt_thumbdefault = 0");
    main.ApplyThumbnailOptions();
    QVERIFY(main.actViewThumbnails->isEnabled());
    QCOMPARE(main.actViewThumbnails->statusTip(), QStringLiteral("View Thumbnails"));
}

void ItemListViewTest::dragFromTheListCarriesTheMarkerOnly()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "a.avi", "1");
    AddBytes(main, "b.avi", "2");
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    list.SelectAll();

    const std::unique_ptr<QMimeData> marker = ItemListView::NewListDrag();
    QCOMPARE(DroppedFileListText(*marker), std::string("INTERNAL - LISTVIEW\r\n"));
    QVERIFY(DroppedPaths(*marker).empty());
    QVERIFY(!marker->hasUrls() && !marker->hasText());
    QCOMPARE(ItemListView::kListDragActions, Qt::CopyAction | Qt::MoveAction);

    // A press on a row and a move past the drag distance start the drag.
    QTreeView* view = list.DetailView();
    QString carried;
    Qt::DropActions allowed;
    QSignalSpy finished(&list, &ItemListView::DragFinished);
    connect(&list, &ItemListView::DragFinished, this, [&] {
        if (auto* drag = view->findChild<QDrag*>()) {
            carried = QString::fromStdString(DroppedFileListText(*drag->mimeData()));
            allowed = drag->supportedActions();
        }
    });
    const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
    QTest::mousePress(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QMouseEvent move(QEvent::MouseMove, at + QPoint(QApplication::startDragDistance() + 5, 0),
                     view->viewport()->mapToGlobal(at + QPoint(QApplication::startDragDistance() + 5, 0)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QTimer::singleShot(50, [] { QDrag::cancel(); });
    QApplication::sendEvent(view->viewport(), &move);
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(carried, QStringLiteral("INTERNAL - LISTVIEW\r\n"));
    QCOMPARE(allowed, Qt::CopyAction | Qt::MoveAction);
    QCOMPARE(list.RowCount(), 2);   // a drag never takes rows out of the list
}

void ItemListViewTest::markerDropOnTheListIsRefused()
{
    Session session;
    TfrmMain& main = session.Open();
    AddBytes(main, "a.avi", "1");
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    QSignalSpy dropped(&list, &ItemListView::FilesDropped);

    for (bool thumbnails : {false, true}) {
        list.SetThumbnailView(thumbnails);
        const std::unique_ptr<QMimeData> marker = ItemListView::NewListDrag();
        for (Qt::KeyboardModifiers keys : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
                                           Qt::KeyboardModifiers(Qt::ControlModifier)})
            QVERIFY(!DragAndDrop(list, *marker, keys).entered);
        // Nor does a drag without local files.
        QMimeData link;
        link.setUrls({QUrl(QStringLiteral("https://example.org/a.jpg"))});
        QVERIFY(!DragAndDrop(list, link, Qt::NoModifier).entered);
        // The same list with a file from outside is taken: the marker alone decides.
        QMimeData file;
        file.setUrls({QUrl::fromLocalFile(QStringLiteral("/nonexistent/x.jpg"))});
        QVERIFY2(DragAndDrop(list, file, Qt::NoModifier).entered, thumbnails ? "thumbnails" : "details");
    }
    QCoreApplication::processEvents();
    QCOMPARE(dropped.count(), 2);   // only the two drops of the file from outside
    main.actViewRefresh->trigger();
    QCOMPARE(list.RowCount(), 1);
}

void ItemListViewTest::fileManagerDropAddsTheFiles()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    main.SelectPage(2);
    ItemListView& list = *main.mainList;
    QTemporaryDir sources;
    const QString kept1 = sources.filePath(QStringLiteral("kept one.jpg"));
    const QString kept2 = sources.filePath(QStringLiteral("kept two.mp3"));
    const QString moved = sources.filePath(QStringLiteral("moved.avi"));
    for (const QString& path : {kept1, kept2, moved}) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QFileInfo(path).fileName().toUtf8().repeated(100));
    }

    // A plain drop copies: the sources stay.
    std::unique_ptr<QMimeData> plain(FilesFromOutside({kept1, kept2}));
    const DropOutcome copied = DragAndDrop(list, *plain, Qt::NoModifier);
    QVERIFY(copied.entered && copied.dropped);
    QCOMPARE(copied.enterAction, Qt::CopyAction);
    QCOMPARE(copied.dropAction, Qt::CopyAction);
    QTRY_COMPARE(list.RowCount(), 2);
    QCOMPARE(Column(list, ItemListView::ColFilename), (QStringList{"kept one.jpg", "kept two.mp3"}));
    QVERIFY(QFile::exists(kept1) && QFile::exists(kept2));
    // The last item added is selected after the refill.
    QCOMPARE(list.SelectedCount(), 1);
    QCOMPARE(list.CellText(list.DetailView()->currentIndex().row(), ItemListView::ColFilename),
             QStringLiteral("kept two.mp3"));

    // With Shift the drop moves: the source is deleted once stored, by the library; the
    // source of the drag is still told a copy, or it would delete the file itself.
    std::unique_ptr<QMimeData> shifted(FilesFromOutside({moved}));
    const DropOutcome movedOutcome = DragAndDrop(list, *shifted, Qt::ShiftModifier);
    QVERIFY(movedOutcome.entered && movedOutcome.dropped);
    QCOMPARE(movedOutcome.enterAction, Qt::CopyAction);
    QCOMPARE(movedOutcome.dropAction, Qt::CopyAction);
    QTRY_COMPARE(list.RowCount(), 3);
    QVERIFY(!QFile::exists(moved));
    QVERIFY(QFile::exists(kept1) && QFile::exists(kept2));
    const int row = RowOf(list, QStringLiteral("moved.avi"));
    QVERIFY(row >= 0);
    QCOMPARE(list.SelectedIdents(), std::vector<int>{list.IdentAt(row)});
    db::Query size(main.MainLibrary().MainConnection(),
                   SqlFormat("Select rec_size from Record where rec_ident = %d", list.IdentAt(row)));
    QCOMPARE(size.AsInteger("rec_size"), static_cast<std::int64_t>(QByteArray("moved.avi").repeated(100).size()));
    QVERIFY(session.boxes.messages.empty());
}

QTEST_MAIN(ItemListViewTest)
#include "ItemListViewTest.moc"
