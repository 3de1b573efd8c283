#pragma once

#include "ui/MessageBoxes.h"

#include <QPointer>
#include <QWidget>

namespace velmora {

// The message boxes of the running program, placed on the main window.
class GuiMessageBoxes : public MessageBoxes {
public:
    explicit GuiMessageBoxes(QWidget* mainWindow = nullptr) : m_mainWindow(mainWindow) {}

    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    int ShowMessageBox(const std::string& text, int flags) override;

private:
    QPointer<QWidget> m_mainWindow;
};

} // namespace velmora
