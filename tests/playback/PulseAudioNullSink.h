#pragma once

#include "support/TestSupport.h"

#include <QProcess>

#include <memory>
#include <string>

namespace velmora::test {

// A private PulseAudio server of this test process with one null sink: players have a
// sound device to play to on a machine without one, and nothing is heard. PULSE_SERVER
// points this process (and its children) at it while the object lives.
class PulseAudioNullSink {
public:
    PulseAudioNullSink();
    ~PulseAudioNullSink();
    PulseAudioNullSink(const PulseAudioNullSink&) = delete;
    PulseAudioNullSink& operator=(const PulseAudioNullSink&) = delete;

    // Empty when the server runs; else why it does not.
    const std::string& Failure() const { return m_failure; }

    // The level of what the sink plays over the next `milliseconds`, recorded from
    // its monitor with parec: RMS in decibels of full scale (-inf for silence).
    double RecordedLevelDb(int milliseconds) const;

private:
    TempDir m_dir;
    QProcess m_server;
    std::string m_failure;
};

} // namespace velmora::test
