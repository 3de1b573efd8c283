// The main window's widgets: the skin's top area, the three pages in the content area,
// the player strip, the bottom bar and the hint line.
#include "app/MainWindow.h"

#include "app/CategoryHandlers.h"

#include "playback/PlaylistView.h"

#include "app/ItemListView.h"
#include "catalogue/CategoryTreeView.h"
#include "app/NamedWidgets.h"
#include "app/SkinIcons.h"
#include "app/SkinTitleBar.h"
#include "playback/ImageAspect.h"
#include "playback/PlayerBar.h"
#include "playback/PlaylistView.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSizeGrip>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmora {

namespace {

QToolButton* ActionButton(QWidget* parent, const char* name, QAction* action, SkinGlyph glyph)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    // The button takes its picture from the action whenever the action changes.
    action->setIcon(SkinIcon(glyph, QColor(0x33, 0x4e, 0x68)));
    action->setIconVisibleInMenu(false);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    return button;
}

QHBoxLayout* Row(QWidget* owner, int margin, int spacing)
{
    auto* row = new QHBoxLayout(owner);
    row->setContentsMargins(margin, margin, margin, margin);
    row->setSpacing(spacing);
    return row;
}

} // namespace

void TfrmMain::CreateComponents()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_StyledBackground);
    setMinimumSize(710, 480);
    resize(776, 559);

    TitleArea = new SkinTitleBar(this);

    ContentArea = new QStackedWidget(this);
    ContentArea->setObjectName(QStringLiteral("ContentArea"));
    tab1 = CreatePlayingPage();
    tab2 = CreateLibraryPage();
    tab3 = new QWidget(ContentArea);
    tab3->setObjectName(QStringLiteral("tab3"));
    for (QWidget* page : {tab1, tab2, tab3})
        ContentArea->addWidget(page);
    ContentArea->setCurrentWidget(tab1);

    ControlBar = Panel(this, "ControlBar");
    tab2panel = CreateBottomBar();
    auto* controlBarLayout = new QVBoxLayout(ControlBar);
    controlBarLayout->setContentsMargins(0, 0, 0, 0);
    controlBarLayout->addWidget(tab2panel);

    auto* skin = new QVBoxLayout(this);
    skin->setContentsMargins(1, 1, 1, 1);   // room for the skin's outline
    skin->setSpacing(0);
    skin->addWidget(TitleArea);
    skin->addWidget(ContentArea, 1);
    skin->addWidget(CreatePlayerStrip());
    skin->addWidget(ControlBar);
    skin->addWidget(CreateHintLine());
}

QWidget* TfrmMain::CreatePlayingPage()
{
    auto* page = new QWidget(ContentArea);
    page->setObjectName(QStringLiteral("tab1"));
    auto* splitter = new QSplitter(Qt::Horizontal, page);
    splitter->setObjectName(QStringLiteral("splPlaylist2"));
    splitter->setChildrenCollapsible(false);

    // The player control comes into this panel; until it plays, its caption shows.
    pnlMoviePlayer = Panel(splitter, "pnlMoviePlayer");
    pnlMoviePlayer->setEnabled(false);
    pnlMoviePlayer->setMinimumWidth(200);
    auto* caption = Label(pnlMoviePlayer, "lblMoviePlayer");
    caption->setAlignment(Qt::AlignCenter);
    // The control lies over the caption (PlayerHost places it in the same cell).
    auto* playerLayout = new QGridLayout(pnlMoviePlayer);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->addWidget(caption, 0, 0);

    pnlPlaylist2 = Panel(splitter, "pnlPlaylist2");
    pnlPlaylist2->setMinimumWidth(180);
    auto* playlistLayout = new QVBoxLayout(pnlPlaylist2);
    playlistLayout->setContentsMargins(0, 0, 0, 0);

    playlist = new PlaylistView(pnlPlaylist2);
    playlistLayout->addWidget(playlist);

    splitter->addWidget(pnlMoviePlayer);
    splitter->addWidget(pnlPlaylist2);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({560, 200});

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(splitter);
    return page;
}

