#pragma once

// A D-Bus daemon of the test's own, on a socket in a temporary folder, so no test ever
// talks to the machine's buses. Services it may start come from the standard session
// folders of the environment it is given ($XDG_DATA_HOME/dbus-1/services, ...).

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>

#include "support/TestSupport.h"

namespace velmora::test {

class PrivateBus {
public:
    // Starts the daemon with this environment (for the services it starts).
    explicit PrivateBus(const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // The address clients connect to; empty when the daemon did not start.
    const QString& Address() const { return m_address; }

private:
    TempDir m_folder;
    QProcess m_daemon;
    QString m_address;
};

} // namespace velmora::test
