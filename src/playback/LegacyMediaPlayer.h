#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QWidget;

namespace velmora {

class TMediaEngine;

// The legacy media player control (below version 9) on Qt Multimedia, with the members
// the player host uses: FileName, PlayState 0..4, Volume in hundredths of a decibel,
// Mute, DisplaySize, Duration, CurrentPosition, Play/Stop/Pause/Cancel and the event
// OnPlayStateChange. Play states come from the one table of PlayStates.h.
class TLegacyMediaPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr int kDisplayFullScreen = 3;
    static constexpr int kDisplayFitToSize = 4;
    static constexpr int kMinimumVolume = -10000;

    // Made inside parent, the panel it fills. Throws std::runtime_error when Qt
    // Multimedia has no working backend.
    explicit TLegacyMediaPlayer(QWidget* parent);
    ~TLegacyMediaPlayer() override;

    // The control itself (its picture).
    QWidget* Control() const;

    QString FileName() const;
    // Opens the file or URL (empty closes it); starts it when AutoStart.
    void SetFileName(const QString& fileName);
    int PlayState() const { return m_playState; }
    double Duration() const;          // seconds
    double CurrentPosition() const;   // seconds
    void SetCurrentPosition(double seconds);
    int Volume() const { return m_volume; }
    void SetVolume(int hundredthsOfDecibel);
    bool Mute() const;
    void SetMute(bool mute);
    int DisplaySize() const { return m_displaySize; }
    // 3: the picture takes the whole screen; 4: it fits its panel.
    void SetDisplaySize(int size);

    void Play();
    void Stop();
    void Pause();
    // Abandons opening the current file.
    void Cancel();

    // Switches the host sets once; Qt's picture has no controls, tracker or menus of
    // its own to show.
    bool AutoStart = true;
    bool AutoSize = true;
    bool EnableContextMenu = true;
    bool ClickToPlay = true;
    bool ShowControls = true;
    bool ShowAudioControls = true;
    bool ShowPositionControls = true;
    bool ShowTracker = true;
    bool ShowGotoBar = false;
    bool ShowStatusBar = false;
    bool SendPlayStateChangeEvents = true;

    TMediaEngine& Engine() { return *m_engine; }

signals:
    // The item's duration became known (or changed), in seconds: Qt may learn a
    // stream's length only after it reports playing.
    void DurationChange(double seconds);
    void OnPlayStateChange(int oldState, int newState);

private:
    void ConditionChanged();

    std::unique_ptr<TMediaEngine> m_engine;
    int m_playState = 0;
    int m_volume = 0;
    int m_displaySize = kDisplayFitToSize;
};

} // namespace velmora
