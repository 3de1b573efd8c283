#include "PulseAudioNullSink.h"

#include <QProcessEnvironment>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <thread>

namespace velmora::test {

PulseAudioNullSink::PulseAudioNullSink()
{
    const std::string socket = (m_dir / "native").string();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Its own runtime, state and configuration folders: no other PulseAudio is touched.
    environment.insert("HOME", QString::fromStdString(m_dir.str()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(m_dir.str()));
    environment.insert("XDG_CONFIG_HOME", QString::fromStdString(m_dir.str()));
    environment.insert("PULSE_RUNTIME_PATH", QString::fromStdString(m_dir.str()));
    environment.insert("PULSE_STATE_PATH", QString::fromStdString(m_dir.str()));
    environment.remove("PULSE_SERVER");
    m_server.setProcessEnvironment(environment);
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start("pulseaudio",
                   {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                    "--load=module-null-sink sink_name=velmora_null",
                    QString::fromStdString("--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket)});
    if (!m_server.waitForStarted(30000)) {
        m_failure = "pulseaudio cannot be started (is it installed? scripts/install-deps installs it)";
        return;
    }
    for (int i = 0; i < 600 && !std::filesystem::exists(socket); ++i) {
        if (m_server.state() != QProcess::Running)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (!std::filesystem::exists(socket)) {
        m_failure = "pulseaudio did not start: " + m_server.readAll().toStdString();
        return;
    }
    setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
}

PulseAudioNullSink::~PulseAudioNullSink()
{
    unsetenv("PULSE_SERVER");
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(30000))
            m_server.kill();
        m_server.waitForFinished(30000);
    }
}

double PulseAudioNullSink::RecordedLevelDb(int milliseconds) const
{
    QProcess parec;
    parec.start("parec", {"--device=velmora_null.monitor", "--raw", "--format=s16le", "--channels=1", "--rate=22050"});
    if (!parec.waitForStarted(30000))
        return std::numeric_limits<double>::quiet_NaN();
    parec.waitForFinished(milliseconds);   // it records until it is ended
    parec.terminate();
    parec.waitForFinished(30000);
    const QByteArray samples = parec.readAllStandardOutput();
    const auto* values = reinterpret_cast<const qint16*>(samples.constData());
    const qsizetype count = samples.size() / 2;
    if (count == 0)
        return std::numeric_limits<double>::quiet_NaN();
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(values[i]) * values[i];
    return 10 * std::log10(sum / double(count) / (32768.0 * 32768.0));
}

} // namespace velmora::test
