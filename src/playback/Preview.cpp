#include "playback/Preview.h"

#include "dialogs/KeyPreview.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace velmora {

namespace {

QColor ColourOf(std::uint32_t bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

QPushButton* PanelButton(QWidget* row, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, row);
    button->setObjectName(QLatin1String(name));
    button->setFocusPolicy(Qt::NoFocus);   // the window takes the keys
    row->layout()->addWidget(button);
    return button;
}

constexpr int kStripHeight = 22;

} // namespace

TfrmPreview::TfrmPreview(SlideshowList& list, std::function<SlideshowOptions()> readOptions,
                         std::function<void()> returnPicture)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_list(list),
      m_readOptions(std::move(readOptions)),
      m_returnPicture(std::move(returnPicture))
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Slideshow"));
    setAttribute(Qt::WA_StyledBackground);
    SetBackground(SlideshowOptions::kDefaultColour);
    setFocusPolicy(Qt::StrongFocus);

    m_pictureArea = new QWidget(this);
    m_pictureArea->setObjectName(QStringLiteral("pnlPicture"));
    auto* areaLayout = new QGridLayout(m_pictureArea);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pictureArea, 0, 0);

    imStopSS = style()->standardIcon(QStyle::SP_MediaStop);
    imStartSS = style()->standardIcon(QStyle::SP_MediaPlay);

    // The panel floats over the picture; its parts keep fixed places, so hiding one
    // moves nothing else.
    sausagepanel = new QFrame(this);
    sausagepanel->setObjectName(QStringLiteral("sausagepanel"));
    sausagepanel->setFrameShape(QFrame::StyledPanel);
    sausagepanel->setAutoFillBackground(true);
    sausagepanel->setFixedSize(kPanelWidth, kPanelHeight);
    pnlRestoreControls = Strip("pnlRestoreControls", QStringLiteral("click to show controls"),
                               &TfrmPreview::btnMaximize1Click);
    pnlRestoreControls->hide();
    // The row takes the room its captions need under the style in use; the panel grows
    // past its usual width when they need more.
    m_controlRow = new QWidget(sausagepanel);
    m_controlRow->setObjectName(QStringLiteral("ControlRow"));
    auto* row = new QHBoxLayout(m_controlRow);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(4);
    lblInfo = new QLabel(QStringLiteral("Image 1 of 4 "), m_controlRow);
    lblInfo->setObjectName(QStringLiteral("lblInfo"));
    lblInfo->setMinimumWidth(lblInfo->fontMetrics().horizontalAdvance(QStringLiteral("Image 9999 of 9999 ")));
    row->addWidget(lblInfo, 1);
    btnClose = PanelButton(m_controlRow, "btnClose", QStringLiteral("      Close"));
    btnClose->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    btnAutoShow = PanelButton(m_controlRow, "btnAutoShow", QStringLiteral("Start Show  "));
    btnAutoShow->setIcon(imStartSS);
    btnPrevious = PanelButton(m_controlRow, "btnPrevious", QStringLiteral("        Last"));
    btnPrevious->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    btnNext = PanelButton(m_controlRow, "btnNext", QStringLiteral("Next        "));
    btnNext->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    btnNext->setLayoutDirection(Qt::RightToLeft);   // the arrow after the caption
    pnlHideControls = Strip("pnlHideControls", QStringLiteral("click to hide controls"),
                            &TfrmPreview::btnMinimize1Click);
    FitPanel();

    connect(btnClose, &QPushButton::clicked, this, &TfrmPreview::btnCloseClick);
    connect(btnAutoShow, &QPushButton::clicked, this, &TfrmPreview::btnAutoShowClick);
    connect(btnPrevious, &QPushButton::clicked, this, &TfrmPreview::btnPreviousClick);
    connect(btnNext, &QPushButton::clicked, this, &TfrmPreview::btnNextClick);

    tmrAutoadvance.setObjectName(QStringLiteral("tmrAutoadvance"));
    tmrAutoadvance.setInterval(5000);
    connect(&tmrAutoadvance, &QTimer::timeout, this, &TfrmPreview::tmrAutoadvanceTimer);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyDown(event); });
}

TfrmPreview::~TfrmPreview() = default;

QFrame* TfrmPreview::Strip(const char* name, const QString& text, void (TfrmPreview::*handler)())
{
    auto* strip = new QFrame(sausagepanel);
    strip->setObjectName(QLatin1String(name));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 0, 4, 0);
    auto* left = new QToolButton(strip);
    auto* label = new QPushButton(text, strip);
    label->setFlat(true);
    auto* right = new QToolButton(strip);
    for (QAbstractButton* part : {static_cast<QAbstractButton*>(left), static_cast<QAbstractButton*>(label),
                                  static_cast<QAbstractButton*>(right)}) {
        part->setFocusPolicy(Qt::NoFocus);
        part->setFixedHeight(18);
        connect(part, &QAbstractButton::clicked, this, handler);
    }
    row->addWidget(left);
    row->addWidget(label, 1);
    row->addWidget(right);
    return strip;
}

bool TfrmPreview::Start()
{
    return m_show.Start(m_list);
}

void TfrmPreview::TakePicture(QWidget* picture)
{
    const bool shown = picture->isVisibleTo(picture->parentWidget());
    static_cast<QGridLayout*>(m_pictureArea->layout())->addWidget(picture, 0, 0);
    picture->setVisible(shown);
    sausagepanel->raise();
}

