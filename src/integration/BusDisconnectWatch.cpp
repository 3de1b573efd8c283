#include "integration/BusDisconnectWatch.h"

namespace velmora {

BusDisconnectWatch::BusDisconnectWatch(QObject* parent) : QObject(parent) {}

bool BusDisconnectWatch::Watch(QDBusConnection connection)
{
    if (!connection.isConnected())
        return false;
    return connection.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                              QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"), this,
                              SLOT(Disconnected()));
}

void BusDisconnectWatch::Disconnected()
{
    emit Lost();
}

} // namespace velmora
