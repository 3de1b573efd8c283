#include "dialogs/GuiProgress.h"

#include "dialogs/DialogPlacement.h"
#include "dialogs/ProgressForm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <utility>

namespace velmora {

namespace {

// Lets the window repaint and its Cancel button work while the operation runs.
void ProcessPendingEvents()
{
    QCoreApplication::processEvents();
}

void Step(QProgressBar& gauge)
{
    gauge.setValue(gauge.value() >= gauge.maximum() ? 0 : gauge.value() + 1);
}

} // namespace

GuiProgress::GuiProgress(QWidget* mainWindow, MessageBoxes& boxes) : m_mainWindow(mainWindow), m_boxes(boxes) {}

GuiProgress::~GuiProgress()
{
    HideProgress();
}

void GuiProgress::Show(const std::string& title, bool noCancel, const QRect* area)
{
    if (!m_form) {
        m_form = new TfrmProgress(m_mainWindow, m_boxes);
        m_form->addActions(m_windowActions);
        m_withdrawn = false;
        m_mainWasActive = m_mainWindow && m_mainWindow->window()->isActiveWindow();
        m_focusBefore = QApplication::focusWidget();
    }
    TfrmProgress& form = *m_form;
    form.setWindowTitle(QString::fromStdString(title));
    form.SetCancelled(false);
    form.btnCancel->setVisible(!noCancel);
    if (noCancel && !m_waitCursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_waitCursor = true;
    }

    ScreenRect centreOn;
    bool place = true;
    if (area) {
        centreOn = {area->left(), area->top(), area->width(), area->height()};
    } else if (m_mainWindow && m_mainWindow->window()->isVisible()) {
        const QRect frame = m_mainWindow->window()->frameGeometry();
        centreOn = {frame.left(), frame.top(), frame.width(), frame.height()};
    } else if (m_mainWindow && QGuiApplication::primaryScreen()) {
        // A main window never shown (the windowless starts) has only the geometry it was
        // made with, in a corner of the screen: the middle of the screen instead.
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        centreOn = {screen.left(), screen.top(), screen.width(), screen.height()};
    } else {
        place = false;   // no main window: the window system places it
    }
    if (place) {
        form.winId();   // the frame's size is known, where the platform tells it, once the window exists
        const QSize outer = form.frameGeometry().size();
        const WindowPosition at = CentredPosition(centreOn, outer.width(), outer.height());
        form.move(at.left, at.top);
    }

    if (!m_withdrawn) {
        form.show();
        form.raise();
    }
    ProcessPendingEvents();
}

void GuiProgress::ShowProgress(const std::string& title, bool noCancel)
{
    Show(title, noCancel, nullptr);
}

void GuiProgress::ShowProgressAt(const std::string& title, int left, int top, bool noCancel, int height,
                                 int width)
{
    const QRect area(left, top, width, height);
    Show(title, noCancel, &area);
}

void GuiProgress::SetProgressTotal(const std::string& text, int maximum)
{
    if (!m_form)
        return;
    m_form->ProgressBar->setVisible(maximum != 0);
    if (maximum != -1) {
        m_form->ProgressBar->setMaximum(maximum);
        m_form->ProgressBar->setValue(0);
        m_form->curItemprogress->hide();
    }
    m_form->lblProg2->setText(QString::fromStdString(text));
    ProcessPendingEvents();
}

void GuiProgress::SetProgressItem(const std::string& text, int maximum)
{
    if (!m_form)
        return;
    m_form->curItemprogress->setVisible(maximum != 0);
    if (maximum != -1) {
        m_form->curItemprogress->setMaximum(maximum);
        m_form->curItemprogress->setValue(0);
    }
    m_form->lblProg2->setText(QString::fromStdString(text));
    ProcessPendingEvents();
}

void GuiProgress::StepProgress()
{
    if (!m_form)
        return;
    Step(*m_form->ProgressBar);
    ProcessPendingEvents();
}

void GuiProgress::StepItemProgress()
{
    if (!m_form)
        return;
    Step(*m_form->curItemprogress);
    ProcessPendingEvents();
}

TfrmProgress* GuiProgress::Window() const
{
    return m_form.data();
}

bool GuiProgress::ProgressCancelled() const
{
    return m_form && m_form->Cancelled();
}

void GuiProgress::CancelProgress()
{
    if (m_form)
        m_form->SetCancelled(true);
}

void GuiProgress::Withdraw()
{
    if (!m_form)
        return;
    m_withdrawn = true;
    m_form->hide();
}

void GuiProgress::Restore()
{
    if (!m_form || !m_withdrawn)
        return;
    m_withdrawn = false;
    // Showing the window again is no new operation: a cancel asked for stays asked.
    const bool cancelled = m_form->Cancelled();
    m_form->show();
    m_form->raise();
    m_form->SetCancelled(cancelled);
}

void GuiProgress::HideProgress()
{
    if (m_waitCursor) {
        QApplication::restoreOverrideCursor();
        m_waitCursor = false;
    }
    if (!m_form)
        return;
    m_form->hide();
    m_withdrawn = false;
    // Deferred: HideProgress may run inside an event the window itself is handling.
    m_form->deleteLater();
    m_form = nullptr;
    RestoreActivation();
}

// The progress window takes the activation while it is shown, and the window system
// need not give it back when the window goes: the main window would then take no keys
// until clicked. So the activation and the focus go back to where they were.
void GuiProgress::RestoreActivation()
{
    const bool wasActive = std::exchange(m_mainWasActive, false);
    const QPointer<QWidget> focus = std::exchange(m_focusBefore, nullptr);
    if (!wasActive || !m_mainWindow)
        return;
    QWidget* window = m_mainWindow->window();
    if (!window->isVisible())
        return;   // locked or closing meanwhile
    if (!window->isActiveWindow())
        window->activateWindow();
    if (focus && focus->isVisible() && focus->isEnabled() && focus->window() == window)
        focus->setFocus(Qt::OtherFocusReason);
}

} // namespace velmora
