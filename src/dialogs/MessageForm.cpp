#include "dialogs/MessageForm.h"

#include "dialogs/ApplicationTitle.h"
#include "dialogs/DialogPlacement.h"
#include "dialogs/KeepAbove.h"
#include "dialogs/KeyPreview.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace velmora {

namespace {

QStyle::StandardPixmap StandardIconFor(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return QStyle::SP_MessageBoxCritical;
    case MessageIcon::Question:
        return QStyle::SP_MessageBoxQuestion;
    case MessageIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case MessageIcon::Information:
        break;
    }
    return QStyle::SP_MessageBoxInformation;
}

ScreenRect ToScreenRect(const QRect& r)
{
    return {r.left(), r.top(), r.width(), r.height()};
}

bool ShownToTheUser(const QWidget* window)
{
    return window != nullptr && window->isVisible() && !window->isMinimized();
}

// What the box is centred on, in screen coordinates: the main window when the user
// sees it; else the window the user is in (the password gate, another dialog); else
// nothing, and the box goes to the middle of the screen. A window that has never been
// shown has only the geometry it was made with, far from anything on the screen.
std::optional<QRect> BoxOwnerFrame(QWidget* mainWindow, const QWidget* box)
{
    QWidget* main = mainWindow ? mainWindow->window() : nullptr;
    if (ShownToTheUser(main)) {
        // A maximised window covers the work area; its frame may not have caught up
        // with the window system yet.
        if (main->isMaximized() && main->screen())
            return main->screen()->availableGeometry();
        return main->frameGeometry();
    }
    for (QWidget* other : {QApplication::activeModalWidget(), QApplication::activeWindow()}) {
        if (other && other != box && ShownToTheUser(other))
            return other->window()->frameGeometry();
    }
    return std::nullopt;
}

QPushButton* MakeButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Enter is answered by the form itself, for the focused button.
    button->setAutoDefault(false);
    button->hide();
    return button;
}

} // namespace

TmessageForm::TmessageForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("messageForm"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    Icon = new QLabel(this);
    Icon->setObjectName(QStringLiteral("Icon"));
    Icon->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    lblCaption = new QLabel(this);
    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setTextFormat(Qt::PlainText);
    lblCaption->setWordWrap(true);
    lblCaption->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblCaption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A readable line length whatever the font size: about 40 average characters minimum,
    // growing to about 60 before the text wraps.
    const int em = fontMetrics().averageCharWidth();
    lblCaption->setMinimumWidth(40 * em);
    lblCaption->setMaximumWidth(60 * em);

    btnOK = MakeButton(QStringLiteral("OK"), "btnOK", this);
    btnYes = MakeButton(QStringLiteral("&Yes"), "btnYes", this);
    btnNo = MakeButton(QStringLiteral("&No"), "btnNo", this);
    btnCancel = MakeButton(QStringLiteral("Cancel"), "btnCancel", this);
    connect(btnOK, &QPushButton::clicked, this, &TmessageForm::btnOKClick);
    connect(btnYes, &QPushButton::clicked, this, &TmessageForm::btnYesClick);
    connect(btnNo, &QPushButton::clicked, this, &TmessageForm::btnNoClick);
    connect(btnCancel, &QPushButton::clicked, this, &TmessageForm::btnCancelClick);

    auto* message = new QHBoxLayout;
    message->addWidget(Icon, 0, Qt::AlignTop);
    message->addSpacing(fontMetrics().height());
    message->addWidget(lblCaption, 1);

    // Left to right OK, Yes, No, Cancel, right-aligned; the layout's spacing keeps the
    // narrow gap after each shown button, and hidden buttons take no room.
    auto* buttons = new QHBoxLayout;
    buttons->setObjectName(QStringLiteral("buttonPanel"));
    buttons->addStretch(1);
    for (QPushButton* button : {btnOK, btnYes, btnNo, btnCancel})
        buttons->addWidget(button);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(message, 1);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(btnOK, btnCancel);
    setTabOrder(btnCancel, btnYes);
    setTabOrder(btnYes, btnNo);

    new KeyPreview(this, [this](QKeyEvent* event) { return FormKeyPress(event); });
}

