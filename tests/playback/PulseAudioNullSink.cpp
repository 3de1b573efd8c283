#include "PulseAudioNullSink.h"

#include <QProcessEnvironment>

#include <chrono>
#include <cstdlib>
#include <filesystem>
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

} // namespace velmora::test