QWidget* TfrmMain::CreateLibraryPage()
{
    auto* page = new QWidget(ContentArea);
    page->setObjectName(QStringLiteral("tab2"));

    auto* outer = new QSplitter(Qt::Horizontal, page);
    outer->setObjectName(QStringLiteral("splPlaylist1"));
    outer->setChildrenCollapsible(false);

    auto* library = Panel(outer, "pnlLibrary");
    auto* caption = Label(library, "lblLibraryCaption", QStringLiteral("My Library"));

    splTree = new QSplitter(Qt::Horizontal, library);
    splTree->setObjectName(QStringLiteral("splTree"));
    splTree->setChildrenCollapsible(false);
    mainTree = CategoryHandlers::CreateTree(splTree);

    auto* splPreview = new QSplitter(Qt::Vertical, splTree);
    splPreview->setObjectName(QStringLiteral("splPreview"));
    splPreview->setChildrenCollapsible(false);
    mainList = new ItemListView(splPreview);
    mainList->setMinimumHeight(75);
    QWidget* preview = CreatePreviewPane();
    preview->setParent(splPreview);
    preview->setMinimumHeight(75);
    splPreview->addWidget(mainList);
    splPreview->addWidget(preview);
    splPreview->setStretchFactor(0, 3);
    splPreview->setStretchFactor(1, 2);

    splTree->addWidget(mainTree);
    splTree->addWidget(splPreview);
    splTree->setStretchFactor(0, 0);
    splTree->setStretchFactor(1, 1);
    splTree->setSizes({150, 450});

    auto* libraryLayout = new QVBoxLayout(library);
    libraryLayout->setContentsMargins(0, 0, 0, 0);
    libraryLayout->setSpacing(4);
    libraryLayout->addWidget(caption);
    libraryLayout->addWidget(CreateLibraryToolbar());
    libraryLayout->addWidget(splTree, 1);
    libraryLayout->addWidget(CreateStatusLine());

    pnlPlaylist1 = Panel(outer, "pnlPlaylist1");
    pnlPlaylist1->setMinimumWidth(180);
    auto* playlistLayout = new QVBoxLayout(pnlPlaylist1);
    playlistLayout->setContentsMargins(0, 0, 0, 0);

    outer->addWidget(library);
    outer->addWidget(pnlPlaylist1);
    outer->setStretchFactor(0, 1);
    outer->setStretchFactor(1, 0);
    outer->setSizes({560, 180});

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(outer);
    return page;
}

QWidget* TfrmMain::CreateLibraryToolbar()
{
    auto* bar = Panel(nullptr, "pnlToolbar");
    txtTextToFind = new QLineEdit(bar);
    txtTextToFind->setObjectName(QStringLiteral("txtTextToFind"));
    txtTextToFind->setPlaceholderText(QStringLiteral("Search the library"));
    txtTextToFind->setClearButtonEnabled(true);
    btnFind = new QPushButton(QStringLiteral(" Find"), bar);
    btnFind->setObjectName(QStringLiteral("btnFind"));
    btnViewSlideShow3 = new QPushButton(QStringLiteral("Slideshow"), bar);
    btnViewSlideShow3->setObjectName(QStringLiteral("btnViewSlideShow3"));
    btnViewSlideShow3->setToolTip(actViewSlideshow->statusTip());
    btnViewSlideShow3->hide();
    connect(btnViewSlideShow3, &QPushButton::clicked, actViewSlideshow, &QAction::trigger);

    btnThumbnails = ActionButton(bar, "btnThumbnails", actViewThumbnails, SkinGlyph::Thumbnails);
    btnDetails = ActionButton(bar, "btnDetails", actViewDetails, SkinGlyph::Details);
    btnPaste = ActionButton(bar, "btnPaste", actEditPaste, SkinGlyph::Paste);
    btnAddFiles = ActionButton(bar, "btnAddFiles", actEditAddToCategory, SkinGlyph::AddFiles);
    btnImport = ActionButton(bar, "btnImport", actFileImport, SkinGlyph::Import);
    btnSaveToDisk = ActionButton(bar, "btnSaveToDisk", actFileSaveToDisk, SkinGlyph::SaveToDisk);

    txtTextToFind->setMinimumWidth(txtTextToFind->fontMetrics().averageCharWidth() * 10);
    auto* row = Row(bar, 0, 4);
    row->addWidget(txtTextToFind, 2);
    row->addWidget(btnFind);
    row->addWidget(btnViewSlideShow3);
    row->addStretch(1);
    for (QToolButton* button : {btnThumbnails, btnDetails, btnPaste, btnAddFiles, btnImport, btnSaveToDisk})
        row->addWidget(button);
    return bar;
}

QWidget* TfrmMain::CreateStatusLine()
{
    auto* line = Panel(nullptr, "pnlFileInfo");
    lblFileInfo1 = Label(line, "lblFileInfo1", QStringLiteral(" 0 Items"));
    lblFileInfo2 = Label(line, "lblFileInfo2");
    lblFileInfo3 = Label(line, "lblFileInfo3");
    lblFileInfo4 = Label(line, "lblFileInfo4");
    lblFileInfo5 = Label(line, "lblFileInfo5");
    auto* row = Row(line, 0, 12);
    row->setContentsMargins(4, 2, 4, 2);
    for (QLabel* label : {lblFileInfo1, lblFileInfo3, lblFileInfo4, lblFileInfo5})
        row->addWidget(label);
    row->addWidget(lblFileInfo2, 1);
    return line;
}

