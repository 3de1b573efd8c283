#pragma once

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

namespace velmora {

class MessageBoxes;

// The shared progress window: a status line, the current-item and overall gauges and a
// Cancel button. It stays on top and keeps the main window disabled while it is shown.
// It is a window of its own (not a child of the main window), so that disabling the
// main window does not disable its Cancel button.
class TfrmProgress : public QDialog {
    Q_OBJECT
public:
    // mainWindow may be null; boxes asks the cancel question and must outlive the window.
    TfrmProgress(QWidget* mainWindow, MessageBoxes& boxes);
    ~TfrmProgress() override;

    bool Cancelled() const { return m_cancelled; }
    void SetCancelled(bool cancelled) { m_cancelled = cancelled; }
    QWidget* MainWindow() const { return m_mainWindow; }

    // Asks "Cancel this operation?" and sets the cancelled flag unless the answer is No.
    void btnCancelClick();

    QLabel* lblProg2 = nullptr;
    QProgressBar* curItemprogress = nullptr;
    QLabel* lblOverall = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* event) override;   // FormShow
    void hideEvent(QHideEvent* event) override;   // FormHide
    void closeEvent(QCloseEvent* event) override; // FormCloseQuery

private:
    bool FormKeyPress(QKeyEvent* event);
    void SetMainWindowEnabled(bool enabled);

    QPointer<QWidget> m_mainWindow;
    MessageBoxes& m_boxes;
    bool m_cancelled = false;
};

} // namespace velmora
