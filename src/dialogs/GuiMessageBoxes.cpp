#include "dialogs/GuiMessageBoxes.h"

#include "dialogs/MessageForm.h"

namespace velmora {

int GuiMessageBoxes::ShowMessageBox(const std::string& text, int flags)
{
    return velmora::ShowMessageBox(QString::fromStdString(text), flags, m_mainWindow.data());
}

} // namespace velmora
