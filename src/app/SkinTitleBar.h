#pragma once

#include <QFrame>
#include <QPoint>

class QLabel;
class QMenuBar;
class QPushButton;
class QToolButton;

namespace velmora {

// The top area of the borderless main window's skin: the title, the main menu, the
// "helpbutton" and window buttons of its own (minimise, maximise/restore, close) in one
// row, the three page buttons "tab1".."tab3" in the row below. Dragging the empty part
// of the area moves the window; a double click maximises or restores it.
class SkinTitleBar : public QFrame {
    Q_OBJECT
public:
    explicit SkinTitleBar(QWidget* window);

    QMenuBar* MenuBar() const { return m_menuBar; }
    QPushButton* PageButton(int page) const;   // 1..3
    QToolButton* HelpButton() const { return m_help; }
    QToolButton* MinimizeButton() const { return m_minimize; }
    QToolButton* MaximizeButton() const { return m_maximize; }
    QToolButton* CloseButton() const { return m_close; }

    void ToggleMaximized();
    // The help menu opened from "helpbutton" has closed.
    void HelpMenuClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void UpdateTitle();
    void UpdateMaximizeButton();

    QWidget* m_window = nullptr;
    QLabel* m_title = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QPushButton* m_tabs[3] = {};
    QToolButton* m_help = nullptr;
    QToolButton* m_minimize = nullptr;
    QToolButton* m_maximize = nullptr;
    QToolButton* m_close = nullptr;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace velmora
