// The preview pane below the item list, over a real library: which selection shows
// which picture, the "No Preview Available" label, error texts, the print button and
// the two "Print..." menu entries.
#include "app/ItemListView.h"
#include "app/MainWindow.h"
#include "playback/ImageAspect.h"
#include "store/AddItemOnThread.h"
#include "store/MemoryStream.h"

#include "app/MainWindowSession.h"
#include "playback/TestPictures.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QToolButton>
#include <QTreeView>
#include <QtTest/QtTest>

#include <string>

using namespace velmora;
using velmora::test::Session;

namespace {

// Adds an item with the given content; returns its rec_ident (items are numbered
// from 1 in a fresh library).
void AddContent(const std::string& fileName, const std::string& bytes)
{
    MemoryStream source(bytes);
    if (!AddItemOnThread(std::nullopt, source, fileName, -1, fileName))
        qFatal("item not added");
}

// The window over a library holding, in this order: 1 photo.jpg (80 x 60, red left
// half, blue right half), 2 clip.avi, 3 drawing.wmf, 4 broken.jpg (not a picture
// inside), 5 broken.wmf (a cut-off metafile), 6 drawing.emf.
struct PreviewSession : Session {
    TfrmMain& main;

    PreviewSession() : main(Open())
    {
        AddContent("photo.jpg", test::EncodedPicture(test::TwoColourPicture(80, 60), "JPG"));
        AddContent("clip.avi", "RIFF....AVI not really");
        AddContent("drawing.wmf", test::RectangleWmf());
        AddContent("broken.jpg", "these bytes are no picture");
        AddContent("broken.wmf", test::RectangleWmf().substr(0, 60));
        AddContent("drawing.emf", test::RectangleWmf());
        ShowAndActivate();   // lists "<Unclassified>"
        main.SelectPage(2);
        if (main.mainList->RowCount() != 6)
            qFatal("the items are not listed");
    }

    void Select(int recIdent) { QVERIFY(main.mainList->SelectIdent(recIdent)); }

    // Changes one row's selected state, leaving the others as they are.
    void SetSelected(int recIdent, bool selected)
    {
        QTreeView* view = main.mainList->DetailView();
        auto* model = view->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex index = model->index(row, 0);
            if (index.data(ItemListView::kIdentRole).toInt() != recIdent)
                continue;
            view->selectionModel()->select(index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                                                      QItemSelectionModel::Rows);
            return;
        }
        QFAIL("no such row");
    }

    bool PictureShown() const { return main.picture->isVisible(); }
    bool NoPreviewShown() const { return main.lblnopreview->isVisible(); }
    bool PrintOffered() const
    {
        return main.btnPrint->isVisible() && main.Print1->isEnabled() && main.Print2->isEnabled();
    }
    bool PrintWithdrawn() const
    {
        return !main.btnPrint->isVisible() && !main.Print1->isEnabled() && !main.Print2->isEnabled();
    }
};

} // namespace

class PreviewPaneTest : public QObject {
    Q_OBJECT
private slots:
    void onePictureIsShownWithThePrintButton();
    void aMetafileIsShownAtItsOwnSize();
    void otherKindsShowNoPreview();
    void twoSelectedRowsHideThePictureAndKeepTheRest();
    void takingOneRowOutOfTwoShowsTheOtherRow();
    void deselectingTheLastRowKeepsThePane();
    void deletingThePreviewedPictureEmptiesThePane();
    void aCorruptPictureShowsItsErrorText_data();
    void aCorruptPictureShowsItsErrorText();
};

void PreviewPaneTest::onePictureIsShownWithThePrintButton()
{
    PreviewSession s;
    TfrmMain& main = s.main;
    QVERIFY(s.NoPreviewShown());
    QVERIFY(s.PrintWithdrawn());

    s.Select(1);
    QVERIFY(s.PictureShown());
    QVERIFY(!s.NoPreviewShown());
    QVERIFY(main.lblErrMessage1->text().isEmpty());
    QVERIFY(s.PrintOffered());
    QVERIFY(main.actViewSlideshow->isEnabled());
    const QImage& shown = main.picture->Picture();
    QCOMPARE(shown.size(), QSize(80, 60));
    QVERIFY(qRed(shown.pixel(5, 30)) > 200 && qBlue(shown.pixel(5, 30)) < 60);
    QVERIFY(qBlue(shown.pixel(75, 30)) > 200 && qRed(shown.pixel(75, 30)) < 60);
    // It fills the pane, where the label was.
    QVERIFY(main.picture->width() > 80 || main.picture->height() > 60);
    QVERIFY(!main.picture->TargetRect().isEmpty());
    // The print button runs "Print...", whose rule still holds after the idle update.
    QTRY_VERIFY(main.actFilePrint->isEnabled());
    QVERIFY(s.PrintOffered());
}

void PreviewPaneTest::aMetafileIsShownAtItsOwnSize()
{
    PreviewSession s;
    s.Select(3);
    QVERIFY(s.PictureShown());
    QCOMPARE(s.main.picture->Picture().size(), QSize(100, 50));
    QVERIFY(qRed(s.main.picture->Picture().pixel(35, 25)) > 200);
    QVERIFY(s.main.lblErrMessage1->text().isEmpty());
    // Previewed with the print button, although printing passes metafiles over.
    QVERIFY(s.PrintOffered());
}

