#include "playback/FullScreen.h"

#include "platform/Skin.h"
#include "playback/PlayerBar.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace velmora {

TfrmFullScreen::TfrmFullScreen()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmFullScreen"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#frmFullScreen, #pnlContentPane, #Panel1 { background-color: black; }"
                                 "#lblContentPane { color: white; }"
                                 "#ControlBar { background-color: #1d232b; }"
                                 "#ControlBar QLabel { color: white; }"));
    setFocusPolicy(Qt::StrongFocus);

    auto* contentArea = new QWidget(this);
    contentArea->setObjectName(QStringLiteral("ContentArea"));
    pnlContentPane = new QFrame(contentArea);
    pnlContentPane->setObjectName(QStringLiteral("pnlContentPane"));
    pnlContentPane->setEnabled(false);
    lblContentPane = new QLabel(QString::fromLatin1(kLoadingCaption), pnlContentPane);
    lblContentPane->setObjectName(QStringLiteral("lblContentPane"));
    lblContentPane->setAlignment(Qt::AlignCenter);
    auto* paneLayout = new QGridLayout(pnlContentPane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->addWidget(lblContentPane, 0, 0);
    Panel1 = new QFrame(contentArea);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(4);
    auto* contentLayout = new QVBoxLayout(contentArea);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    contentLayout->addWidget(pnlContentPane, 1);
    contentLayout->addWidget(Panel1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(contentArea, 1);
    layout->addWidget(CreateControlBar());

    m_skin = std::make_unique<Skin>(this);
}

TfrmFullScreen::~TfrmFullScreen()
{
    m_skin.reset();
}

QWidget* TfrmFullScreen::CreateControlBar()
{
    auto* bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("ControlBar"));
    bar->setAttribute(Qt::WA_StyledBackground);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 4, 8, 4);
    AddPlayerControls(bar, row, false);
    row->addSpacing(8);
    auto* close = new QToolButton(bar);
    close->setObjectName(QStringLiteral("closebutton"));
    close->setToolTip(QStringLiteral("Leave full screen"));
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarNormalButton));
    close->setAutoRaise(true);
    close->setFocusPolicy(Qt::NoFocus);
    row->addWidget(close);
    return bar;
}

void TfrmFullScreen::TakeControl(QWidget* control)
{
    auto* layout = static_cast<QGridLayout*>(pnlContentPane->layout());
    if (layout->indexOf(control) < 0)
        layout->addWidget(control, 0, 0);   // over the caption
    control->raise();
}

void TfrmFullScreen::ShowOver(QWidget* over)
{
    QScreen* screen = over != nullptr && over->screen() != nullptr ? over->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        if (windowHandle() == nullptr)
            create();
        windowHandle()->setScreen(screen);
        setGeometry(screen->geometry());
    }
    showFullScreen();
    raise();
    activateWindow();
    setFocus();
}

void TfrmFullScreen::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        emit LeaveRequested();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void TfrmFullScreen::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit FormMouseUp();
    QWidget::mouseReleaseEvent(event);
}

} // namespace velmora
