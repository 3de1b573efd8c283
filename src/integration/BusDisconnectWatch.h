#pragma once

#include <QDBusConnection>
#include <QObject>

namespace velmora {

// Tells when a bus connection is lost (the bus daemon ended or dropped the program): the
// bus library's own "Disconnected" message on the connection.
class BusDisconnectWatch : public QObject {
    Q_OBJECT
public:
    explicit BusDisconnectWatch(QObject* parent = nullptr);

    // Watches this connection from now on; false when it is not connected.
    bool Watch(QDBusConnection connection);

signals:
    void Lost();

private slots:
    void Disconnected();
};

} // namespace velmora