void TfrmPreview::ShowInfo()
{
    lblInfo->setText(QStringLiteral("Image %1 of %2").arg(m_show.SlideshowNumber).arg(m_show.ImageCount));
}

void TfrmPreview::SetBackground(std::uint32_t bgr)
{
    // The application's style sheet paints every plain widget, over any palette: the
    // chosen colour has to be a style sheet of the window's own.
    setStyleSheet(QStringLiteral("#frmPreview, #pnlPicture { background-color: %1; }").arg(ColourOf(bgr).name()));
}

void TfrmPreview::FitPanel()
{
    // "Stop Show" may be wider than "Start Show": the row is measured with the wider.
    const QString shown = btnAutoShow->text();
    int rowWidth = 0;
    for (const QString& caption : {QStringLiteral("Start Show  "), QStringLiteral("Stop Show  ")}) {
        btnAutoShow->setText(caption);
        m_controlRow->layout()->activate();
        rowWidth = std::max(rowWidth, m_controlRow->layout()->sizeHint().width());
    }
    btnAutoShow->setText(shown);
    const int width = std::max(kPanelWidth, rowWidth);
    const int rowHeight = std::max(m_controlRow->layout()->minimumSize().height(), kPanelHeight - 2 * kStripHeight - 4);
    const int height = std::max(kPanelHeight, rowHeight + 2 * kStripHeight + 4);
    sausagepanel->setFixedSize(width, height);
    pnlRestoreControls->setGeometry(0, 0, width, kStripHeight);
    m_controlRow->setGeometry(0, kStripHeight + 2, width, height - 2 * kStripHeight - 4);
    pnlHideControls->setGeometry(0, height - kStripHeight - 2, width, kStripHeight);
}

QRect TfrmPreview::ScreenArea() const
{
    const QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    return shown != nullptr ? shown->geometry() : QRect(0, 0, 1024, 768);
}

void TfrmPreview::FormActivate()
{
    setGeometry(ScreenArea());
    const SlideshowOptions options = m_readOptions ? m_readOptions() : SlideshowOptions{};
    m_show.SlideshowRepeat = options.repeat;
    SetBackground(options.colour);
    FitPanel();
    tmrAutoadvance.setInterval(options.IntervalMs());
    if (SlideshowHideControls)
        btnMinimize1Click();
    else
        btnMaximize1Click();
    sausagepanel->raise();
    ShowInfo();
    ShowCycleState();
}

void TfrmPreview::ShowCycleState()
{
    // A delay of 0 means the show never advances by itself (a timer of 0 ms would fire
    // at every turn of the event loop).
    if (SlideshowCycle && tmrAutoadvance.interval() > 0)
        tmrAutoadvance.start();
    else
        tmrAutoadvance.stop();
    btnAutoShow->setIcon(SlideshowCycle ? imStopSS : imStartSS);
    btnAutoShow->setText(SlideshowCycle ? QStringLiteral("Stop Show  ") : QStringLiteral("Start Show  "));
}

void TfrmPreview::btnCloseClick()
{
    tmrAutoadvance.stop();
    Withdraw();
}

void TfrmPreview::Withdraw()
{
    if (m_returnPicture)
        m_returnPicture();
    hide();
}

void TfrmPreview::btnNextClick()
{
    if (m_show.Next(m_list) == Slideshow::Step::Close)
        btnCloseClick();
}

void TfrmPreview::btnPreviousClick()
{
    if (m_show.Previous(m_list) == Slideshow::Step::Close)
        btnCloseClick();
}

void TfrmPreview::btnAutoShowClick()
{
    SlideshowCycle = !SlideshowCycle;
    ShowCycleState();
    emit CycleToggled(SlideshowCycle);
}

void TfrmPreview::btnMinimize1Click()
{
    m_controlsHidden = true;
    lblInfo->hide();
    const QRect screenArea = ScreenArea();
    sausagepanel->move((screenArea.width() - sausagepanel->width()) / 2, height() - kHiddenPanelShows);
    pnlRestoreControls->show();
}

void TfrmPreview::btnMaximize1Click()
{
    m_controlsHidden = false;
    pnlRestoreControls->hide();
    const QRect screenArea = ScreenArea();
    sausagepanel->move((screenArea.width() - sausagepanel->width()) / 2,
                       screenArea.height() - sausagepanel->height() - 2);
    lblInfo->show();
}

void TfrmPreview::tmrAutoadvanceTimer()
{
    if (isVisible())
        btnNextClick();
}

bool TfrmPreview::FormKeyDown(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        btnPreviousClick();
        return true;
    case Qt::Key_Right:
    case Qt::Key_Down:
        btnNextClick();
        return true;
    case Qt::Key_Space:
        btnNextClick();
        return true;
    case Qt::Key_Escape:
        Withdraw();
        return true;
    default:
        return false;
    }
}

void TfrmPreview::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FormActivate();
}

void TfrmPreview::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && isVisible())
        FormActivate();
}

void TfrmPreview::closeEvent(QCloseEvent* event)
{
    // Only ever hidden.
    event->ignore();
}

void TfrmPreview::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The panel keeps its place at the bottom edge of whatever size the window takes.
    if (m_controlsHidden)
        btnMinimize1Click();
    else
        btnMaximize1Click();
}

} // namespace velmora