void PreviewPaneTest::otherKindsShowNoPreview()
{
    PreviewSession s;
    for (int other : {2, 6}) {   // a movie; a metafile kind the preview does not take
        s.Select(1);
        QVERIFY(s.PictureShown());
        s.Select(other);
        QVERIFY(!s.PictureShown());
        QVERIFY(s.NoPreviewShown());
        QCOMPARE(s.main.lblnopreview->text(), QStringLiteral("No Preview Available"));
        QVERIFY(s.PrintWithdrawn());
        QVERIFY(!s.main.actViewSlideshow->isEnabled());
    }
    QTRY_VERIFY(s.main.actFilePrint->isEnabled());   // the action itself only needs a selection
    QVERIFY(s.PrintWithdrawn());
}

void PreviewPaneTest::twoSelectedRowsHideThePictureAndKeepTheRest()
{
    PreviewSession s;
    // After a movie the label shows, and stays with two rows selected.
    s.Select(2);
    s.SetSelected(3, true);
    QVERIFY(!s.PictureShown());
    QVERIFY(s.NoPreviewShown());
    QVERIFY(s.PrintWithdrawn());
    QVERIFY(!s.main.actViewSlideshow->isEnabled());

    // After a picture the pane empties: picture hidden, label still hidden, and the
    // print button and entries stay offered for the selected pictures.
    s.Select(1);
    QVERIFY(s.PictureShown());
    s.SetSelected(2, true);
    QVERIFY(!s.PictureShown());
    QVERIFY(!s.NoPreviewShown());
    QVERIFY(!s.main.actViewSlideshow->isEnabled());
    QVERIFY(s.PrintOffered());
    QTRY_VERIFY(s.main.actFilePrint->isEnabled());
    QVERIFY(s.PrintOffered());

    s.main.mainList->SelectAll();
    QVERIFY(!s.PictureShown());
}

void PreviewPaneTest::takingOneRowOutOfTwoShowsTheOtherRow()
{
    PreviewSession s;
    s.Select(1);
    s.SetSelected(2, true);
    s.SetSelected(2, false);   // the picture is left
    QVERIFY(s.PictureShown());
    QCOMPARE(s.main.picture->Picture().size(), QSize(80, 60));
    QVERIFY(s.PrintOffered());

    s.SetSelected(2, true);
    s.SetSelected(1, false);   // the movie is left
    QVERIFY(!s.PictureShown());
    QVERIFY(s.NoPreviewShown());
    QVERIFY(s.PrintWithdrawn());
}

void PreviewPaneTest::deselectingTheLastRowKeepsThePane()
{
    PreviewSession s;
    s.Select(1);
    s.SetSelected(1, false);
    QCOMPARE(s.main.mainList->SelectedCount(), 0);
    QVERIFY(s.PictureShown());
    QVERIFY(s.main.btnPrint->isVisible());

    s.Select(2);
    s.SetSelected(2, false);
    QVERIFY(s.NoPreviewShown());
    QVERIFY(!s.PictureShown());
}

void PreviewPaneTest::deletingThePreviewedPictureEmptiesThePane()
{
    PreviewSession s;
    TfrmMain& main = s.main;
    // The pane as the user sees it: does it show any of the photo's red?
    const auto redOnScreen = [&] {
        const QImage pane = main.Panel4->grab().toImage();
        for (int y = 0; y < pane.height(); ++y)
            for (int x = 0; x < pane.width(); ++x) {
                const QRgb pixel = pane.pixel(x, y);
                if (qRed(pixel) > 200 && qGreen(pixel) < 60 && qBlue(pixel) < 60)
                    return true;
            }
        return false;
    };
    s.Select(1);
    QVERIFY(s.PictureShown());
    QVERIFY(redOnScreen());

    main.mainList->DetailView()->setFocus();
    QTRY_VERIFY(main.mainList->HasKeyboardFocus());
    QTest::keyClick(main.mainList->DetailView(), Qt::Key_Delete);   // the question is answered OK
    QCOMPARE(s.boxes.messages.size(), std::size_t(1));
    QCOMPARE(main.mainList->RowCount(), 5);

    QVERIFY(!s.PictureShown());
    QVERIFY(s.NoPreviewShown());
    QVERIFY(s.PrintWithdrawn());
    QVERIFY(!redOnScreen());
}

void PreviewPaneTest::aCorruptPictureShowsItsErrorText_data()
{
    QTest::addColumn<int>("recIdent");
    QTest::newRow("JPEG") << 4;
    QTest::newRow("WMF") << 5;
}

void PreviewPaneTest::aCorruptPictureShowsItsErrorText()
{
    QFETCH(int, recIdent);
    PreviewSession s;
    s.Select(1);
    QVERIFY(s.PictureShown());

    s.Select(recIdent);
    QVERIFY(!s.PictureShown());
    QVERIFY(!s.NoPreviewShown());
    QVERIFY(s.main.lblErrMessage1->isVisible());
    QVERIFY2(s.main.lblErrMessage1->text().startsWith(QStringLiteral("Unable to display the picture")),
             qPrintable(s.main.lblErrMessage1->text()));
    QVERIFY(s.PrintOffered());

    // The next good picture clears the text and shows again.
    s.Select(3);
    QVERIFY(s.PictureShown());
    QVERIFY(s.main.lblErrMessage1->text().isEmpty());

    // Nor does the text stay under an item of another kind.
    s.Select(recIdent);
    QVERIFY(!s.main.lblErrMessage1->text().isEmpty());
    s.Select(2);
    QVERIFY(s.NoPreviewShown());
    QVERIFY(s.main.lblErrMessage1->text().isEmpty());
}

QTEST_MAIN(PreviewPaneTest)
#include "PreviewPaneTest.moc"
