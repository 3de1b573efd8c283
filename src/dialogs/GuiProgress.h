#pragma once

#include "ui/ProgressRoutines.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class QAction;

namespace velmora {

class MessageBoxes;
class TfrmProgress;

// The progress routines on the shared progress window. At most one window is in use:
// ShowProgress makes it when there is none, HideProgress hides and drops it, and every
// other routine does nothing while there is none. Each routine processes pending events,
// so the window repaints and its Cancel button works while the operation runs.
class GuiProgress : public ProgressRoutines {
public:
    // The window is centred on mainWindow (on the screen while mainWindow is not shown)
    // and disables it while shown; boxes asks the cancel question. Both must outlive this object (mainWindow may also be null).
    GuiProgress(QWidget* mainWindow, MessageBoxes& boxes);
    ~GuiProgress() override;
    GuiProgress(const GuiProgress&) = delete;
    GuiProgress& operator=(const GuiProgress&) = delete;

    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    // Actions whose keys also work while the progress window has the keyboard (the
    // lock): the main window is disabled meanwhile.
    void AddWindowAction(QAction* action) { m_windowActions.append(action); }

    // The lock: the window in use goes out of sight at once, whatever the operation is
    // doing, and stays so until Restore; the operation itself goes on to its next check.
    void Withdraw();
    // After the unlock: the window comes back if its operation still runs.
    void Restore();

    void ShowProgress(const std::string& title, bool noCancel) override;
    void ShowProgressAt(const std::string& title, int left, int top, bool noCancel, int height,
                        int width) override;
    void SetProgressTotal(const std::string& text, int maximum) override;
    void SetProgressItem(const std::string& text, int maximum) override;
    void StepProgress() override;
    void StepItemProgress() override;
    bool ProgressCancelled() const override;
    void CancelProgress() override;
    void HideProgress() override;

    // The window in use, or null; for tests and for the lock.
    TfrmProgress* Window() const;

private:
    void RestoreActivation();
    void Show(const std::string& title, bool noCancel, const QRect* area);

    QPointer<QWidget> m_mainWindow;
    MessageBoxes& m_boxes;
    QPointer<TfrmProgress> m_form;
    QList<QAction*> m_windowActions;
    bool m_withdrawn = false;   // the window in use is kept out of sight
    bool m_waitCursor = false;
    // Where the activation and the keyboard focus were when the window appeared.
    bool m_mainWasActive = false;
    QPointer<QWidget> m_focusBefore;
};

} // namespace velmora
