#include "dialogs/ApplicationTitle.h"

#include <QWidget>

namespace velmora {

ApplicationTitle& ApplicationTitle::Instance()
{
    // Used from the user-interface thread only.
    static ApplicationTitle title;
    return title;
}

QString ApplicationTitle::Text()
{
    return Instance().m_text;
}

void ApplicationTitle::Set(const QString& title)
{
    ApplicationTitle& self = Instance();
    if (self.m_text == title)
        return;
    self.m_text = title;
    emit self.Changed(title);
}

void ApplicationTitle::Follow(QWidget& window)
{
    window.setWindowTitle(Text());
    connect(&Instance(), &ApplicationTitle::Changed, &window, &QWidget::setWindowTitle, Qt::UniqueConnection);
}

} // namespace velmora
