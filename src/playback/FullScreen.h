#pragma once

#include <QWidget>

#include <memory>

class QFrame;
class QLabel;

namespace velmora {

class Skin;

// The full-screen window frmFullScreen: borderless, always on top, covering a screen.
// Its content pane takes the player's picture while full-screen mode is on; its own
// skin (fullScreenDSF) carries play, pause, stop, next, previous, volume, mute,
// position, time and close. It exists for the whole run and is only shown and hidden.
// The player host handles its skin's events; the window itself only tells when it is
// to be left (Escape released) and when the mouse is released over it.
class TfrmFullScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kLoadingCaption = "Please wait loading encrypted media ...";

    TfrmFullScreen();
    ~TfrmFullScreen() override;

    Skin& fullScreenDSF() { return *m_skin; }
    QFrame* pnlContentPane = nullptr;
    QLabel* lblContentPane = nullptr;   // the pane's caption
    QFrame* Panel1 = nullptr;

    // Puts a player's picture into the content pane, filling it (hidden: the caller
    // shows it when it is meant to be seen).
    void TakeControl(QWidget* control);
    // Covers the screen that holds `over` (the main window) and comes to the front.
    void ShowOver(QWidget* over);

signals:
    void LeaveRequested();                 // Escape released (FormKeyUp)
    void FormMouseUp();                    // the mouse released over the window itself

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* CreateControlBar();

    std::unique_ptr<Skin> m_skin;
};

} // namespace velmora
