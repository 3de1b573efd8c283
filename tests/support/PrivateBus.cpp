#include "support/PrivateBus.h"

#include <QDeadlineTimer>

namespace velmora::test {

namespace {

// Anything may own a name and talk to anything: a bus for one test's processes.
constexpr const char* kConfig = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <standard_session_servicedirs/>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

constexpr int kStartGuardMs = 30000;

} // namespace

PrivateBus::PrivateBus(const QProcessEnvironment& environment)
{
    const std::string config = (m_folder / "bus.conf").string();
    WriteFile(config, QString::fromLatin1(kConfig).arg(QString::fromStdString(m_folder.str())).toStdString());
    m_daemon.setProcessEnvironment(environment);
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(QStringLiteral("dbus-daemon"),
                   {QStringLiteral("--config-file=") + QString::fromStdString(config), QStringLiteral("--nofork"),
                    QStringLiteral("--print-address=1")});
    if (!m_daemon.waitForStarted(kStartGuardMs))
        return;
    const QDeadlineTimer guard(kStartGuardMs);
    QByteArray out;
    while (!out.contains('\n') && !guard.hasExpired() && m_daemon.state() == QProcess::Running) {
        m_daemon.waitForReadyRead(100);
        out += m_daemon.readAllStandardOutput();
    }
    if (out.contains('\n'))
        m_address = QString::fromUtf8(out.left(out.indexOf('\n')).trimmed());
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() != QProcess::NotRunning) {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(10000)) {
            m_daemon.kill();
            m_daemon.waitForFinished();
        }
    }
}

} // namespace velmora::test
