#include "app/SkinTitleBar.h"

#include "app/SkinIcons.h"
#include "dialogs/ApplicationTitle.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QWindow>

namespace velmora {

namespace {

QToolButton* WindowButton(QWidget* parent, const char* name, const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);   // the keyboard has Alt+F4 and the menu
    button->setIconSize(QSize(16, 16));
    return button;
}

const QColor kGlyphColor(0xf5, 0xf7, 0xfa);

// The title: as wide as its text when there is room, elided when there is not.
class TitleLabel : public QLabel {
public:
    using QLabel::QLabel;

    QSize minimumSizeHint() const override
    {
        return {fontMetrics().averageCharWidth() * 6, QLabel::minimumSizeHint().height()};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(foregroundRole()));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

} // namespace

SkinTitleBar::SkinTitleBar(QWidget* window) : QFrame(window), m_window(window)
{
    setObjectName(QStringLiteral("TitleArea"));
    setAttribute(Qt::WA_StyledBackground);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("lblLogo"));
    logo->setPixmap(SkinIcon(SkinGlyph::Logo, QColor(0xf0, 0xb4, 0x29)).pixmap(QSize(16, 16), devicePixelRatioF()));
    m_title = new TitleLabel(this);
    m_title->setObjectName(QStringLiteral("lblTitle"));

    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MainMenu"));
    m_menuBar->setNativeMenuBar(false);   // it is part of the skin

    const char* tabNames[3] = {"tab1", "tab2", "tab3"};
    const char* tabCaptions[3] = {"Playing", "Library", "Settings"};
    for (int i = 0; i < 3; ++i) {
        auto* tab = new QPushButton(QLatin1String(tabCaptions[i]), this);
        tab->setObjectName(QLatin1String(tabNames[i]));
        tab->setCheckable(true);
        tab->setAutoExclusive(true);
        tab->setProperty("skinTab", true);
        m_tabs[i] = tab;
    }

    m_help = new QToolButton(this);
    m_help->setObjectName(QStringLiteral("helpbutton"));
    m_help->setText(QStringLiteral("?"));
    m_help->setToolTip(QStringLiteral("Help"));
    m_help->setAutoRaise(true);

    m_minimize = WindowButton(this, "btnMinimize", QStringLiteral("Minimise"));
    m_minimize->setIcon(SkinIcon(SkinGlyph::Minimize, kGlyphColor));
    m_maximize = WindowButton(this, "btnMaximize", QStringLiteral("Maximise"));
    m_close = WindowButton(this, "btnClose", QStringLiteral("Close"));
    m_close->setIcon(SkinIcon(SkinGlyph::Close, kGlyphColor));
    UpdateMaximizeButton();
    connect(m_minimize, &QToolButton::clicked, m_window, &QWidget::showMinimized);
    connect(m_maximize, &QToolButton::clicked, this, &SkinTitleBar::ToggleMaximized);
    connect(m_close, &QToolButton::clicked, m_window, &QWidget::close);

    // The menu bar never folds menus into its overflow button: it keeps its full width.
    m_menuBar->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);

    // Two rows, so that everything fits the smallest window with room to spare: the
    // title, the whole menu, help and the window buttons above; the page buttons below,
    // as tabs over the page they show. The title gives way (elided) before anything else.
    auto* top = new QHBoxLayout;
    top->setContentsMargins(8, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(logo);
    top->addWidget(m_title);
    top->addSpacing(8);
    top->addWidget(m_menuBar, 0, Qt::AlignVCenter);
    top->addStretch(1);
    top->addWidget(m_help);
    top->addSpacing(8);
    top->addWidget(m_minimize);
    top->addWidget(m_maximize);
    top->addWidget(m_close);

    auto* tabs = new QHBoxLayout;
    tabs->setContentsMargins(8, 0, 8, 0);
    tabs->setSpacing(2);
    for (QPushButton* tab : m_tabs)
        tabs->addWidget(tab);
    tabs->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(top);
    layout->addLayout(tabs);

    connect(&ApplicationTitle::Instance(), &ApplicationTitle::Changed, this, &SkinTitleBar::UpdateTitle);
    m_window->installEventFilter(this);
    UpdateTitle();
}

QPushButton* SkinTitleBar::PageButton(int page) const
{
    return page >= 1 && page <= 3 ? m_tabs[page - 1] : nullptr;
}

void SkinTitleBar::HelpMenuClosed()
{
    // The menu had the mouse while it was open, so the button never heard it leave
    // and would go on showing itself hovered.
    if (m_help->rect().contains(m_help->mapFromGlobal(QCursor::pos())))
        return;
    m_help->setAttribute(Qt::WA_UnderMouse, false);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(m_help, &leave);
    m_help->update();
}

void SkinTitleBar::ToggleMaximized()
{
    if (m_window->isMaximized())
        m_window->showNormal();
    else
        m_window->showMaximized();
}

void SkinTitleBar::UpdateTitle()
{
    // The window's own caption when it has one, else the application title, as the
    // taskbar shows it.
    const QString caption = m_window->windowTitle();
    const QString title = caption.isEmpty() ? ApplicationTitle::Text() : caption;
    m_title->setText(title);
    m_title->setToolTip(title);
}

void SkinTitleBar::UpdateMaximizeButton()
{
    const bool maximized = m_window->isMaximized();
    m_maximize->setIcon(SkinIcon(maximized ? SkinGlyph::Restore : SkinGlyph::Maximize, kGlyphColor));
    m_maximize->setToolTip(maximized ? QStringLiteral("Restore") : QStringLiteral("Maximise"));
}

bool SkinTitleBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::WindowTitleChange)
            UpdateTitle();
        else if (event->type() == QEvent::WindowStateChange)
            UpdateMaximizeButton();
    }
    return QFrame::eventFilter(watched, event);
}

void SkinTitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mousePressEvent(event);
        return;
    }
    event->accept();
    // The window manager moves the window when it can (it then also snaps and keeps
    // the window on screen); otherwise the window follows the mouse.
    if (QWindow* handle = m_window->windowHandle(); handle && handle->startSystemMove())
        return;
    m_dragging = !m_window->isMaximized();
    m_dragOffset = event->globalPosition().toPoint() - m_window->frameGeometry().topLeft();
}

void SkinTitleBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        m_window->move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QFrame::mouseMoveEvent(event);
}

void SkinTitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

void SkinTitleBar::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        ToggleMaximized();
        event->accept();
        return;
    }
    QFrame::mouseDoubleClickEvent(event);
}

} // namespace velmora
