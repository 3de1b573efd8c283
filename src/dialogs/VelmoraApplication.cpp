#include "dialogs/VelmoraApplication.h"

#include <QFile>

#include <exception>

// The resource file lives in a static library; nothing else would pull it in.
static void InitStyleResources()
{
    Q_INIT_RESOURCE(velmora_style);
}

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    InitStyleResources();
    setStyleSheet(StyleSheet());
}

QString VelmoraApplication::StyleSheet()
{
    InitStyleResources();
    QFile file(QStringLiteral(":/velmora/style/velmora.qss"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event)
{
    // An error no operation caught ends that operation; the user is not told, and the
    // program goes on with the next event.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        ++m_droppedErrors;
        qDebug("Dropped an error no operation handled: %s", error.what());
    } catch (...) {
        ++m_droppedErrors;
        qDebug("Dropped an error no operation handled");
    }
    return false;
}

} // namespace velmora