QWidget* TfrmMain::CreatePlayerStrip()
{
    auto* strip = Panel(this, "PlayerArea");
    auto* row = Row(strip, 4, 4);
    row->setContentsMargins(8, 4, 8, 4);
    AddPlayerControls(strip, row, true);
    return strip;
}

QFrame* TfrmMain::CreateBottomBar()
{
    QFrame* bar = Panel(ControlBar, "tab2panel");

    pnlLockdown = Panel(bar, "pnlLockdown");
    spSkinButton1 = new QToolButton(pnlLockdown);
    spSkinButton1->setObjectName(QStringLiteral("spSkinButton1"));
    spSkinButton1->setDefaultAction(actFileBoss);
    spSkinButton1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    Row(pnlLockdown, 0, 0)->addWidget(spSkinButton1);

    pnlMediaCtrls = Panel(bar, "pnlMediaCtrls");
    btnFullScreen = new QToolButton(pnlMediaCtrls);
    btnFullScreen->setObjectName(QStringLiteral("btnFullScreen"));
    btnFullScreen->setText(QStringLiteral(" Full Screen"));
    btnFullScreen->setEnabled(false);   // the play list enables it once it holds an entry
    Row(pnlMediaCtrls, 0, 0)->addWidget(btnFullScreen);

    pnlPlOptions = Panel(bar, "pnlPlOptions");
    btnPlaylist = new QToolButton(pnlPlOptions);
    btnPlaylist->setObjectName(QStringLiteral("btnPlaylist"));
    btnPlaylist->setText(QStringLiteral("Play List"));
    btnPlaylist->setPopupMode(QToolButton::InstantPopup);
    btnPlaylist->setMenu(playlistPop);
    Row(pnlPlOptions, 0, 0)->addWidget(btnPlaylist);

    auto* row = Row(bar, 0, 6);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(pnlLockdown);
    row->addWidget(pnlMediaCtrls);
    row->addStretch(1);
    row->addWidget(pnlPlOptions);
    return bar;
}

QWidget* TfrmMain::CreateHintLine()
{
    auto* line = Panel(this, "HintArea");
    auto* hint = Label(line, "statuslabel1");
    hint->setTextFormat(Qt::PlainText);
    hint->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);   // a long hint never widens the window
    auto* row = Row(line, 0, 8);
    row->setContentsMargins(4, 0, 0, 0);
    row->addWidget(hint, 1);
    row->addWidget(Label(line, "statuslabel2"));
    // A borderless window gets its resize handle from the skin.
    row->addWidget(new QSizeGrip(line), 0, Qt::AlignBottom | Qt::AlignRight);
    return line;
}

QWidget* TfrmMain::CreatePreviewPane()
{
    auto* container = Panel(nullptr, "pnlPreviewContainer");
    Panel4 = Panel(container, "Panel4");
    picture = new TImageAspect(Panel4);
    picture->setObjectName(QStringLiteral("picture"));
    picture->SetAutoSize(false);
    picture->hide();
    lblnopreview = Label(Panel4, "lblnopreview", QStringLiteral("No Preview Available"));
    lblnopreview->setAlignment(Qt::AlignCenter);
    lblErrMessage1 = Label(Panel4, "lblErrMessage1");
    lblErrMessage1->setAlignment(Qt::AlignCenter);
    lblErrMessage1->setWordWrap(true);
    btnPrint = new QToolButton(Panel4);
    btnPrint->setObjectName(QStringLiteral("btnPrint"));
    btnPrint->setText(QStringLiteral("Print"));
    btnPrint->setToolTip(QStringLiteral("Print Selected File(s)"));
    btnPrint->hide();
    connect(btnPrint, &QToolButton::clicked, actFilePrint, &QAction::trigger);

    // The picture has the whole pane: the label takes the same place when there is none,
    // and the error text and the print button lie over its lower edge, so that a low
    // pane still shows the picture at a useful size.
    auto* panelLayout = new QGridLayout(Panel4);
    panelLayout->setContentsMargins(4, 4, 4, 4);
    panelLayout->addWidget(picture, 0, 0);
    panelLayout->addWidget(lblnopreview, 0, 0);
    panelLayout->addWidget(lblErrMessage1, 0, 0, Qt::AlignBottom | Qt::AlignHCenter);
    panelLayout->addWidget(btnPrint, 0, 0, Qt::AlignBottom | Qt::AlignRight);
    auto* layout = new QVBoxLayout(container);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel4);
    return container;
}

} // namespace velmora
