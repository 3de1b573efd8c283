#pragma once

// The main window over a fresh library, shown, playing items of the library through
// its own stream server as a user starts them: a double click in the item list.
#include "app/MainWindowSession.h"

#include <QMetaObject>
#include <QSize>
#include <QString>

#include <functional>
#include <string>

class QAbstractSlider;
class QAbstractButton;
class QLabel;

namespace velmora {
class PlayerHost;
}

namespace velmora::test {

class PlayerWindow {
public:
    // Generous: the machine may be loaded; a fault shows as a wait that never ends.
    static constexpr int kPatienceMs = 60000;

    // Before the window opens: the settings (player version) a test wants; how long its
    // stream server waits on a stalled player. The play list does not move on by
    // itself (see LetPlaylistAdvance): tests of one item look at its end, which the
    // list would otherwise stop and clear within half a second.
    // streamPort: the port the stream server is told to listen on (0: a free one), and
    // whether it may listen on another when that one is taken.
    explicit PlayerWindow(const std::function<void()>& beforeOpen = {},
                          std::chrono::milliseconds streamIdleTimeout = TNMGeneralServer::kIdleTimeout,
                          int streamPort = 0, bool streamAnyPortIfTaken = true);
    // The play list's advance timer at its own interval again.
    void LetPlaylistAdvance();

    TfrmMain& Main() { return *m_session.main; }
    PlayerHost& Host();
    RecordingMessageBoxes& Boxes() { return m_session.boxes; }

    // Stores an item with this content and file name in "<Unclassified>", lists it and
    // returns its rec_ident.
    int AddItem(const std::string& bytes, const std::string& fileName);
    // Double-clicks the item's row in the item list.
    void DoubleClickItem(int ident);

    // Skin objects of the main window (main) or of the full-screen window.
    QLabel* Label(const char* name, bool fullScreen = false);
    QAbstractSlider* Slider(const char* name, bool fullScreen = false);
    QAbstractButton* Button(const char* name, bool fullScreen = false);
    QString StateText() { return LabelText("statuslabel2"); }
    QString LabelText(const char* name, bool fullScreen = false);
    // A press and release of the left button on a skin button, as a user clicks it.
    void Click(const char* name, bool fullScreen = false);
    // Drags the position bar's handle to value: press on the handle, move, then
    // whileHeld, release.
    void DragPositionBar(int value, bool fullScreen = false, const std::function<void()>& whileHeld = {});

    // The hosted control's position and duration in seconds (0 without a player).
    double Position();
    double Duration();

    bool WaitFor(const std::function<bool()>& condition, int timeoutMs = kPatienceMs);
    bool WaitForState(const QString& text) { return WaitFor([&] { return StateText() == text; }); }

private:
    Session m_session;
};

// Watches, while it lives, for a picture of the playing movie of this size reaching the
// video widget the host shows.
class PictureWatch {
public:
    PictureWatch(PlayerWindow& window, QSize size);
    ~PictureWatch();
    PictureWatch(const PictureWatch&) = delete;
    PictureWatch& operator=(const PictureWatch&) = delete;
    bool Seen() const { return m_seen; }

private:
    QMetaObject::Connection m_connection;
    bool m_seen = false;
};

} // namespace velmora::test
