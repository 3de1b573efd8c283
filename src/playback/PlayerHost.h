#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>

#include <memory>

class QAction;
class QFrame;
class QLabel;
class QWidget;

namespace velmora {

class Library;
class MessageBoxes;
class PlaylistSeam;
class Skin;
class TfrmFullScreen;
class TLegacyMediaPlayer;
class TModernMediaPlayer;
class TPictureItem;
class TVideoStreamServ;

// The parts of the main window the player host works with.
struct PlayerHostParts {
    QWidget* mainWindow = nullptr;
    Skin* mainSkin = nullptr;            // spDynamicSkinForm1
    QFrame* pnlMoviePlayer = nullptr;    // the panel the control fills
    QLabel* pnlMoviePlayerCaption = nullptr;
    QAction* Play1 = nullptr;
    QAction* Pause1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* Next1 = nullptr;
    QAction* Previous1 = nullptr;        // Last1
    QAction* Mute1 = nullptr;
    QAction* actViewSlideshow = nullptr;
    QLabel* lblErrMessage1 = nullptr;    // the preview pane's error line
    Library* library = nullptr;
    TVideoStreamServ* streamServer = nullptr;
    MessageBoxes* boxes = nullptr;
    PlaylistSeam* playlist = nullptr;
};

// The media player on the Playing page: which control is hosted (legacy below player
// version 9, modern from 9 on), opening a library item in it through the stream server,
// the commands of the skin and the "Player" menu with their state rules, the position
// bar, time, state texts and menu check marks, volume and mute, and full-screen mode
// with its window. Without a player (none could be made) every command does nothing.
//
// The play list drives it through OpenMediaItem / PlayItem, StopAndClearPlayer,
// MediaEnded and the progress timer, and is asked back through PlaylistSeam.
class PlayerHost : public QObject {
    Q_OBJECT
public:
    static constexpr int kProgressInterval = 200;   // tmrProgress, milliseconds
    static constexpr const char* kCreateFailedMessage =
        "Critical Error: Could not instantiate Media Player\r\n\r\n"
        "If the problem persists please ensure that media player is installed";
    static constexpr const char* kLoadingCaption = "Please Wait Loading Encrypted Media ...";
    static constexpr const char* kNoStreamPortMessage =
        "Music and movies cannot be played: the media server found no free port to listen on.";
    // An item that has not begun to play by then has failed (generous: a loaded
    // machine opens a large movie in a few seconds).
    static constexpr int kStartPatienceMs = 30000;
    static constexpr const char* kCannotPlayText = "The media cannot be played";

    explicit PlayerHost(const PlayerHostParts& parts);
    ~PlayerHost() override;

    // ---- state ----
    int PlayerVersion = 0;
    int DefaultPlayerVersion = 0;
    double MediaDuration = 0;
    bool PlayerVisible = false;
    int CurrentVolume = 0;
    bool Muted = false;
    int SeekDragging = 0;
    bool MediaEnded = false;
    bool FullScreenActive = false;
    QTimer tmrProgress;
    // The item that ended last failed (the player's error, or it never began): the
    // play list goes on past it, and stops when every entry fails.
    bool ItemFailed() const { return m_itemFailed; }
    // The player's start-up patience, shortened by tests and benchmarks.
    QTimer tmrStartPatience;

    // ---- operations ----
    void SetPlayerVersion(int version) { PlayerVersion = version; }
    // Makes the control of PlayerVersion; on failure tells the user and goes on
    // without a player. Returns whether a player exists.
    bool CreatePlayer();
    bool HasPlayer() const { return m_legacy || m_modern; }
    TLegacyMediaPlayer* LegacyPlayer() const { return m_legacy.get(); }
    TModernMediaPlayer* ModernPlayer() const { return m_modern.get(); }
    QWidget* Control() const;   // the hosted control's picture, or nullptr

