#pragma once

#include <QString>

class QHBoxLayout;
class QWidget;

namespace velmora {

// The names of the player's skin objects, on the main window and the full-screen window.
namespace player_skin {
inline const QString kPlay = QStringLiteral("playbutton");
inline const QString kPause = QStringLiteral("pausebutton");
inline const QString kStop = QStringLiteral("stopbutton");
inline const QString kNext = QStringLiteral("nextbutton");
inline const QString kBack = QStringLiteral("backbutton");
inline const QString kProgressBar = QStringLiteral("progressbar");
inline const QString kTime = QStringLiteral("statuslabel3");
inline const QString kMuteSwitch = QStringLiteral("muteswitch");
inline const QString kVolume = QStringLiteral("volumizer");
} // namespace player_skin

// Puts the player's skin objects into a bar's row, left to right: previous, play, pause,
// stop, next, the position bar (0..10000) with the time, the sound switch (on = sound
// on) and the volume (0..100). takeFocus false keeps the keyboard focus off them, so
// that the window's own keys (Escape) reach it.
void AddPlayerControls(QWidget* bar, QHBoxLayout* row, bool takeFocus);

} // namespace velmora