void TmessageForm::SetButtons(int flags)
{
    m_flags = flags;
    const MessageButtons shown = ButtonsForFlags(flags);
    btnOK->setVisible(shown.ok);
    btnYes->setVisible(shown.yes);
    btnNo->setVisible(shown.no);
    btnCancel->setVisible(shown.cancel);

    m_icon = IconForFlags(flags);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    Icon->setPixmap(style()->standardIcon(StandardIconFor(m_icon), nullptr, this).pixmap(size, size));
    Icon->setProperty("iconKind", static_cast<int>(m_icon));
}

void TmessageForm::SetMessage(const QString& text)
{
    m_message = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lblCaption->setText(shown);
}

void TmessageForm::btnOKClick() { done(mb::kResultOk); }
void TmessageForm::btnYesClick() { done(mb::kResultYes); }
void TmessageForm::btnNoClick() { done(mb::kResultNo); }
void TmessageForm::btnCancelClick() { done(mb::kResultCancel); }

void TmessageForm::reject()
{
    done(EscapeResult(m_flags));
}

QPushButton* TmessageForm::FirstShownInTabOrder() const
{
    for (QPushButton* button : {btnOK, btnCancel, btnYes, btnNo}) {
        if (!button->isHidden())
            return button;
    }
    return nullptr;
}

void TmessageForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (QPushButton* first = FirstShownInTabOrder())
        first->setFocus(Qt::TabFocusReason);
}

bool TmessageForm::FormKeyPress(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const QWidget* focused = focusWidget();
        if (focused == btnYes)
            done(mb::kResultYes);
        else if (focused == btnNo)
            done(mb::kResultNo);
        else if (focused == btnCancel)
            done(mb::kResultCancel);
        else
            done(mb::kResultOk);
        return true;
    }
    case Qt::Key_Escape:
        done(EscapeResult(m_flags));
        return true;
    default:
        return false;
    }
}

namespace {

// The box for text and flags, captioned with the application's title and placed as
// ShowMessageBox describes.
std::unique_ptr<TmessageForm> MakeMessageBox(const QString& text, int flags, QWidget* mainWindow)
{
    // Not a child of the main window: a box asked while the main window is disabled (the
    // progress window's question) must stay usable. It stacks above the window the user is
    // in instead (a dialog, or the progress window, which would otherwise cover it).
    auto box = std::make_unique<TmessageForm>();
    QWidget* above = QApplication::activeModalWidget();
    if (!above)
        above = QApplication::activeWindow();
    if (!above)
        above = mainWindow;
    if (above)
        KeepAbove(*box, *above);
    box->SetButtons(flags);
    box->setWindowTitle(ApplicationTitle::Text());
    box->SetMessage(text);
    box->adjustSize();

    const std::optional<QRect> owner = BoxOwnerFrame(mainWindow, box.get());
    QScreen* screen = owner ? QGuiApplication::screenAt(owner->center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const ScreenRect screenRect = ToScreenRect(screen->geometry());
        const ScreenRect centreOn = owner ? ToScreenRect(*owner) : ToScreenRect(screen->availableGeometry());
        box->winId();   // the frame's size is known, where the platform tells it, once the window exists
        const QSize outer = box->frameGeometry().size();
        const WindowPosition at = MessageBoxPosition(centreOn, outer.width(), outer.height(), screenRect);
        box->move(at.left, at.top);
    }
    return box;
}

} // namespace

int ShowMessageBox(const QString& text, int flags, QWidget* mainWindow)
{
    return MakeMessageBox(text, flags, mainWindow)->exec();
}

TmessageForm* ShowMessageBoxWithoutWaiting(const QString& text, int flags, QWidget* mainWindow)
{
    std::unique_ptr<TmessageForm> box = MakeMessageBox(text, flags, mainWindow);
    QObject::connect(box.get(), &QDialog::finished, box.get(), &QObject::deleteLater);
    // Above the progress window of whatever runs next, which stays on top.
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setModal(false);
    box->show();
    box->raise();
    box->activateWindow();
    return box.release();
}

} // namespace velmora
