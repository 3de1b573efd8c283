// The main window at its smallest size, 710 x 480: every menu, page button, the help
// button and the window buttons can be reached with the mouse, the Library toolbar
// keeps its controls apart, in-place editors fit their row; and the marks of the page
// and view entries.
#include "app/MainWindow.h"
#include "app/SkinTitleBar.h"
#include "catalogue/CategoryTreeView.h"
#include "dialogs/VelmoraApplication.h"

#include "app/MainWindowSession.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>
#include <QtTest/QtTest>

using namespace velmora;
using velmora::test::Session;

namespace {

constexpr QSize kSmallest(710, 480);

// Gives the test the line edit's own style option.
class ExposedLineEdit : public QLineEdit {
public:
    using QLineEdit::initStyleOption;
};

// The widget's rectangle in the main window's coordinates.
QRect InWindow(const QWidget* widget, const QWidget* window)
{
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Each widget is shown whole inside the window, and no two of them overlap.
void ExpectApartAndInside(const QList<QWidget*>& widgets, const QWidget* window)
{
    for (int i = 0; i < widgets.size(); ++i) {
        const QWidget* a = widgets[i];
        QVERIFY2(a->isVisible(), qPrintable(a->objectName()));
        QVERIFY2(window->rect().contains(InWindow(a, window)), qPrintable(a->objectName()));
        QVERIFY2(a->width() >= a->minimumSizeHint().width(), qPrintable(a->objectName() + " is squeezed"));
        for (int j = i + 1; j < widgets.size(); ++j)
            QVERIFY2(!InWindow(a, window).intersects(InWindow(widgets[j], window)),
                     qPrintable(a->objectName() + " overlaps " + widgets[j]->objectName()));
    }
}

} // namespace

class MainLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void everyMenuIsReachableByMouseAtTheSmallestSize();
    void pageButtonsHelpAndWindowButtonsAtTheSmallestSize();
    void libraryToolbarKeepsItsControlsApart();
    void inPlaceEditorFitsItsRow();
    void choosingTheCurrentPageOrViewKeepsItsMark();
};

namespace {

// The window shown and made as small as it may be; it must not refuse the size.
void ShowAtTheSmallestSize(Session& session)
{
    session.ShowAndActivate();
    session.main->resize(kSmallest);
    QTRY_COMPARE(session.main->size(), kSmallest);
}

} // namespace

void MainLayoutTest::everyMenuIsReachableByMouseAtTheSmallestSize()
{
    Session session;
    TfrmMain& main = session.Open();
    ShowAtTheSmallestSize(session);
    QMenuBar* bar = main.TitleArea->MenuBar();
    QVERIFY(main.rect().contains(InWindow(bar, &main)));

    QStringList opened;
    for (QAction* entry : bar->actions()) {
        const QRect at = bar->actionGeometry(entry);
        QVERIFY2(!at.isEmpty() && bar->rect().contains(at), qPrintable(entry->text() + " is folded away"));
        QTest::mouseClick(bar, Qt::LeftButton, {}, at.center());
        QTRY_VERIFY2(entry->menu()->isVisible(), qPrintable(entry->text()));
        opened << entry->text();
        entry->menu()->close();
        QTRY_VERIFY(!entry->menu()->isVisible());
    }
    QCOMPARE(opened, (QStringList{"&File", "&Library", "&Playlist", "&Tools"}));
}

void MainLayoutTest::pageButtonsHelpAndWindowButtonsAtTheSmallestSize()
{
    Session session;
    TfrmMain& main = session.Open();
    ShowAtTheSmallestSize(session);
    SkinTitleBar* title = main.TitleArea;
    ExpectApartAndInside({title->MenuBar(), title->PageButton(1), title->PageButton(2), title->PageButton(3),
                          title->HelpButton(), title->MinimizeButton(), title->MaximizeButton(),
                          title->CloseButton()},
                         &main);

    for (int page : {2, 3, 1}) {
        QTest::mouseClick(title->PageButton(page), Qt::LeftButton);
        QCOMPARE(main.CurrentPage(), page);
    }
    QTest::mouseClick(title->HelpButton(), Qt::LeftButton);
    QTRY_VERIFY(main.helpPop->isVisible());
    main.helpPop->close();
}

void MainLayoutTest::libraryToolbarKeepsItsControlsApart()
{
    Session session;
    TfrmMain& main = session.Open();
    session.AddItem("photo.jpg");   // a picture in the list shows "Slideshow" as well
    ShowAtTheSmallestSize(session);
    main.SelectPage(2);
    QVERIFY(main.btnViewSlideShow3->isVisible());
    ExpectApartAndInside({main.txtTextToFind, main.btnFind, main.btnViewSlideShow3, main.btnThumbnails,
                          main.btnDetails, main.btnPaste, main.btnAddFiles, main.btnImport, main.btnSaveToDisk},
                         &main);
}

void MainLayoutTest::inPlaceEditorFitsItsRow()
{
    Session session;
    TfrmMain& main = session.Open();
    ShowAtTheSmallestSize(session);
    main.actEditAddCategory->trigger();   // the new category's name is edited in place
    QLineEdit* editor = nullptr;
    QTRY_VERIFY((editor = main.mainTree->viewport()->findChild<QLineEdit*>()) && editor->isVisible());
    QCOMPARE(editor->text(), QStringLiteral("New Category"));
    // The room the editor leaves its text, inside its border and padding.
    QStyleOptionFrame option;
    static_cast<ExposedLineEdit*>(editor)->initStyleOption(&option);
    const QRect text = editor->style()->subElementRect(QStyle::SE_LineEditContents, &option, editor);
    QVERIFY2(text.height() >= editor->fontMetrics().height(),
             qPrintable(QStringLiteral("the editor leaves %1 pixels for text %2 high")
                            .arg(text.height())
                            .arg(editor->fontMetrics().height())));
}

void MainLayoutTest::choosingTheCurrentPageOrViewKeepsItsMark()
{
    Session session;
    TfrmMain& main = session.Open();
    session.ShowAndActivate();
    main.NowPlaying1->trigger();   // the page already shown
    QVERIFY(main.NowPlaying1->isChecked());
    main.Library2->trigger();
    QVERIFY(main.Library2->isChecked() && !main.NowPlaying1->isChecked());
    main.Library2->trigger();
    QVERIFY(main.Library2->isChecked());

    auto* details = main.findChild<QAction*>(QStringLiteral("Details1"));
    QVERIFY(details && details->isChecked());
    details->trigger();   // the view already chosen
    QVERIFY(details->isChecked());
    QVERIFY(main.actViewDetails->isChecked());
}

// The program's own application object: the layout is that of its style sheet.
int main(int argc, char** argv)
{
    VelmoraApplication app(argc, argv);
    MainLayoutTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "MainLayoutTest.moc"