    // Opens item ident in the control through the stream server, without starting it.
    void OpenMediaItem(int ident);
    void StopAndClearPlayer();
    void SetPlayerVisible(bool visible);
    void SetMediaDuration(double seconds);
    void SetVolume(int value);
    void SetMute(bool muted);
    void RefreshPlayerFocus();
    // The player's steps of starting a play list entry: the control stopped and
    // cleared, the loading caption, the item opened and started.
    void PlayItem(int ident);
    // The lock's player step: playback stops and full-screen mode ends.
    void StopForLock();
    // A slideshow starts: what plays pauses, a play list picture included.
    void PauseForSlideshow();

    // "Remove All": no item left, no time shown.
    void ClearTime();

    void SetFullScreen(bool on);
    TfrmFullScreen& FullScreenForm() { return *m_fullScreen; }

    // ---- commands (skin objects of the main window and the "Player" menu) ----
    void Play1Click();
    void Pause1Click();
    void Stop1Click();
    void Next1Click();
    void Last1Click();
    void Mute1Click();
    void spDynamicSkinForm1MouseDownEvent(const QString& name);
    void spDynamicSkinForm1MouseUpEvent(const QString& name);
    void spDynamicSkinForm1TrackBarChangeValueEvent(const QString& name, int value);
    void spDynamicSkinForm1SwitchChangeStateEvent(const QString& name, bool on);
    void FormMouseUp();

    // ---- the full-screen window's skin ----
    void fullScreenDSFMouseDownEvent(const QString& name);
    void fullScreenDSFMouseUpEvent(const QString& name);
    void fullScreenDSFTrackBarChangeValueEvent(const QString& name, int value);
    void fullScreenDSFSwitchChangeStateEvent(const QString& name, bool on);
    void fullScreenFormMouseUp();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The clipping rectangle the control's in-place object is given with its position.
    static inline const QRect kWholeClip{0, 0, 32767, 32767};

    void CreateLegacyPlayer();
    void CreateModernPlayer();
    void ConnectCommands();
    void PlaceControl(QWidget* panel);

    void PlayerPlayStateChange(int newState);
    void PlayerPlayStateChangeDeprecated(int oldState, int newState);
    void playerError();
    void PlayerDurationChange(double seconds);
    // The item ends as failed, with text where its picture would be.
    void FailItem(const QString& text);
    // Play list pictures on the Playing page.
    void PlayPicture(int ident, const std::string& extension);
    void PictureShown();
    void PictureEnded();
    void ShowState(int modernState);
    void ApplyStartVolume();
    void FirstPlaySteps();
    void ApplyMenuChecks();
    void tmrProgressTimer();
    // The position bar and the time of the skin in use at position (seconds).
    void ShowPosition(double position);

    double ControlPosition() const;
    double ControlDuration() const;
    bool ControlPlayingOrPaused() const;
    bool NextAllowed() const;
    // Play, Pause and Stop on a play list picture; false when none is open.
    enum class Command { Play, Pause, Stop };
    bool PictureCommand(Command command);
    void SeekToBar(Skin& skin);
    void SeekPreview(Skin& skin, int value);
    void StartSeek(Skin& skin);
    void SwitchFullScreen(bool on, bool resume);

    PlayerHostParts m_parts;
    std::unique_ptr<TfrmFullScreen> m_fullScreen;
    std::unique_ptr<TLegacyMediaPlayer> m_legacy;
    std::unique_ptr<TModernMediaPlayer> m_modern;
    std::unique_ptr<TPictureItem> m_picture;   // with the modern control only
    bool m_itemFailed = false;
    bool m_checkStop = false;     // the menu check marks as the play states set them
    bool m_checkPlay = false;
    bool m_checkPause = false;
    bool m_durationStandIn = false;   // the 10 s stand-in of an item whose duration was not known
    bool m_toldNoStreamPort = false;  // kNoStreamPortMessage is shown once a run
};

} // namespace velmora
