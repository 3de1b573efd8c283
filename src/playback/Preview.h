#pragma once

#include "playback/Slideshow.h"

#include <QIcon>
#include <QTimer>
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QPushButton;

namespace velmora {

// The slideshow window frmPreview: borderless, always on top, covering the screen in
// the chosen background colour. It borrows the preview pane's picture control while
// it shows and walks the item list's pictures by changing the list's selection (the
// list's selection handler draws each one), by hand or on its timer. It exists for
// the whole run and is only shown and hidden, never closed.
class TfrmPreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPanelWidth = 438;
    static constexpr int kPanelHeight = 89;
    static constexpr int kHiddenPanelShows = 25;   // the top strip left on screen

    // list: the item list to walk; readOptions: the library's slideshow options;
    // returnPicture: gives the picture control back to the preview pane.
    TfrmPreview(SlideshowList& list, std::function<SlideshowOptions()> readOptions,
                std::function<void()> returnPicture);
    ~TfrmPreview() override;

    // Per-user switches (the main window loads them): the show starts advancing by
    // itself; the show starts with its controls tucked away.
    bool SlideshowCycle = true;
    bool SlideshowHideControls = false;

    Slideshow& Show() { return m_show; }
    // doViewSlideshow's walk and showing; false when the list holds no picture.
    bool Start();
    // Puts the picture control on the window, filling it.
    void TakePicture(QWidget* picture);
    QWidget* PictureArea() const { return m_pictureArea; }
    // "Image %d of %d".
    void ShowInfo();
    // Hides the window (the lock, a non-picture previewed, items added), giving the
    // picture back; the timer keeps its state.
    void Withdraw();

    // ---- handlers ----
    void FormActivate();
    void btnCloseClick();
    void btnNextClick();
    void btnPreviousClick();
    void btnAutoShowClick();
    void btnMinimize1Click();   // hide the controls
    void btnMaximize1Click();   // show the controls
    void tmrAutoadvanceTimer();

    QTimer tmrAutoadvance;
    QFrame* sausagepanel = nullptr;
    QLabel* lblInfo = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnAutoShow = nullptr;
    QPushButton* btnPrevious = nullptr;
    QPushButton* btnNext = nullptr;
    QFrame* pnlRestoreControls = nullptr;
    QFrame* pnlHideControls = nullptr;
    QIcon imStopSS;
    QIcon imStartSS;

signals:
    // "Start Show" / "Stop Show" toggled the cycling; the switch is stored at once.
    void CycleToggled(bool cycling);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;   // FormCloseQuery
    void resizeEvent(QResizeEvent* event) override;

private:
    bool FormKeyDown(QKeyEvent* event);
    QFrame* Strip(const char* name, const QString& text, void (TfrmPreview::*handler)());
    void ShowCycleState();
    QRect ScreenArea() const;
    void SetBackground(std::uint32_t bgr);
    // Sizes the control panel to its captions.
    void FitPanel();

    SlideshowList& m_list;
    std::function<SlideshowOptions()> m_readOptions;
    std::function<void()> m_returnPicture;
    Slideshow m_show;
    QWidget* m_pictureArea = nullptr;
    QWidget* m_controlRow = nullptr;   // information and buttons, inside sausagepanel
    bool m_controlsHidden = false;
};

} // namespace velmora
