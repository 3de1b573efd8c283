#include "dialogs/MessageNotices.h"

#include "dialogs/MessageForm.h"

#include <algorithm>

namespace velmora {

MessageNotices::~MessageNotices()
{
    for (const QPointer<TmessageForm>& box : m_boxes)
        delete box.data();
}

void MessageNotices::Show(const std::string& text, int flags, QWidget* mainWindow)
{
    TmessageForm* box = ShowMessageBoxWithoutWaiting(QString::fromStdString(text), flags, mainWindow);
    connect(box, &QDialog::finished, this, &MessageNotices::Closed);
    std::erase_if(m_boxes, [](const QPointer<TmessageForm>& gone) { return gone.isNull(); });
    m_boxes.emplace_back(box);
}

int MessageNotices::Open() const
{
    return static_cast<int>(std::count_if(m_boxes.begin(), m_boxes.end(), [](const QPointer<TmessageForm>& box) {
        return box && box->isVisible();
    }));
}

} // namespace velmora
