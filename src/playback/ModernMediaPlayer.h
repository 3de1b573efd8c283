#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

class QWidget;

namespace velmora {

class TMediaEngine;

// The modern media player control (version 9 and later) on Qt Multimedia, with the
// members the player host uses: URL, playState 1..11, currentMedia, controls,
// settings, error, and the events OnPlayStateChange and OnError. Play states come
// from Qt's conditions through the one table of PlayStates.h; invalid media is an
// error event, as the control reports it.
class TModernMediaPlayer : public QObject {
    Q_OBJECT
public:
    class Controls {
    public:
        explicit Controls(TMediaEngine& engine) : m_engine(engine) {}
        void play();
        void stop();
        void pause();
        double currentPosition() const;   // seconds
        void setCurrentPosition(double seconds);

    private:
        TMediaEngine& m_engine;
    };

    class Settings {
    public:
        explicit Settings(TMediaEngine& engine) : m_engine(engine) {}
        bool autoStart = true;
        int volume() const;   // 0..100
        void setVolume(int volume);
        bool mute() const;
        void setMute(bool mute);

    private:
        TMediaEngine& m_engine;
    };

    struct Media {
        double duration = 0;   // seconds; 0 while unknown
        QString sourceURL;
    };

    class Error {
    public:
        void clearErrorQueue() { m_queue.clear(); }
        int errorCount() const { return static_cast<int>(m_queue.size()); }
        QStringList& Queue() { return m_queue; }

    private:
        QStringList m_queue;
    };

    // Made inside parent, the panel it fills. Throws std::runtime_error when Qt
    // Multimedia has no working backend.
    explicit TModernMediaPlayer(QWidget* parent);
    ~TModernMediaPlayer() override;

    // The control itself (its picture) where it is in use, to show and hide.
    QWidget* Control() const;
    // The picture is shown in panel from now on, by a display of that panel's own
    // (made on first use); Control() is that display. Returns it.
    QWidget* ShowIn(QWidget* panel);

    QString URL() const;
    // Opens the URL (an empty one closes the item); starts it when settings.autoStart.
    void setURL(const QString& url);
    int playState() const { return m_playState; }
    Media currentMedia() const;
    Controls& controls() { return m_controls; }
    Settings& settings() { return m_settings; }
    Error& error() { return m_error; }

    QString uiMode() const { return m_uiMode; }
    void setUiMode(const QString& mode) { m_uiMode = mode; }   // the picture never shows controls
    bool enableContextMenu() const;
    void setEnableContextMenu(bool enable);
    bool stretchToFit() const { return m_stretchToFit; }
    // Qt's picture always fits the control keeping its proportions; the switch is kept.
    void setStretchToFit(bool stretch) { m_stretchToFit = stretch; }

    // The control's place in its window, as the in-place object is told it.
    void SetObjectRects(const QRect& position, const QRect& clip);

    TMediaEngine& Engine() { return *m_engine; }

signals:
    // The item's duration became known (or changed), in seconds: Qt may learn a
    // stream's length only after it reports playing.
    void DurationChange(double seconds);
    void OnPlayStateChange(int newState);
    void OnError();

private:
    void ConditionChanged();

    std::unique_ptr<TMediaEngine> m_engine;
    Controls m_controls;
    Settings m_settings;
    Error m_error;
    int m_playState = 0;   // undefined until the first report
    QString m_uiMode = QStringLiteral("full");
    bool m_stretchToFit = false;
};

} // namespace velmora
